#include "store/GetNewAirport.h"

#include "store/TAirport.h"

namespace ManagementAirport {

IManagementAirport* GetNewAirport::createAirport(int id) { return new TAirport(id); }

}  // namespace ManagementAirport
