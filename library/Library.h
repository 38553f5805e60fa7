#pragma once

// The library's services behind its locks. Every native method goes through
// one of these operations and takes no lock of its own; plain C++, no JNI, so
// the locking can be tested without a JVM.
//
// Locks:
//  - a reader-writer lock on the network. Route queries and the two report
//    copies hold it shared, so they run at the same time on several threads;
//    edits and bookings hold it exclusively. Writers are preferred: a steady
//    stream of queries does not starve an edit.
//  - a small mutex on the current ticket list, taken under the shared lock
//    only while a query installs its route or a report copies the list.
// Every call therefore behaves as if the calls ran one at a time in some
// order: a query's route is computed on the network as it is while the query
// holds the shared lock, and the last query to install its route sets the
// current list. No lock is held when an operation returns, so callers may
// run Java code (callbacks) freely between calls.
//
// fitRoute and fitAndBook work on a ticket list of their own and hand the
// route back whole, so several threads can each fit (and book) their own
// route without going through the one current list that getRouteFlight,
// armoringTickets and routeReport share.

#include <pthread.h>

#include <mutex>
#include <string>
#include <vector>

#include "flights/IManagementFlight.h"
#include "library/ReportCopy.h"
#include "tickets/IArmoringTicket.h"

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

class Library final {
public:
    // The services are shared, not owned; both work on one store.
    Library(IManagementFlight& management, IArmoringTicket& booking);
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

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

private:
    IManagementFlight& management;
    IArmoringTicket& booking;
    NetworkLock network;
    std::mutex ticketList;
};

}  // namespace tavrik
