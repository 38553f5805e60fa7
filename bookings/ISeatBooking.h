#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "bookings/TBooking.h"
#include "store/TTicket.h"

// Seats for sale: capacities per flight, bookings with ids, cancellation,
// and request keys that make a retried sale harmless.
//
// Seats sold are the booked counts of the store's flight entries: a booking
// of N passengers raises both entries of each of its legs by N, so the
// fixed reports count them, and the fixed booking service's one-seat
// bookings count against the same capacities.
//
// A flight is the flight that was sold, not its number: when a flight is
// removed its capacity goes and the bookings holding it mark that leg gone;
// a later flight given the same number starts without limit and holds none
// of them.
//
// Answers that need a word:
//  - cancel of a booking already cancelled changes nothing and says so
//    (false); an unknown id is refused (UnknownBooking);
//  - cancel of a booking some of whose flights were removed gives back its
//    seats on the legs still there; the gone legs gave theirs up with
//    their flight;
//  - a request key is 1 to kMaxKeyBytes bytes (the modified UTF-8 the JVM
//    hands over; 255 ASCII characters). It is kept as long as its booking,
//    cancelled ones included: the same key with the same request answers
//    with that booking (cancelled or not) and sells nothing; the same key
//    with another request is refused (KeyReused).
//
// Every refused call changes nothing, also when an allocation fails inside
// it. Not thread-safe: the caller holds the network's lock, exclusively for
// the changing calls, shared for the reading ones (fitFor, seatsOf,
// booking, bookingsOf).
class ISeatBooking {
public:
    static constexpr std::size_t kMaxKeyBytes = 255;

    virtual ~ISeatBooking() = default;

    // The capacity of the flight `flight` of `airport` (either of its ends).
    virtual TSeatOutcome setSeats(int airport, int flight, int seats) = 0;
    virtual TSeatOutcome seatsOf(int airport, int flight, TFlightSeats& out) const = 0;

    // The fewest-days route over the flights with at least `passengers` free
    // seats (flights without limit always qualify), under the route search's
    // rules, into *route as fitRoute writes it; outcome.fit is
    // getRouteFlight's code (0, -1 to -3, -5 to -8). Refused only for
    // passengers <= 0.
    virtual TSeatOutcome fitFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) = 0;

    // Books `passengers` seats on every leg of `legs` (travel order), all or
    // none. `key` null: no request key. On success outcome.booking is the id.
    virtual TSeatOutcome book(const std::vector<TLegRequest>& legs, int passengers, const std::string* key) = 0;
    // fitFor, then book the route found, in one call.
    virtual TSeatOutcome fitAndBook(int maxDays, int from, int to, int passengers, const std::string* key) = 0;

    // Gives the seats of a live booking back. `cancelledNow` false: it was
    // already cancelled.
    virtual TSeatOutcome cancel(std::int64_t booking, bool& cancelledNow) = 0;

    // The booking, or null. Valid until the next changing call.
    virtual const TBooking* booking(std::int64_t booking) const = 0;
    // The live bookings holding seats on the flight, in ascending id.
    virtual TSeatOutcome bookingsOf(int airport, int flight, std::vector<std::int64_t>& out) const = 0;
    // The number of bookings sold so far (ids run from 1 to this).
    virtual std::int64_t bookingCount() const = 0;
};
