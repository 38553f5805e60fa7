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
