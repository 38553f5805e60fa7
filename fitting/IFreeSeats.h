#pragma once

#include <functional>

// The free seats of the flights that have a capacity (seats less those
// sold), as the seat service knows them. The route search keeps a copy of
// each count beside the flight in its own copy of the network: it reads them
// all here when it builds that copy, and is told of each change after
// (IFitingFlight::freeSeatsChanged). A flight not named has seats without
// end.
class IFreeSeats {
public:
    using Each = std::function<void(int flight, int days, int from, int to, int free)>;

    virtual ~IFreeSeats() = default;

    // Calls `each` once for every flight with a capacity.
    virtual void eachLimited(const Each& each) const = 0;
};
