#pragma once

// One flight network: its store, its services on that store and its locks.
// Any number of networks may exist; each is independent of the others (its
// own airports, flights, bookings, current ticket list, route search and
// locks), so calls on different networks never wait for each other. The
// fixed host classes work on one of them, built by the load hook. Every
// native method goes through one of these operations and takes no lock of
// its own; plain C++, no JNI, so the locking can be tested without a JVM.
//
// Locks:
//  - a reader-writer lock on the network. Route queries, reads and the two
//    report copies hold it shared, so they run at the same time on several
//    threads; edits and bookings hold it exclusively. Writers are preferred:
//    a steady stream of queries does not starve an edit.
//  - a small mutex on the current ticket list, taken under the shared lock
//    only while a query installs its route or a report copies the list.
// Every call therefore behaves as if the calls ran one at a time in some
// order: a query's route is computed on the network as it is while the query
// holds the shared lock, and the last query to install its route sets the
// current list. No lock is held when an operation returns, so callers may
// run Java code (callbacks) freely between calls.
//
// Two kinds of operations:
//  - the host classes' (addAirport .. airportReport) return the services'
//    result codes unchanged;
//  - the typed ones (insertAirport .. copy) throw a Refusal that names the
//    rule and the numbers, change nothing when they throw, and hand back
//    reads as snapshots taken under the shared lock.
//
// fitRoute and fitAndBook work on a ticket list of their own and hand the
// route back whole, so several threads can each fit (and book) their own
// route without going through the one current list that getRouteFlight,
// armoringTickets and routeReport share.

#include <pthread.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bookings/ISeatBooking.h"
#include "choices/Choices.h"
#include "durable/Store.h"
#include "flights/IManagementFlight.h"
#include "library/ReportCopy.h"
#include "library/Refusal.h"
#include "store/IGetNewAirport.h"
#include "tickets/IArmoringTicket.h"

namespace DataAccess {
class TDataAccess;
}

namespace tavrik {

// A reader-writer lock that prefers writers. Constant-initialised, so it
// needs no allocation and no start-up call.
class NetworkLock final {
public:
    NetworkLock() = default;
    ~NetworkLock();
    NetworkLock(const NetworkLock&) = delete;
    NetworkLock& operator=(const NetworkLock&) = delete;

    void lock();
    void unlock();
    void lock_shared();
    void unlock_shared();

private:
    pthread_rwlock_t rw = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
};

// A route handed back by fitRoute or fitAndBook.
struct FittedRoute {
    // getRouteFlight's codes: 0, or -1 to -3 and -5 to -8.
    int result;
    // The legs in travel order (see copyRouteLegs); empty unless result is 0
    // and nothing was refused.
    std::vector<ReportedFlight> legs;
    // fitAndBook: armoringTickets' code when the fitted route could not be
    // booked (a flight's booked count is at its largest), else 0.
    int booking = 0;
};

// What fit answers: a route within the limit, a route over it (with the
// fewest days that would do), or no route at all. An unknown airport is a
// Refusal instead.
struct FitAnswer {
    enum class Kind : int { Route = 0, OverLimit = 1, NoRoute = 2 };
    Kind kind;
    // Kind::Route: the legs in travel order (none from an airport to itself).
    std::vector<ReportedFlight> legs;
    // Kind::OverLimit: the smallest total day count of any route, when
    // fewestKnown (it is not when that total is beyond INT_MAX, the largest
    // limit a query takes).
    std::int64_t fewestDays = 0;
    bool fewestKnown = false;
};

// One airport as read by readAirport: its name and every flight entry of its
// table in ascending flight number (departing and arriving alike; `airport`
// is the airport read).
struct AirportSnapshot {
    std::string name;
    std::vector<ReportedFlight> flights;
};

// One item of a batch load. Airports come before flights: a flight of the
// batch may join airports of the same batch.
struct AirportItem {
    int airport;
    std::string name;
};
struct FlightItem {
    int flight;
    std::string name;
    int days;
    int from;
    int to;
};

// A route of the route choices, its legs copied from the network (each
// leg the flight's entry at its departure airport, as copyRouteLegs).
struct ChoiceRoute {
    int from;
    int to;
    std::int64_t days;
    std::vector<ReportedFlight> legs;
};

// What fitChoice answers (see FitAnswer).
struct ChoiceFit {
    FitAnswer::Kind kind;
    ChoiceRoute route;            // Kind::Route
    std::int64_t fewestDays = 0;  // Kind::OverLimit
};

class Network final {
public:
    // An empty network with a store and services of its own.
    Network();
    // The same, its store making airports with `factory` (for tests).
    explicit Network(std::unique_ptr<IGetNewAirport> factory);
    // Over services owned by the caller, which share one store and outlive
    // the network (for tests that watch the services directly).
    Network(IManagementFlight& management, IArmoringTicket& booking);
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    // The services, for the host classes' global pointers and for tests.
    // Callers that use them directly take no lock.
    IManagementFlight& managementService() { return management; }
    IArmoringTicket& bookingService() { return booking; }
    // The store of a network that owns its services, else null (for tests
    // that read the store directly).
    DataAccess::TDataAccess* ownStore();

    // ---- the host classes' operations: result codes ----

    // Exclusive.
    int addAirport(int airport, std::string name);
    int addFlight(std::string name, int flight, int days, int from, int to);
    int removeFlight(int airport, int flight);
    int removeAirport(int airport);
    int armoringTickets();
    // Fits a route into a list of its own, books it and copies its legs with
    // their raised counts, all under one hold of the lock: no other call of
    // any thread sees the route fitted but not booked. The current list is
    // left as it was. A booking refusal books nothing and comes back in
    // `booking`; running out of memory throws, with nothing booked.
    FittedRoute fitAndBook(int maxDays, int from, int to);

    // Shared with other queries and reports.
    int getRouteFlight(int maxDays, int from, int to);
    std::vector<ReportedFlight> routeReport();
    std::vector<ReportedFlight> airportReport(int airport);
    // Fits a route into a list of its own and copies its legs; the current
    // list is left as it was.
    FittedRoute fitRoute(int maxDays, int from, int to);

    // ---- typed operations: a Refusal, and nothing changed, when refused ----

    // Exclusive. Rule::AirportTaken.
    void insertAirport(int airport, std::string name);
    // Exclusive. Rule::UnknownAirport (`from`, else `to`), Rule::SameAirports,
    // Rule::FlightTaken (at `from`, else at `to`).
    void insertFlight(int flight, std::string name, int days, int from, int to);
    // Exclusive. False when there was nothing to remove: no such airport, or
    // no flight of that number at it.
    bool eraseFlight(int airport, int flight);
    // Exclusive. False when there was no such airport.
    bool eraseAirport(int airport);
    // Exclusive. Adds every airport, then every flight, in order, or nothing:
    // the first refused item throws its Refusal, with `index` and
    // `flightItem` naming it, after everything the batch added is taken away
    // again; running out of memory does the same and rethrows. The names
    // move into the network.
    void load(std::vector<AirportItem> airports, std::vector<FlightItem> flights);

    // Shared. Every airport number with its name, ascending.
    std::vector<AirportItem> readAirports();
    // Shared. Rule::UnknownAirport.
    AirportSnapshot readAirport(int airport);
    // Shared. The entry of `flight` at `airport`; false when the airport has
    // no such flight. Rule::UnknownAirport.
    bool readFlight(int airport, int flight, ReportedFlight& out);
    // Shared. Rule::UnknownAirport (`from`, else `to`).
    FitAnswer fit(int maxDays, int from, int to);
    // ---- route choices (library/NetworkChoices.cpp; see choices/Choices.h) ----
    // Shared. A refused query throws the Refusal of its rule (unknown
    // airport, a value out of range, a loop of negative total on the way).
    ChoiceFit fitChoice(const Choices::Query& query, int maxDays);
    std::vector<ChoiceRoute> front(const Choices::Query& query, int maxDays);
    std::vector<ChoiceRoute> alternatives(const Choices::Query& query, int maxDays, int k);
    std::vector<Choices::Reached> reach(const Choices::Query& query, int maxDays);

    // Shared. A network of its own with the same airports, flights and booked
    // counts, capacities, bookings and request keys, and an empty current
    // ticket list.
    std::unique_ptr<Network> copy();

    // ---- seats and bookings (NetworkBookings.cpp; see ISeatBooking) ----
    // Bad arguments (passengers <= 0, a capacity < 0, an empty or over-long
    // request key, legs that are no route) throw std::invalid_argument; the
    // rules throw a Refusal. Either way nothing changed. A network over
    // services owned by the caller has no seat service: these throw
    // std::logic_error.

    // Exclusive. Rule::UnknownAirport, Rule::UnknownFlight,
    // Rule::SeatsBelowSold.
    void setSeats(int airport, int flight, int seats);
    // Shared. Rule::UnknownAirport, Rule::UnknownFlight.
    TFlightSeats readSeats(int airport, int flight);
    // Shared. fit over the flights with at least `passengers` free seats.
    FitAnswer fitFor(int maxDays, int from, int to, int passengers);
    // Exclusive. `key` null: none. Rule::UnknownAirport, Rule::UnknownFlight
    // (a leg's number names no flight from its airport to its arrival now),
    // Rule::NoFreeSeats, Rule::BookedOut, Rule::KeyReused.
    TBooking bookRoute(const std::vector<TLegRequest>& legs, int passengers, const std::string* key);
    // Exclusive: fitFor and bookRoute under one hold of the lock.
    // Rule::UnknownAirport, Rule::NoRoute (none within maxDays over flights
    // with the seats), Rule::BookedOut, Rule::KeyReused.
    TBooking fitAndBookFor(int maxDays, int from, int to, int passengers, const std::string* key);
    // Exclusive. True when the seats were given back now, false when the
    // booking was already cancelled. Rule::UnknownBooking.
    bool cancelBooking(std::int64_t booking);
    // Shared. Rule::UnknownBooking.
    TBooking readBooking(std::int64_t booking);
    // Shared. The live bookings holding seats on the flight, ascending id.
    // Rule::UnknownAirport, Rule::UnknownFlight.
    std::vector<TBooking> readBookings(int airport, int flight);
    // The seat service (null over services owned by the caller), for tests
    // and for a journal that replays bookings. Callers that use it directly
    // take no lock.
    ISeatBooking* seatService() { return seats; }

    // ---- a network kept in a folder (NetworkJournal.cpp) ----
    // Every change that succeeds is in the folder's journal before the call
    // returns (Full: synced; Normal: written), so reopening gives back the
    // same network, seats, bookings and keys. The network made by the other
    // constructors has no folder.

    // Opens the network in `folder` (made when absent, with an empty
    // network). Throws durable::StorageError naming the file and offset when
    // the folder cannot be used.
    static std::unique_ptr<Network> open(const std::string& folder, durable::Durability mode,
                                         durable::FileSystem& files = durable::systemFiles());
    bool kept() const { return disk != nullptr; }
    // Shared: writes a snapshot of the whole network and starts a new
    // journal (changes wait, reads go on). On failure the previous snapshot
    // and journal stay in use and the error is thrown.
    void checkpoint();
    // Syncs the journal and releases the folder; the network is then no
    // longer kept (changes throw). Throws when the last sync fails.
    void closeFolder();
    // What opening found (null without a folder).
    const durable::Recovery* recovery() const { return disk ? &disk->recovery() : nullptr; }
    // The whole network as bytes, and back (an empty network only): what a
    // snapshot holds.
    std::string saveState();
    void restoreState(std::string_view state);

private:
    struct Owned;

    // The journal of a kept network; null otherwise.
    std::unique_ptr<durable::Store> disk;
    // The record the running change wrote (under the exclusive lock).
    std::uint64_t appended = 0;
    // Records the change that has just been made (under the exclusive
    // lock). Running out of memory here leaves a change made but not
    // recorded: the network then accepts no more changes.
    template <class Build>
    void journal(Build&& build) {
        try {
            appended = disk->append(build());
        } catch (const std::bad_alloc&) {
            disk->halt("running out of memory while recording a change");
            throw;
        }
    }
    void refuseIfStopped();
    void commitRecord(std::uint64_t number);
    void replay(std::string_view record);

    // Every successful change runs through here, under the exclusive lock,
    // so that whatever must see each change sees it before the call returns.
    template <class Change>
    auto change(Change&& body) -> decltype(body());

    Choices::TChoices& choicesOrThrow();
    FittedRoute fitAndBookLocked(int maxDays, int from, int to, std::list<TTicket>& route);
    // Throws the rule that refuses a flight, or returns (lock held).
    void checkFlight(int flight, int from, int to);
    // A batch load into an empty network that owns its store, built whole
    // (TDataAccess::build). False, with the items as they were, when the
    // network is not such or the batch has an item that would be refused;
    // running out of memory throws with nothing changed.
    bool buildWhole(std::vector<AirportItem>& airports, std::vector<FlightItem>& flights);
    // Takes back what a batch load added (lock held; allocates nothing).
    void takeBack(const std::vector<AirportItem>& airports, std::size_t airportsAdded,
                  const std::vector<FlightItem>& flights, std::size_t flightsAdded) noexcept;

    std::unique_ptr<Owned> owned;  // null when the caller owns the services
    IManagementFlight& management;
    IArmoringTicket& booking;
    ISeatBooking* seats = nullptr;  // owned's, or none

    ISeatBooking& seatsOrThrow();
    // Throws the refusal or the invalid_argument of a refused seat call.
    [[noreturn]] static void refuse(const TSeatOutcome& outcome);
    // The route choices on the owned store; null when the caller owns the
    // services (their store is not at hand), and the choices then throw.
    std::unique_ptr<Choices::TChoices> choices;
    NetworkLock network;
    std::mutex ticketList;
};

template <class Change>
auto Network::change(Change&& body) -> decltype(body()) {
    std::unique_lock<NetworkLock> lock(network);
    if (!disk) return body();
    // A kept network records the change (journal()) before the lock goes;
    // the sync that a Full network waits for comes after, shared with the
    // writers of other threads.
    refuseIfStopped();
    appended = 0;
    if constexpr (std::is_void_v<decltype(body())>) {
        body();
        const std::uint64_t number = appended;
        lock.unlock();
        if (number != 0) commitRecord(number);
    } else {
        auto result = body();
        const std::uint64_t number = appended;
        lock.unlock();
        if (number != 0) commitRecord(number);
        return result;
    }
}

}  // namespace tavrik
