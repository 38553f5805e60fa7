#pragma once

#include <jni.h>

#include <cstdint>

#include "flights/IManagementFlight.h"
#include "library/Network.h"
#include "tickets/IArmoringTicket.h"

// The services of the shared network, built by the load hook and freed only
// by the unload hook, when no Java class can call in any more (at process
// exit nothing is destroyed: Java threads may still call in).
extern IManagementFlight* pManagementFlight;
extern IArmoringTicket* pArmoringTicket;

namespace tavrik {

// The network of the fixed host classes (palvorin.*), which take no handle:
// the one way their exported functions reach it. Built by the load hook.
Network& sharedNetwork();

// The network a tavrik.Network object holds: its handle is the address that
// the object's constructor got from nativeCreate. The Java object keeps the
// network alive and open for the length of every call it makes.
inline Network& networkOf(jlong handle) { return *reinterpret_cast<Network*>(static_cast<std::intptr_t>(handle)); }

}  // namespace tavrik
