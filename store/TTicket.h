#pragma once

#include "store/TFlightLink.h"

// One ticket: the entry of `flight` in the flight table of `airport`.
//
// A ticket written by route fitting also carries the two airports the flight
// joined when the route was fitted (`pinned`, `from`, `to`). Booking and the
// route report honour such a ticket only while the entry still joins those
// two airports: a flight number that was freed and given to another flight
// never stands in for the flight that was fitted. A ticket made without them
// names just the entry.
struct TTicket {
    int airport = 0;
    int flight = 0;
    bool pinned = false;
    int from = 0;
    int to = 0;
};

// The ticket of a fitted flight, pinned to its two airports.
inline TTicket pinnedTicket(int airport, int flight, int from, int to) {
    return TTicket{airport, flight, true, from, to};
}

// Two tickets are equal when they name the same entry; the airports a ticket
// is pinned to say which flight it expects there, not which entry it is.
inline bool operator==(const TTicket& a, const TTicket& b) {
    return a.airport == b.airport && a.flight == b.flight;
}

inline bool operator!=(const TTicket& a, const TTicket& b) { return !(a == b); }

// Whether `entry`, found under the ticket's flight number in the table of the
// ticket's airport, is still the flight the ticket was written for.
inline bool ticketHonoured(const TTicket& ticket, const TFlightLink& entry) {
    return !ticket.pinned || (entry.from == ticket.from && entry.to == ticket.to);
}
