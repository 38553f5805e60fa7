#pragma once

#include "store/IManagementAirport.h"

// Makes airport objects; the caller owns what it gets.
class IGetNewAirport {
public:
    virtual ~IGetNewAirport() = default;

    virtual IManagementAirport* createAirport(int id) = 0;
};
