#pragma once

#include <cstdint>

namespace FitingFlight {

// The search's record of one reached airport: the best route found so far
// from the departure airport. Whether an airport is reached is tracked apart
// from these numbers, since -1 is an ordinary airport number, flight number
// and (with negative day counts) total.
struct day_link {
    std::int64_t day = 0;  // total day count; 64-bit so sums never overflow
    int prev_airport = 0;  // number of the airport the last leg leaves from
    int flight = 0;        // number of that last leg (unused for the departure)
};

}  // namespace FitingFlight
