#include "store/TAirport.h"

#include <climits>
#include <utility>

namespace ManagementAirport {

TAirport::TAirport(int id) : id(id) {}

TAirport::~TAirport() = default;

int TAirport::addFlight(int flight, std::string name, int days, int from, int to) {
    // The airports are tested before the duplicate, so a call failing both
    // reports -1.
    if (from != id && to != id) return -1;
    // One walk down the table finds both the duplicate and the place to insert.
    auto place = flights.lower_bound(flight);
    if (place != flights.end() && place->first == flight) return -2;
    TFlightLink record;
    record.name = std::move(name);
    record.days = days;
    record.from = from;
    record.to = to;
    record.booked = 0;
    // Either inserts or throws leaving the table as it was.
    flights.emplace_hint(place, flight, std::move(record));
    return 0;
}

int TAirport::getFlight(int flight, TFlightLink* out) {
    auto it = flights.find(flight);
    if (it == flights.end()) return -1;
    *out = it->second;
    return 0;
}

int TAirport::removeFlight(int flight) {
    auto it = flights.find(flight);
    if (it == flights.end()) return 1;
    flights.erase(it);
    return 0;
}

int TAirport::bookTicket(int flight) {
    auto it = flights.find(flight);
    if (it == flights.end()) return -1;
    if (it->second.booked == INT_MAX) return -2;
    return ++it->second.booked;
}

int TAirport::unbookTicket(int flight) {
    auto it = flights.find(flight);
    if (it == flights.end() || it->second.booked <= 0) return -1;
    return --it->second.booked;
}

std::map<int, TFlightLink>* TAirport::getFlights() { return &flights; }

}  // namespace ManagementAirport
