#pragma once

#include <map>
#include <string>

#include "store/IManagementAirport.h"

namespace ManagementAirport {

class TAirport : public IManagementAirport {
public:
    explicit TAirport(int id);
    ~TAirport() override;

    int addFlight(int flight, std::string name, int days, int from, int to) override;
    int getFlight(int flight, TFlightLink* out) override;
    int removeFlight(int flight) override;
    int bookTicket(int flight) override;
    std::map<int, TFlightLink>* getFlights() override;
    int unbookTicket(int flight) override;

private:
    int id;
    std::map<int, TFlightLink> flights;
};

}  // namespace ManagementAirport
