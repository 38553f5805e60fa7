#pragma once

#include <string>

#include "store/IManagementAirport.h"

// One airport in the store's airport table. Copies share the airport object;
// the store, not the record, frees it.
struct TAirportLink {
    std::string name;
    IManagementAirport* pAirport = nullptr;
};
