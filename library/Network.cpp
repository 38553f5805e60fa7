#include "library/Network.h"

#include <climits>
#include <list>
#include <map>
#include <shared_mutex>
#include <stdexcept>
#include <utility>

#include "bookings/TSeatBooking.h"
#include "library/NetworkRecords.h"
#include "flights/TManagementFlight.h"
#include "store/ResultCodes.h"
#include "store/TDataAccess.h"
#include "tickets/TArmoringTicket.h"

namespace tavrik {

NetworkLock::~NetworkLock() { pthread_rwlock_destroy(&rw); }

// The calls fail only on misuse (EDEADLK, EAGAIN on a reader-count overflow),
// which the library never does: no thread takes the lock twice.
void NetworkLock::lock() { pthread_rwlock_wrlock(&rw); }
void NetworkLock::unlock() { pthread_rwlock_unlock(&rw); }
void NetworkLock::lock_shared() { pthread_rwlock_rdlock(&rw); }
void NetworkLock::unlock_shared() { pthread_rwlock_unlock(&rw); }

// One store, the flight-management service on it, then the booking service
// on the same store; freed in the reverse order (the booking service's route
// search listens to the store).
struct Network::Owned {
    explicit Owned(std::unique_ptr<IGetNewAirport> factory)
        : store(factory ? std::make_unique<DataAccess::TDataAccess>(std::move(factory))
                        : std::make_unique<DataAccess::TDataAccess>()),
          management(store.get()),
          booking(store.get()),
          seats(store.get(), &booking) {}
    std::unique_ptr<DataAccess::TDataAccess> store;
    ManagementFlight::TManagementFlight management;
    ArmoringTicket::TArmoringTicket booking;
    // Listens to the store and is the booking service's seat limit.
    SeatBooking::TSeatBooking seats;
};

Network::Network() : Network(std::unique_ptr<IGetNewAirport>()) {}

Network::Network(std::unique_ptr<IGetNewAirport> factory)
    : owned(std::make_unique<Owned>(std::move(factory))),
      management(owned->management),
      booking(owned->booking),
      seats(&owned->seats),
      choices(std::make_unique<Choices::TChoices>(owned->store.get(), &owned->seats)) {}

Network::Network(IManagementFlight& management, IArmoringTicket& booking)
    : management(management), booking(booking) {}

Network::~Network() = default;

DataAccess::TDataAccess* Network::ownStore() { return owned ? owned->store.get() : nullptr; }


int Network::addAirport(int airport, std::string name) {
    return change([&] {
        const int result = management.addAirport(airport, disk ? name : std::move(name));
        if (result == 0 && disk) journal([&] { return records::airport(airport, name); });
        return result;
    });
}

int Network::addFlight(std::string name, int flight, int days, int from, int to) {
    return change([&] {
        const int result = management.addFlight(disk ? name : std::move(name), flight, days, from, to);
        if (result == 0 && disk) journal([&] { return records::flight(flight, name, days, from, to); });
        return result;
    });
}

int Network::removeFlight(int airport, int flight) {
    return change([&] {
        const int result = management.removeFlight(airport, flight);
        if (result == 0 && disk) journal([&] { return records::removal(records::Kind::RemoveFlight, airport, flight); });
        return result;
    });
}

int Network::removeAirport(int airport) {
    return change([&] {
        const int result = management.removeAirport(airport);
        if (result == 0 && disk) journal([&] { return records::removal(records::Kind::RemoveAirport, airport); });
        return result;
    });
}

int Network::armoringTickets() {
    return change([&] {
        const int result = booking.armoringTickets();
        if (result == 0 && disk) journal([&] { return records::tickets(*booking.getTickets()); });
        return result;
    });
}

FittedRoute Network::fitAndBook(int maxDays, int from, int to) {
    // The route is freed after the lock is released.
    std::list<TTicket> route;
    return change([&] { return fitAndBookLocked(maxDays, from, to, route); });
}

FittedRoute Network::fitAndBookLocked(int maxDays, int from, int to, std::list<TTicket>& route) {
    FittedRoute fitted{booking.fitRoute(maxDays, from, to, &route), {}};
    if (fitted.result != 0 || route.empty()) return fitted;
    // Copied before booking, so that running out of memory books nothing;
    // the booking then raises each of these entries by one.
    fitted.legs = copyRouteLegs(route, management);

    // The booking service books its current list: the route takes its place
    // for this one call and the list is put back afterwards. The swaps
    // allocate nothing, and no other call can see them while the lock is
    // held exclusively (the ticket-list mutex is only taken under the shared
    // lock).
    struct PutBack {
        IArmoringTicket& booking;
        std::list<TTicket>& route;
        ~PutBack() { booking.setTickets(&route); }
    };
    int booked;
    {
        booking.setTickets(&route);
        PutBack putBack{booking, route};
        booked = booking.armoringTickets();
    }
    // The route was fitted on the network as it is now, so every ticket
    // names a flight that is there; the booking can still be refused when a
    // booked count is at its largest, and then books nothing.
    if (booked != 0) return FittedRoute{fitted.result, {}, booked};
    if (disk) journal([&] { return records::tickets(route); });
    for (ReportedFlight& leg : fitted.legs) ++leg.booked;
    return fitted;
}

int Network::getRouteFlight(int maxDays, int from, int to) {
    // The old list comes back into `route` and is freed after both locks are
    // released.
    std::list<TTicket> route;
    std::shared_lock<NetworkLock> lock(network);
    const int result = booking.fitRoute(maxDays, from, to, &route);
    std::lock_guard<std::mutex> list(ticketList);
    booking.setTickets(&route);
    return result;
}

std::vector<ReportedFlight> Network::routeReport() {
    std::shared_lock<NetworkLock> lock(network);
    std::lock_guard<std::mutex> list(ticketList);
    return copyRouteReport(booking, management);
}

FittedRoute Network::fitRoute(int maxDays, int from, int to) {
    std::list<TTicket> route;
    std::shared_lock<NetworkLock> lock(network);
    FittedRoute fitted{booking.fitRoute(maxDays, from, to, &route), {}};
    if (fitted.result == 0) fitted.legs = copyRouteLegs(route, management);
    return fitted;
}

std::vector<ReportedFlight> Network::airportReport(int airport) {
    std::shared_lock<NetworkLock> lock(network);
    return copyAirportReport(management, airport);
}

// ---- typed operations ----

namespace {

bool hasAirport(IManagementFlight& management, int airport) { return management.getFlights(airport) != nullptr; }

bool hasFlight(IManagementFlight& management, int airport, int flight) {
    const std::map<int, TFlightLink>* table = management.getFlights(airport);
    return table != nullptr && table->count(flight) != 0;
}

}  // namespace

void Network::checkFlight(int flight, int from, int to) {
    if (!hasAirport(management, from)) throw Refusal(Rule::UnknownAirport, from);
    if (!hasAirport(management, to)) throw Refusal(Rule::UnknownAirport, to);
    if (from == to) throw Refusal(Rule::SameAirports, flight, from);
    if (hasFlight(management, from, flight)) throw Refusal(Rule::FlightTaken, flight, from);
    if (hasFlight(management, to, flight)) throw Refusal(Rule::FlightTaken, flight, to);
}

// The services refuse without changing anything, and say only that they
// refused: the rule is found afterwards, under the same hold of the lock, so
// that a change that goes through pays for no lookups of its own.
void Network::insertAirport(int airport, std::string name) {
    change([&] {
        if (management.addAirport(airport, disk ? name : std::move(name)) != codes::kDone)
            throw Refusal(Rule::AirportTaken, airport);
        if (disk) journal([&] { return records::airport(airport, name); });
    });
}

void Network::insertFlight(int flight, std::string name, int days, int from, int to) {
    change([&] {
        if (management.addFlight(disk ? name : std::move(name), flight, days, from, to) != codes::kDone) {
            checkFlight(flight, from, to);
            throw std::logic_error("flight " + std::to_string(flight) + " refused by no known rule");
        }
        if (disk) journal([&] { return records::flight(flight, name, days, from, to); });
    });
}

bool Network::eraseFlight(int airport, int flight) {
    return change([&] {
        if (!hasFlight(management, airport, flight)) return false;
        management.removeFlight(airport, flight);
        if (disk) journal([&] { return records::removal(records::Kind::RemoveFlight, airport, flight); });
        return true;
    });
}

bool Network::eraseAirport(int airport) {
    return change([&] {
        if (!hasAirport(management, airport)) return false;
        management.removeAirport(airport);
        if (disk) journal([&] { return records::removal(records::Kind::RemoveAirport, airport); });
        return true;
    });
}

void Network::takeBack(const std::vector<AirportItem>& airports, std::size_t airportsAdded,
                       const std::vector<FlightItem>& flights, std::size_t flightsAdded) noexcept {
    // Flights first, newest first: each removal erases two entries and tells
    // the listeners, neither of which allocates. The batch's airports then
    // hold no flight, so removing them allocates nothing either.
    while (flightsAdded > 0) {
        const FlightItem& f = flights[--flightsAdded];
        management.removeFlight(f.from, f.flight);
    }
    while (airportsAdded > 0) management.removeAirport(airports[--airportsAdded].airport);
}

bool Network::buildWhole(std::vector<AirportItem>& airports, std::vector<FlightItem>& flights) {
    if (!owned || !owned->store->getAirports()->empty()) return false;
    std::vector<DataAccess::TBuildAirport> a;
    std::vector<DataAccess::TBuildFlight> f;
    a.reserve(airports.size());
    f.reserve(flights.size());
    // The names move over (moves allocate nothing) and come back when the
    // store refuses, for the load item by item that finds the refusal.
    for (AirportItem& item : airports) a.push_back(DataAccess::TBuildAirport{item.airport, std::move(item.name)});
    for (FlightItem& item : flights)
        f.push_back(DataAccess::TBuildFlight{item.flight, item.days, item.from, item.to, 0, 0, std::move(item.name)});
    if (owned->store->build(a, f)) return true;
    for (std::size_t i = 0; i < a.size(); ++i) airports[i].name = std::move(a[i].name);
    for (std::size_t i = 0; i < f.size(); ++i) flights[i].name = std::move(f[i].name);
    return false;
}

void Network::load(std::vector<AirportItem> airports, std::vector<FlightItem> flights) {
    change([&] {
        // A kept network's record is made before the names move into the
        // network.
        std::string record;
        if (disk) record = records::load(airports, flights);
        // Into an empty network (the first load, a copy, a snapshot) the
        // whole batch is built at once; when that refuses, the batch goes in
        // item by item below, which names the first refused item.
        if (buildWhole(airports, flights)) {
            if (disk) journal([&] { return std::move(record); });
            return;
        }
        std::size_t airportsAdded = 0, flightsAdded = 0;
        try {
            for (; airportsAdded < airports.size(); ++airportsAdded) {
                AirportItem& a = airports[airportsAdded];
                if (management.addAirport(a.airport, std::move(a.name)) != codes::kDone) {
                    Refusal refusal(Rule::AirportTaken, a.airport);
                    refusal.index = static_cast<std::int64_t>(airportsAdded);
                    throw refusal;
                }
            }
            for (; flightsAdded < flights.size(); ++flightsAdded) {
                FlightItem& f = flights[flightsAdded];
                if (management.addFlight(std::move(f.name), f.flight, f.days, f.from, f.to) == codes::kDone) continue;
                try {
                    checkFlight(f.flight, f.from, f.to);
                } catch (Refusal& refusal) {
                    refusal.index = static_cast<std::int64_t>(flightsAdded);
                    refusal.flightItem = true;
                    throw;
                }
                throw std::logic_error("flight " + std::to_string(f.flight) + " refused by no known rule");
            }
        } catch (...) {
            takeBack(airports, airportsAdded, flights, flightsAdded);
            throw;
        }
        if (disk) journal([&] { return std::move(record); });
    });
}

std::vector<AirportItem> Network::readAirports() {
    std::shared_lock<NetworkLock> lock(network);
    const std::map<int, TAirportLink>& table = *management.getAirports();
    std::vector<AirportItem> out;
    out.reserve(table.size());
    for (const auto& [number, link] : table) out.push_back(AirportItem{number, link.name});
    return out;
}

AirportSnapshot Network::readAirport(int airport) {
    std::shared_lock<NetworkLock> lock(network);
    const std::map<int, TAirportLink>& table = *management.getAirports();
    auto found = table.find(airport);
    if (found == table.end()) throw Refusal(Rule::UnknownAirport, airport);
    return AirportSnapshot{found->second.name, copyAirportReport(management, airport)};
}

bool Network::readFlight(int airport, int flight, ReportedFlight& out) {
    std::shared_lock<NetworkLock> lock(network);
    const std::map<int, TFlightLink>* table = management.getFlights(airport);
    if (table == nullptr) throw Refusal(Rule::UnknownAirport, airport);
    auto entry = table->find(flight);
    if (entry == table->end()) return false;
    const TFlightLink& f = entry->second;
    out = ReportedFlight{airport, flight, f.name, f.days, f.from, f.to, f.booked};
    return true;
}

FitAnswer Network::fit(int maxDays, int from, int to) {
    std::list<TTicket> route;
    std::shared_lock<NetworkLock> lock(network);
    int result = booking.fitRoute(maxDays, from, to, &route);
    // Over the limit, and also an arrival never reached under a limit below
    // -1 (the services test the limit first): asked again without a limit,
    // the search tells the two apart and gives the fewest days. A stopped
    // search resumes, so the second query costs little.
    bool over = false;
    if (result == codes::booking::kOverLimit) {
        over = true;
        result = booking.fitRoute(INT_MAX, from, to, &route);
    }
    switch (result) {
        case codes::kDone: {
            FitAnswer answer{over ? FitAnswer::Kind::OverLimit : FitAnswer::Kind::Route,
                             copyRouteLegs(route, management), 0, false};
            if (over) {
                for (const ReportedFlight& leg : answer.legs) answer.fewestDays += leg.days;
                answer.fewestKnown = true;
                answer.legs.clear();
            }
            return answer;
        }
        case codes::booking::kUnknownDeparture:
            throw Refusal(Rule::UnknownAirport, from);
        case codes::booking::kUnknownArrival:
            throw Refusal(Rule::UnknownAirport, to);
        case codes::booking::kOverLimit:  // even the largest limit is too small
            return FitAnswer{FitAnswer::Kind::OverLimit, {}, 0, false};
        case codes::booking::kNoRoute:
            return FitAnswer{FitAnswer::Kind::NoRoute, {}, 0, false};
        default:
            throw std::logic_error("route fitting returned code " + std::to_string(result));
    }
}

std::unique_ptr<Network> Network::copy() {
    auto twin = std::make_unique<Network>();
    std::shared_lock<NetworkLock> lock(network);
    // The twin is built whole from the airports and flights as they are here,
    // each flight once (at its departure) with the booked counts of both of
    // its entries.
    std::vector<DataAccess::TBuildAirport> airports;
    std::vector<DataAccess::TBuildFlight> flights;
    airports.reserve(management.getAirports()->size());
    for (const auto& [number, link] : *management.getAirports()) {
        airports.push_back(DataAccess::TBuildAirport{number, link.name});
        for (const auto& [flight, entry] : *management.getFlights(number)) {
            if (entry.from != number) continue;
            const TFlightLink& arrival = management.getFlights(entry.to)->at(flight);
            flights.push_back(DataAccess::TBuildFlight{flight, entry.days, entry.from, entry.to, entry.booked,
                                                       arrival.booked, entry.name});
        }
    }
    if (!twin->owned->store->build(airports, flights))
        throw std::logic_error("the network's own airports and flights cannot be built again");
    if (owned) twin->owned->seats.copyFrom(owned->seats);
    return twin;
}

}  // namespace tavrik
