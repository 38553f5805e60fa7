#pragma once

#include "flights/IManagementFlight.h"
#include "library/Library.h"
#include "tickets/IArmoringTicket.h"

// The two services, built by the load hook over one shared store and freed
// only by the unload hook, when no Java class can call in any more (at
// process exit nothing is destroyed: Java threads may still call in).
extern IManagementFlight* pManagementFlight;
extern IArmoringTicket* pArmoringTicket;

namespace tavrik {

// The two services behind the library's locks: the one way the exported
// functions reach them. Built by the load hook together with the services.
Library& library();

}  // namespace tavrik
