#include "store/TDataAccess.h"

#include <memory>
#include <utility>
#include <vector>

#include "store/GetNewAirport.h"

namespace DataAccess {

TDataAccess::TDataAccess() : TDataAccess(new ManagementAirport::GetNewAirport()) {}

TDataAccess::TDataAccess(IGetNewAirport* factory) : factory(factory) {}

TDataAccess::~TDataAccess() {
    for (auto& entry : airports) delete entry.second.pAirport;
    airports.clear();
    delete factory;
}

bool TDataAccess::airportExists(int airport) const {
    auto fe = airports.find(airport);
    return fe != airports.end();
}

IManagementAirport* TDataAccess::airportOf(int airport) const {
    return airports.find(airport)->second.pAirport;
}

std::map<int, TAirportLink>* TDataAccess::getAirports() { return &airports; }

std::map<int, TFlightLink>* TDataAccess::getFlights(int airport) {
    if (!airportExists(airport)) return nullptr;
    IManagementAirport* p = airportOf(airport);
    if (p == nullptr) return nullptr;
    return p->getFlights();
}

int TDataAccess::armoringTicketList(std::list<TTicket>* tickets) {
    // Book in order; at the first ticket that cannot be booked, take back the
    // bookings already made (in reverse, which allocates nothing) so that a
    // refused list changes no count.
    int result = 0;
    auto p_Iter = tickets->begin();
    for (; p_Iter != tickets->end(); ++p_Iter) {
        if (!airportExists(p_Iter->airport)) {
            result = -1;
            break;
        }
        if (airportOf(p_Iter->airport)->bookTicket(p_Iter->flight) < 0) {
            result = -2;
            break;
        }
    }
    if (result != 0) {
        while (p_Iter != tickets->begin()) {
            --p_Iter;
            airportOf(p_Iter->airport)->unbookTicket(p_Iter->flight);
        }
    }
    return result;
}

int TDataAccess::addAirport(int airport, std::string name) {
    if (airportExists(airport)) return -1;
    std::unique_ptr<IManagementAirport> object(factory->createAirport(airport));
    TAirportLink AirportLink;
    AirportLink.name = std::move(name);
    AirportLink.pAirport = object.get();
    airports.emplace(airport, std::move(AirportLink));
    object.release();  // now owned through the table
    ++revision;
    return 0;
}

int TDataAccess::addFlight(std::string name, int flight, int days, int from, int to) {
    if (!airportExists(from)) return -1;
    if (!airportExists(to)) return -1;
    IManagementAirport* departure = airportOf(from);
    IManagementAirport* arrival = airportOf(to);
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
    ++revision;
    return 0;
}

int TDataAccess::removeFlight(int airport, int flight) {
    if (!airportExists(airport)) return -1;
    IManagementAirport* here = airportOf(airport);
    std::map<int, TFlightLink>* table = here->getFlights();
    auto entry = table->find(flight);
    if (entry == table->end()) return -2;
    // The other end is read before anything is erased. Erasing allocates
    // nothing, so the two removals below cannot be interrupted.
    int other = airport == entry->second.from ? entry->second.to : entry->second.from;
    if (here->removeFlight(flight) < 0) return -2;
    if (airportExists(other) && airportOf(other)->removeFlight(flight) < 0) return -2;
    ++revision;
    return 0;
}

int TDataAccess::removeAirport(int airport) {
    auto fe = airports.find(airport);
    if (fe == airports.end()) return 1;
    IManagementAirport* object = fe->second.pAirport;
    std::map<int, TFlightLink>* table = object->getFlights();
    // Collect the other end of every flight first (the only allocation), then
    // erase, which cannot fail: the airport goes as a whole or not at all.
    std::vector<std::pair<int, int>> others;  // (flight number, other airport)
    others.reserve(table->size());
    for (const auto& It_air : *table) {
        const TFlightLink& link = It_air.second;
        others.emplace_back(It_air.first, link.from == airport ? link.to : link.from);
    }
    for (const auto& flightAndOther : others) {
        if (flightAndOther.second != airport && airportExists(flightAndOther.second))
            airportOf(flightAndOther.second)->removeFlight(flightAndOther.first);
    }
    airports.erase(fe);
    delete object;
    ++revision;
    return 0;
}

std::uint64_t TDataAccess::getRevision() const { return revision; }

}  // namespace DataAccess
