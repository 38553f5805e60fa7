#pragma once

#include <list>

#include "store/TTicket.h"

// Seat limits that the booking service respects: a ticket list is booked
// only when every ticket's flight entry has a seat left (a flight without a
// limit has seats without end).
class ISeatLimit {
public:
    virtual ~ISeatLimit() = default;

    // Whether booking `tickets` (each raising its entry's booked count by
    // one) keeps every entry within its flight's seats. Tickets whose
    // airport or flight is gone pass: the store refuses them itself.
    virtual bool admits(const std::list<TTicket>& tickets) const = 0;
};
