#pragma once

#include <list>

#include "fitting/IFreeSeats.h"
#include "store/TTicket.h"
#include "tickets/ISeatLimit.h"

// Keeps the current ticket list: fits a route into it and books it.
class IArmoringTicket {
public:
    virtual ~IArmoringTicket() = default;

    // 0; -1/-2/-3 a member is missing; -4 empty list; -5 the store refused
    // (a ticket's airport or flight has gone, its flight number now names
    // another flight, or a flight's booked count is at its largest) or a
    // flight has no seat left (see setSeatLimit); then no count changed.
    virtual int armoringTickets() = 0;
    // The current list, still owned by the service.
    virtual std::list<TTicket>* getTickets() = 0;
    // 0; -1/-2/-3 a member is missing; -5 unknown departure; -6 unknown
    // arrival; -7 the smallest total exceeds maxDays (also when the arrival
    // is unreached and maxDays < -1, since the limit is tested first); -8 no
    // route. The current list holds the route, or is empty after a refusal.
    virtual int getRouteFlight(int maxDays, int from, int to) = 0;

    // getRouteFlight in two steps, for callers that run several queries at
    // once: fitRoute writes the route into *route and leaves the current
    // list alone (same codes; safe to call from several threads at once while
    // nothing edits the network); setTickets then makes *route the current
    // list, handing the old contents back in *route (allocates nothing).
    virtual int fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) = 0;
    virtual void setTickets(std::list<TTicket>* route) noexcept = 0;

    // fitRoute over the flights with at least `passengers` free seats, and
    // where those counts come from (IFitingFlight's fitRouteFor,
    // setFreeSeats and freeSeatsChanged).
    virtual int fitRouteFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) = 0;
    virtual void setFreeSeats(const IFreeSeats* seats) = 0;
    virtual void freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept = 0;
    // From now on armoringTickets refuses (-5, nothing booked) a list that
    // `limit` does not admit; null takes the limit away. Not owned.
    virtual void setSeatLimit(const ISeatLimit* limit) noexcept = 0;
};
