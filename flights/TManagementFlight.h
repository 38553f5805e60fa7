#pragma once

#include "flights/IManagementFlight.h"
#include "store/IDataAccess.h"

namespace ManagementFlight {

class TManagementFlight final : public IManagementFlight {
public:
    // The store is shared, not owned; null is accepted (every edit then -1).
    explicit TManagementFlight(IDataAccess* data);
    ~TManagementFlight() override;

    std::map<int, TAirportLink>* getAirports() override;
    std::map<int, TFlightLink>* getFlights(int airport) override;
    int addAirport(int airport, std::string name) override;
    int addFlight(std::string name, int flight, int days, int from, int to) override;
    int removeFlight(int airport, int flight) override;
    int removeAirport(int airport) override;

private:
    IDataAccess* data;
};

}  // namespace ManagementFlight
