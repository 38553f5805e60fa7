#include "library/ReportCopy.h"

namespace tavrik {

namespace {

ReportedFlight reported(int airport, int flight, const TFlightLink& link) {
    return ReportedFlight{airport, flight, link.name, link.days, link.from, link.to, link.booked};
}

// The entry a ticket books, or null when its airport or flight has gone or
// its flight number now names another flight.
const TFlightLink* entryOf(const TTicket& ticket, IManagementFlight& management) {
    const std::map<int, TFlightLink>* table = management.getFlights(ticket.airport);
    if (table == nullptr) return nullptr;
    auto entry = table->find(ticket.flight);
    if (entry == table->end() || !ticketHonoured(ticket, entry->second)) return nullptr;
    return &entry->second;
}

}  // namespace

std::vector<ReportedFlight> copyRouteReport(IArmoringTicket& booking, IManagementFlight& management) {
    std::vector<ReportedFlight> flights;
    const std::list<TTicket>* tickets = booking.getTickets();
    if (tickets == nullptr || tickets->empty()) return flights;
    flights.reserve(tickets->size());
    for (const TTicket& ticket : *tickets) {
        const TFlightLink* link = entryOf(ticket, management);
        if (link != nullptr) flights.push_back(reported(ticket.airport, ticket.flight, *link));
    }
    return flights;
}

std::vector<ReportedFlight> copyRouteLegs(const std::list<TTicket>& route, IManagementFlight& management) {
    // The list runs from the arrival back to the departure, the entry at a
    // leg's arrival airport before the one at its departure airport: walked
    // backwards, the departure entries come first leg first.
    std::vector<ReportedFlight> legs;
    legs.reserve(route.size() / 2);
    for (auto ticket = route.rbegin(); ticket != route.rend(); ++ticket) {
        const TFlightLink* link = entryOf(*ticket, management);
        if (link != nullptr && link->from == ticket->airport)
            legs.push_back(reported(ticket->airport, ticket->flight, *link));
    }
    return legs;
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
