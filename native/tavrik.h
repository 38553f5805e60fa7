#pragma once

#include "flights/IManagementFlight.h"
#include "tickets/IArmoringTicket.h"

// The two services, built once by the load hook over one shared store and
// never replaced or torn down (Java threads may still call in while the
// process exits, so nothing is destroyed).
extern IManagementFlight* pManagementFlight;
extern IArmoringTicket* pArmoringTicket;
