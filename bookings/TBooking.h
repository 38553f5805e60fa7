#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One leg of a booking: the flight as it was sold, named by its number and
// the two airports it joined.
struct TBookedLeg {
    int flight = 0;
    int from = 0;
    int to = 0;
    // The flight was removed after the sale: its seats went with it, and
    // the number may since name another flight, which this leg never holds.
    bool gone = false;
};

// One booking: `passengers` seats on every leg, sold together.
struct TBooking {
    std::int64_t id = 0;         // 1, 2, ... in the order of sale
    int passengers = 0;
    bool cancelled = false;      // its seats on the legs not gone were given back
    std::vector<TBookedLeg> legs; // in travel order
    std::string key;             // the request key it was sold under; empty: none
};

// One leg of a route to book: the flight `flight` departing `from` for `to`.
struct TLegRequest {
    int flight = 0;
    int from = 0;
    int to = 0;
};

inline bool operator==(const TLegRequest& a, const TLegRequest& b) {
    return a.flight == b.flight && a.from == b.from && a.to == b.to;
}

// The seats of one flight: `seats` < 0 when it has no limit. `sold` is the
// flight's booked count (bookings through the seat service and the fixed
// booking service alike).
struct TFlightSeats {
    int seats = -1;
    int sold = 0;
    bool limited() const { return seats >= 0; }
    // Free seats; meaningful only when limited.
    int free() const { return seats - sold; }
};

// Why the seat service refused a call. The refusal carries the numbers it
// names (see TSeatOutcome).
enum class SeatRule {
    Done,             // not refused
    BadPassengers,    // passengers <= 0                       (passengers)
    BadSeats,         // a capacity < 0                        (seats)
    BadKey,           // an empty key or one over kMaxKeyBytes (seats: its length)
    UnknownAirport,   //                                       (airport)
    UnknownFlight,    // no such flight at the airport, or the number names
                      // another flight than the one given      (airport, flight)
    NotARoute,        // no legs, legs that do not follow on, or one flight twice
    SeatsBelowSold,   // a capacity below the seats sold       (airport, flight, seats, sold)
    NoFreeSeats,      // a leg without the seats asked for     (airport, flight, seats: free, passengers)
    CountAtLargest,   // a booked count would pass INT_MAX     (airport, flight)
    UnknownBooking,   //                                       (booking)
    KeyReused,        // the key was given with another request (booking: the key's booking)
    NoRoute,          // fit and book found no route           (fit: getRouteFlight's code)
};

struct TSeatOutcome {
    SeatRule rule = SeatRule::Done;
    int airport = 0;
    int flight = 0;
    int seats = 0;
    int sold = 0;
    int passengers = 0;
    // fitAndBook: getRouteFlight's code (0, or -5 to -8) of the fit.
    int fit = 0;
    std::int64_t booking = 0;
    bool done() const { return rule == SeatRule::Done; }
};
