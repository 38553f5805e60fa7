#pragma once

#include <list>

#include "tickets/TTicket.h"

// Keeps the current ticket list: fits a route into it and books it.
class IArmoringTicket {
public:
    virtual ~IArmoringTicket() = default;

    // 0; -1/-2/-3 a member is missing; -4 empty list; -5 the store refused
    // (then no count changed).
    virtual int armoringTickets() = 0;
    // The current list, still owned by the service.
    virtual std::list<TTicket>* getTickets() = 0;
    // 0; -1/-2/-3 a member is missing; -5..-8 route fitting's -1..-4.
    virtual int getRouteFlight(int maxDays, int from, int to) = 0;
};
