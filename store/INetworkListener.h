#pragma once

#include <list>
#include <map>

#include "store/TFlightLink.h"
#include "store/TTicket.h"

// Told by the store of every change to its airports and flights, through the
// store's own editing operations, so that a reader can keep a structure of
// its own beside the store (the route search keeps its network copy current
// this way). Of bookings only the ticket lists the store books are
// reported (ticketsBooked), for readers that follow booked counts.
//
// A network built whole into an empty store is told once (networkBuilt),
// not item by item.
//
// Calls that add may throw (an allocation failure); the store then takes its
// own change back, so that a failed edit leaves the store and every listener
// as they were. Calls that remove must not throw.
class INetworkListener {
public:
    virtual ~INetworkListener() = default;

    // The airport is in the store, with an empty flight table.
    virtual void airportAdded(int airport) = 0;
    // The airport and every flight in `flights` (its table, departing and
    // arriving flights alike) are about to leave the store. The other
    // airports' entries of these flights go too; nothing else is reported.
    virtual void airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept = 0;
    // The flight is in the tables of both of its airports.
    virtual void flightAdded(int flight, int days, int from, int to) = 0;
    // The flight has left the tables of both of its airports.
    virtual void flightRemoved(int flight, int days, int from, int to) noexcept = 0;
    // armoringTicketList booked every ticket of `tickets`: each entry's
    // booked count went up by one. Most readers ignore it.
    virtual void ticketsBooked(const std::list<TTicket>& tickets) noexcept { (void)tickets; }
    // The store, empty before, was filled in one go (TDataAccess::build):
    // every airport and flight it holds now came at once, none of them
    // through the calls above. A reader that keeps a copy of the network
    // builds it again from the store.
    virtual void networkBuilt() noexcept = 0;
};
