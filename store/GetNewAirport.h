#pragma once

#include "store/IGetNewAirport.h"

namespace ManagementAirport {

// Each call gives a new, independent airport object; keeping numbers unique
// is the store's task.
class GetNewAirport final : public IGetNewAirport {
public:
    IManagementAirport* createAirport(int id) override;
};

}  // namespace ManagementAirport
