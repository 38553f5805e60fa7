#include "store/TDataAccess.h"

#include <memory>
#include <utility>
#include <vector>

#include "store/GetNewAirport.h"

namespace DataAccess {

TDataAccess::TDataAccess() : TDataAccess(std::make_unique<ManagementAirport::GetNewAirport>()) {}

TDataAccess::TDataAccess(std::unique_ptr<IGetNewAirport> factory) : factory(std::move(factory)) {}

TDataAccess::~TDataAccess() = default;

IManagementAirport* TDataAccess::findAirport(int airport) const {
    auto found = objects.find(airport);
    return found == objects.end() ? nullptr : found->second.get();
}

std::map<int, TAirportLink>* TDataAccess::getAirports() { return &airports; }

std::map<int, TFlightLink>* TDataAccess::getFlights(int airport) {
    IManagementAirport* p = findAirport(airport);
    if (p == nullptr) return nullptr;
    return p->getFlights();
}

void TDataAccess::addListener(INetworkListener* listener) { listeners.push_back(listener); }

void TDataAccess::removeListener(INetworkListener* listener) noexcept {
    for (auto it = listeners.begin(); it != listeners.end(); ++it) {
        if (*it == listener) {
            listeners.erase(it);  // moves pointers down: cannot throw
            return;
        }
    }
}

int TDataAccess::armoringTicketList(std::list<TTicket>* tickets) {
    // Book in order; at the first ticket that cannot be booked, take back the
    // bookings already made (in reverse, which allocates nothing) so that a
    // refused list changes no count.
    int result = 0;
    auto ticket = tickets->begin();
    for (; ticket != tickets->end(); ++ticket) {
        IManagementAirport* airport = findAirport(ticket->airport);
        if (airport == nullptr) {
            result = -1;
            break;
        }
        // A pinned ticket books only the flight it was fitted for: an entry
        // under the same number that now joins other airports is another
        // flight, and the ticket counts as gone.
        std::map<int, TFlightLink>* table = airport->getFlights();
        auto entry = table->find(ticket->flight);
        if (entry != table->end() && !ticketHonoured(*ticket, entry->second)) {
            result = -2;
            break;
        }
        if (airport->bookTicket(ticket->flight) < 0) {
            result = -2;
            break;
        }
    }
    if (result != 0) {
        while (ticket != tickets->begin()) {
            --ticket;
            findAirport(ticket->airport)->unbookTicket(ticket->flight);
        }
        return result;
    }
    for (INetworkListener* listener : listeners) listener->ticketsBooked(*tickets);
    return result;
}

int TDataAccess::addAirport(int airport, std::string name) {
    auto place = airports.lower_bound(airport);
    if (place != airports.end() && place->first == airport) return -1;
    std::unique_ptr<IManagementAirport> created(factory->createAirport(airport));
    IManagementAirport* object = created.get();
    TAirportLink link;
    link.name = std::move(name);
    link.pAirport = object;
    auto entry = airports.emplace_hint(place, airport, std::move(link));
    try {
        // A failed emplace leaves `created` as it was, owning the object.
        objects.emplace(airport, std::move(created));
    } catch (...) {
        airports.erase(entry);
        throw;
    }
    // Every listener learns of the airport, or none keeps it: if one fails,
    // those told before are told of its removal and the entry goes again.
    std::size_t told = 0;
    try {
        for (; told < listeners.size(); ++told) listeners[told]->airportAdded(airport);
    } catch (...) {
        const std::map<int, TFlightLink>& noFlights = *object->getFlights();
        while (told > 0) listeners[--told]->airportRemoving(airport, noFlights);
        airports.erase(entry);
        objects.erase(airport);
        throw;
    }
    ++revision;
    return 0;
}

int TDataAccess::addFlight(std::string name, int flight, int days, int from, int to) {
    IManagementAirport* departure = findAirport(from);
    if (departure == nullptr) return -1;
    IManagementAirport* arrival = findAirport(to);
    if (arrival == nullptr) return -1;
    if (departure->addFlight(flight, name, days, from, to) < 0) return -2;
    // If the second entry is refused or its allocation fails, the first one
    // is taken out again: a flight is never held at one airport only.
    int second;
    try {
        second = arrival->addFlight(flight, std::move(name), days, from, to);
    } catch (...) {
        departure->removeFlight(flight);
        throw;
    }
    if (second < 0) {
        departure->removeFlight(flight);
        return -2;
    }
    std::size_t told = 0;
    try {
        for (; told < listeners.size(); ++told) listeners[told]->flightAdded(flight, days, from, to);
    } catch (...) {
        departure->removeFlight(flight);
        arrival->removeFlight(flight);
        while (told > 0) listeners[--told]->flightRemoved(flight, days, from, to);
        throw;
    }
    ++revision;
    return 0;
}

int TDataAccess::removeFlight(int airport, int flight) {
    IManagementAirport* here = findAirport(airport);
    if (here == nullptr) return -1;
    std::map<int, TFlightLink>* table = here->getFlights();
    auto entry = table->find(flight);
    if (entry == table->end()) return -2;
    // The other end is read before anything is erased. Erasing allocates
    // nothing, so the two removals below cannot be interrupted.
    const int from = entry->second.from, to = entry->second.to, days = entry->second.days;
    const int other = airport == from ? to : from;
    here->removeFlight(flight);
    IManagementAirport* there = findAirport(other);
    if (there != nullptr) there->removeFlight(flight);
    for (INetworkListener* listener : listeners) listener->flightRemoved(flight, days, from, to);
    ++revision;
    return 0;
}

int TDataAccess::removeAirport(int airport) {
    auto link = airports.find(airport);
    if (link == airports.end()) return 1;
    IManagementAirport* object = link->second.pAirport;
    std::map<int, TFlightLink>* table = object->getFlights();
    // Collect the other end of every flight first (the only allocation), then
    // erase, which cannot fail: the airport goes as a whole or not at all.
    std::vector<std::pair<int, int>> others;  // (flight number, other airport)
    others.reserve(table->size());
    for (const auto& [number, flight] : *table)
        others.emplace_back(number, flight.from == airport ? flight.to : flight.from);
    for (INetworkListener* listener : listeners) listener->airportRemoving(airport, *table);
    for (const auto& flightAndOther : others) {
        if (flightAndOther.second == airport) continue;
        IManagementAirport* there = findAirport(flightAndOther.second);
        if (there != nullptr) there->removeFlight(flightAndOther.first);
    }
    airports.erase(link);
    objects.erase(airport);  // deletes the airport object
    ++revision;
    return 0;
}

std::uint64_t TDataAccess::getRevision() const { return revision; }

}  // namespace DataAccess
