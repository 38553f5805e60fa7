#pragma once

#include <map>
#include <string>

#include "store/TFlightLink.h"

// One airport and its flight table (departing and arriving flights alike),
// ordered by ascending flight number.
class IManagementAirport {
public:
    // The store deletes airport objects through this interface.
    virtual ~IManagementAirport() = default;

    // 0 entered; -1 neither `from` nor `to` is this airport; -2 number taken.
    virtual int addFlight(int flight, std::string name, int days, int from, int to) = 0;
    // 0 and the entry copied to *out; -1 no such flight (*out untouched).
    virtual int getFlight(int flight, TFlightLink* out) = 0;
    // 0 erased; 1 nothing to erase.
    virtual int removeFlight(int flight) = 0;
    // The new booked count (1 or more); -1 no such flight; -2 the count is
    // already at its largest value and is left unchanged.
    virtual int bookTicket(int flight) = 0;
    // The live table, not a copy.
    virtual std::map<int, TFlightLink>* getFlights() = 0;
    // Takes back one booking made by bookTicket: the new booked count, or -1
    // when there is no such flight or nothing is booked on it. Used to undo a
    // booking that could not be completed as a whole.
    virtual int unbookTicket(int flight) = 0;
};
