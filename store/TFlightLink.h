#pragma once

#include <string>

// One flight as held in one airport's flight table. The flight number is the
// key of the table, not a field. Each of the two entries of a flight (at its
// departure and at its arrival airport) has its own `booked` count.
struct TFlightLink {
    std::string name;
    int days = 0;
    int from = 0;
    int to = 0;
    int booked = 0;
};

// Where the two entries of one flight are (map nodes stay where they are
// while the flight is in the store), as a network built whole hands them
// over, so that what follows the build needs no lookup of its own.
struct TFlightEntries {
    int from = 0;
    int flight = 0;
    TFlightLink* atFrom = nullptr;
    TFlightLink* atTo = nullptr;
};
