#pragma once

// Why a typed operation of a Network refused a change: one rule and the
// numbers it concerns. The JNI boundary turns a Refusal into the Java
// exception of its rule through one Java factory (tavrik.Refusals); adding a
// rule is one value here, one case there and one exception class.
//
// The fixed host classes keep their result codes; Refusal is the typed
// operations' channel only. Plain C++, no JNI.

#include <cstdint>
#include <exception>

namespace tavrik {

// The numbers are those of the Java exception, in this order. The values
// cross the boundary as they are: never renumber one.
enum class Rule : int {
    UnknownAirport = 0,  // a: the airport that is not in the network
    AirportTaken = 1,    // a: the airport number that is taken
    FlightTaken = 2,     // a: the flight number, b: the airport that has a flight with it
    SameAirports = 3,    // a: the flight number, b: the airport it would leave and reach
    BookedOut = 4,       // a: the flight number, b: the airport whose booked count is at its largest
    // Seats and bookings.
    NoFreeSeats = 20,     // a: the flight number, b: its departure airport, c: its free seats
    SeatsBelowSold = 21,  // a: the flight number, b: the airport named, c: the seats sold on it
    UnknownFlight = 22,   // a: the flight number, b: the airport that has no such flight
    UnknownBooking = 23,  // a: the booking id
    KeyReused = 24,       // a: the booking the request key was first given for
    NoRoute = 25,         // a: departure, b: arrival, c: passengers
    // Route choices: a query's value out of range, or a network it cannot answer.
    AlternativesCount = 40,  // a: the count asked for, b: the largest allowed
    ViaIsEnd = 41,           // a: the airport to pass through, also a departure or arrival
    AvoidedEnd = 42,         // a: the airport both avoided and a departure, arrival or via
    NegativeLegLimit = 43,   // a: the leg limit
    NegativeReachDays = 44,  // a: the day count of a reach
    ViaInReach = 45,         // a: the airport to pass through given to a reach
    UnknownFlightNumber = 46,  // a: the flight number no flight has
    NoEndAirports = 47,      // a: 0 no departure airport, 1 no arrival airport
    NegativeLoop = 48,       // a: an airport on a loop of negative total days on the way
    PassengerCount = 49,     // a: the number of passengers, below 1
};

struct Refusal final : std::exception {
    Refusal(Rule rule, std::int64_t a, std::int64_t b = 0, std::int64_t c = 0) : rule(rule), a(a), b(b), c(c) {}

    const char* what() const noexcept override { return "refused by a rule of the network"; }

    Rule rule;
    std::int64_t a;
    std::int64_t b;
    std::int64_t c;
    // In a batch load: the position of the refused item in its array, else -1.
    std::int64_t index = -1;
    // The item's kind in a batch load: true for a flight, false for an airport.
    bool flightItem = false;
};

}  // namespace tavrik
