#include "library/ReportCopy.h"

namespace tavrik {

namespace {

ReportedFlight reported(int airport, int flight, const TFlightLink& link) {
    return ReportedFlight{airport, flight, link.name, link.days, link.from, link.to, link.booked};
}

}  // namespace

std::vector<ReportedFlight> copyRouteReport(IArmoringTicket& booking, IManagementFlight& management) {
    std::vector<ReportedFlight> flights;
    const std::list<TTicket>* tickets = booking.getTickets();
    if (tickets == nullptr || tickets->empty()) return flights;
    flights.reserve(tickets->size());
    for (const TTicket& ticket : *tickets) {
        const std::map<int, TFlightLink>* table = management.getFlights(ticket.airport);
        if (table == nullptr) continue;
        auto entry = table->find(ticket.flight);
        if (entry == table->end() || !ticketHonoured(ticket, entry->second)) continue;
        flights.push_back(reported(ticket.airport, ticket.flight, entry->second));
    }
    return flights;
}

std::vector<ReportedFlight> copyAirportReport(IManagementFlight& management, int airport) {
    std::vector<ReportedFlight> flights;
    const std::map<int, TFlightLink>* table = management.getFlights(airport);
    if (table == nullptr) return flights;
    flights.reserve(table->size());
    for (const auto& [number, flight] : *table) flights.push_back(reported(airport, number, flight));
    return flights;
}

}  // namespace tavrik
