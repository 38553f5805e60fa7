#pragma once

#include <list>

#include "fitting/IFlightFilter.h"
#include "store/TTicket.h"

// Finds the route with the smallest total day count between two airports.
class IFitingFlight {
public:
    virtual ~IFitingFlight() = default;

    // Writes the route into *route, from the arrival airport back to the
    // departure airport, two tickets per leg (arrival entry, then departure
    // entry). Returns 0; -1 `from` absent; -2 `to` absent; -3 the smallest
    // total exceeds maxDays (also for an unreached arrival when maxDays < -1:
    // the limit is tested first, an unreached airport counting as -1); -4 no
    // route. On any refusal *route is empty; if an allocation fails, *route
    // is left as it was. Safe from several threads at once as long as
    // nothing edits the network meanwhile. Tickets are pinned to the
    // airports of their flight (see TTicket).
    virtual int fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) = 0;
    // The same search over the flights that `filter` does not leave out:
    // the result is the one fitRoute gives on the network without them, ties
    // included. Each call searches anew.
    virtual int fitRoute(int maxDays, int from, int to, std::list<TTicket>* route, IFlightFilter& filter) = 0;
};
