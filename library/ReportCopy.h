#pragma once

// What the two reports hand to Java, copied out of the network so that the
// callbacks can run without the network lock. Plain C++, no JNI.

#include <list>
#include <string>
#include <vector>

#include "flights/IManagementFlight.h"
#include "tickets/IArmoringTicket.h"

namespace tavrik {

// One callback's arguments.
struct ReportedFlight {
    int airport;
    int flight;
    std::string name;
    int days;
    int from;
    int to;
    int booked;
};

inline bool operator==(const ReportedFlight& a, const ReportedFlight& b) {
    return a.airport == b.airport && a.flight == b.flight && a.name == b.name && a.days == b.days &&
           a.from == b.from && a.to == b.to && a.booked == b.booked;
}

// The flight entry of every ticket of the current list, in list order. A
// ticket whose airport or flight has gone since the route was fitted, or whose
// flight number now names another flight, has no record to report and is
// skipped.
std::vector<ReportedFlight> copyRouteReport(IArmoringTicket& booking, IManagementFlight& management);

// The legs of a fitted route in travel order, first leg first: for each leg
// the flight's entry at its departure airport (so `airport` equals `from`).
// Tickets whose flight has gone are skipped, as in copyRouteReport.
std::vector<ReportedFlight> copyRouteLegs(const std::list<TTicket>& route, IManagementFlight& management);

// Every flight entry of one airport in ascending flight number; empty when
// the airport is absent.
std::vector<ReportedFlight> copyAirportReport(IManagementFlight& management, int airport);

}  // namespace tavrik
