#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "store/INetworkListener.h"
#include "store/TAirportLink.h"
#include "store/TFlightLink.h"
#include "store/TTicket.h"

// The one data store: the airport table and every change spanning airports.
// Every editing operation either succeeds or leaves the network exactly as it
// was, also when an allocation fails inside it.
class IDataAccess {
public:
    virtual ~IDataAccess() = default;

    // The airport table itself, keyed by ascending airport number.
    virtual std::map<int, TAirportLink>* getAirports() = 0;
    // That airport's live flight table, or null when the airport is absent.
    virtual std::map<int, TFlightLink>* getFlights(int airport) = 0;
    // Books every ticket or none. 0; -1 a ticket's airport is absent; -2 its
    // flight is absent from that airport's table, is no longer the flight
    // the ticket was fitted for (a pinned ticket whose entry now joins other
    // airports), or a count would overflow.
    // The first failing ticket decides the code.
    virtual int armoringTicketList(std::list<TTicket>* tickets) = 0;
    // 0; -1 the number is taken.
    virtual int addAirport(int airport, std::string name) = 0;
    // 0; -1 `from` or else `to` absent; -2 an airport refused the entry.
    virtual int addFlight(std::string name, int flight, int days, int from, int to) = 0;
    // 0; -1 airport absent; -2 that airport holds no such flight.
    virtual int removeFlight(int airport, int flight) = 0;
    // 0 removed with all its flights; 1 nothing to remove.
    virtual int removeAirport(int airport) = 0;
    // A counter that changes whenever an airport or a flight is added or
    // removed (not on booking), so that readers can keep derived indexes.
    virtual std::uint64_t getRevision() const = 0;
    // Reports every later change of airports and flights to `listener` (see
    // INetworkListener), until it is taken off again. The store does not own
    // it. May throw on allocation, adding nothing.
    virtual void addListener(INetworkListener* listener) = 0;
    virtual void removeListener(INetworkListener* listener) noexcept = 0;
};
