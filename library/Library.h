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

    // Shared with other queries and reports.
    int getRouteFlight(int maxDays, int from, int to);
    std::vector<ReportedFlight> routeReport();
    std::vector<ReportedFlight> airportReport(int airport);

private:
    IManagementFlight& management;
    IArmoringTicket& booking;
    NetworkLock network;
    std::mutex ticketList;
};

}  // namespace tavrik
