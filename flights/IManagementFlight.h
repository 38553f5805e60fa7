#pragma once

#include <map>
#include <string>

#include "store/TAirportLink.h"
#include "store/TFlightLink.h"

// The host-facing entry for editing and reading the network. Editing
// operations return 0, -1 (no store) or -2 (the store refused).
class IManagementFlight {
public:
    virtual ~IManagementFlight() = default;

    virtual std::map<int, TAirportLink>* getAirports() = 0;
    virtual std::map<int, TFlightLink>* getFlights(int airport) = 0;
    virtual int addAirport(int airport, std::string name) = 0;
    virtual int addFlight(std::string name, int flight, int days, int from, int to) = 0;
    virtual int removeFlight(int airport, int flight) = 0;
    virtual int removeAirport(int airport) = 0;
};
