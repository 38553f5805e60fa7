#pragma once

#include "flights/IManagementFlight.h"
#include "library/Library.h"
#include "tickets/IArmoringTicket.h"

// The two services, built once by the load hook over one shared store and
// never replaced or torn down (Java threads may still call in while the
// process exits, so nothing is destroyed).
extern IManagementFlight* pManagementFlight;
extern IArmoringTicket* pArmoringTicket;

namespace tavrik {

// The two services behind the library's locks: the one way the exported
// functions reach them. Built by the load hook together with the services.
Library& library();

}  // namespace tavrik
