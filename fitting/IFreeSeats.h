#pragma once

#include <functional>

// The free seats of the flights that have a capacity (seats less those
// sold), as the seat service knows them. The route search keeps a copy of
// each count beside the flight in its own copy of the network: it reads them
// all here when it builds that copy, and is told of each change after
// (IFitingFlight::freeSeatsChanged). A flight not named has seats without
// end.
// Told by the seat service of every change of a free-seat count, for a
// reader that keeps the counts beside a copy of its own (the route choices).
class IFreeSeatsWatcher {
public:
    virtual ~IFreeSeatsWatcher() = default;
    // The flight now has `free` free seats.
    virtual void freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept = 0;
    // Every count may have changed at once (a copied or restored seat state):
    // read them all again.
    virtual void freeSeatsReplaced() noexcept = 0;
};

class IFreeSeats {
public:
    using Each = std::function<void(int flight, int days, int from, int to, int free)>;

    virtual ~IFreeSeats() = default;

    // Calls `each` once for every flight with a capacity.
    virtual void eachLimited(const Each& each) const = 0;

    // Tells `watcher` of every later change until it is taken off again
    // (not owned).
    virtual void addWatcher(IFreeSeatsWatcher* watcher) = 0;
    virtual void removeWatcher(IFreeSeatsWatcher* watcher) noexcept = 0;
};
