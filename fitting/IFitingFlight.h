#pragma once

#include <list>

#include "fitting/IFreeSeats.h"
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
    // The same search over the flights with at least `passengers` free seats
    // (as `seats` tells them; a flight without a capacity always has them):
    // the result is the one fitRoute gives on the network without the
    // others, ties included. Each call searches anew.
    virtual int fitRouteFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) = 0;
    // Where the free seats come from (not owned; null: every flight has
    // seats without end). Read whole now and whenever the search builds its
    // copy of the network; an edit must not overlap it.
    virtual void setFreeSeats(const IFreeSeats* seats) = 0;
    // The free seats of the flight changed (a capacity set, seats sold or
    // given back); an edit like any other.
    virtual void freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept = 0;
};
