#include "library/Library.h"

#include <list>
#include <shared_mutex>
#include <stdexcept>
#include <utility>

namespace tavrik {

NetworkLock::~NetworkLock() { pthread_rwlock_destroy(&rw); }

// The calls fail only on misuse (EDEADLK, EAGAIN on a reader-count overflow),
// which the library never does: no thread takes the lock twice.
void NetworkLock::lock() { pthread_rwlock_wrlock(&rw); }
void NetworkLock::unlock() { pthread_rwlock_unlock(&rw); }
void NetworkLock::lock_shared() { pthread_rwlock_rdlock(&rw); }
void NetworkLock::unlock_shared() { pthread_rwlock_unlock(&rw); }

Library::Library(IManagementFlight& management, IArmoringTicket& booking)
    : management(management), booking(booking) {}

int Library::addAirport(int airport, std::string name) {
    std::unique_lock<NetworkLock> lock(network);
    return management.addAirport(airport, std::move(name));
}

int Library::addFlight(std::string name, int flight, int days, int from, int to) {
    std::unique_lock<NetworkLock> lock(network);
    return management.addFlight(std::move(name), flight, days, from, to);
}

int Library::removeFlight(int airport, int flight) {
    std::unique_lock<NetworkLock> lock(network);
    return management.removeFlight(airport, flight);
}

int Library::removeAirport(int airport) {
    std::unique_lock<NetworkLock> lock(network);
    return management.removeAirport(airport);
}

int Library::armoringTickets() {
    std::unique_lock<NetworkLock> lock(network);
    return booking.armoringTickets();
}

FittedRoute Library::fitAndBook(int maxDays, int from, int to) {
    std::list<TTicket> route;
    std::unique_lock<NetworkLock> lock(network);
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
    for (ReportedFlight& leg : fitted.legs) ++leg.booked;
    return fitted;
}

int Library::getRouteFlight(int maxDays, int from, int to) {
    // The old list comes back into `route` and is freed after both locks are
    // released.
    std::list<TTicket> route;
    std::shared_lock<NetworkLock> lock(network);
    const int result = booking.fitRoute(maxDays, from, to, &route);
    std::lock_guard<std::mutex> list(ticketList);
    booking.setTickets(&route);
    return result;
}

std::vector<ReportedFlight> Library::routeReport() {
    std::shared_lock<NetworkLock> lock(network);
    std::lock_guard<std::mutex> list(ticketList);
    return copyRouteReport(booking, management);
}

FittedRoute Library::fitRoute(int maxDays, int from, int to) {
    std::list<TTicket> route;
    std::shared_lock<NetworkLock> lock(network);
    FittedRoute fitted{booking.fitRoute(maxDays, from, to, &route), {}};
    if (fitted.result == 0) fitted.legs = copyRouteLegs(route, management);
    return fitted;
}

std::vector<ReportedFlight> Library::airportReport(int airport) {
    std::shared_lock<NetworkLock> lock(network);
    return copyAirportReport(management, airport);
}

}  // namespace tavrik
