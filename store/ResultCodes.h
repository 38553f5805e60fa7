#pragma once

// Every result code of the C++ layers, named once, with what it means and how
// one layer's code becomes the next one's. The codes themselves are fixed:
// the host classes (palvorin.*) return the services' codes unchanged, and the
// Java side reads them in words in one place (tavrik.NativeCall). The typed
// operations of tavrik::Network turn them into rules (library/Refusal.h).
//
//   layer                       codes
//   store (IDataAccess)         0 done; addAirport -1 number taken;
//                               addFlight -1 an airport absent, -2 an airport
//                               refused the entry (same airports or number
//                               taken); removeFlight -1 airport absent, -2 no
//                               such flight there; removeAirport 1 nothing to
//                               remove; armoringTicketList -1 a ticket's
//                               airport absent, -2 its flight gone or a count
//                               full
//   route fitting (IFitingFlight)  0; -1 unknown departure, -2 unknown
//                               arrival, -3 over the limit, -4 no route
//   flight management           0; -1 no store; -2 refused (every store
//                               refusal; "nothing to remove" is success)
//   booking (IArmoringTicket)   0; -1 no store, -2 no route fitting, -3 no
//                               ticket list; armoringTickets -4 no tickets,
//                               -5 refused; getRouteFlight -5 .. -8, the
//                               route fitting's -1 .. -4 shifted by four
//   whole-route natives         the booking's codes, and 1 when the route was
//                               fitted but its booking refused

namespace codes {

constexpr int kDone = 0;

namespace fitting {
constexpr int kUnknownDeparture = -1;
constexpr int kUnknownArrival = -2;
constexpr int kOverLimit = -3;
constexpr int kNoRoute = -4;
}  // namespace fitting

namespace management {
constexpr int kNoStore = -1;
constexpr int kRefused = -2;
// A store code as flight management returns it.
constexpr int fold(int storeCode) { return storeCode < 0 ? kRefused : kDone; }
}  // namespace management

namespace booking {
constexpr int kNoStore = -1;
constexpr int kNoFitting = -2;
constexpr int kNoTicketList = -3;
constexpr int kNoTickets = -4;
constexpr int kRefused = -5;
constexpr int kUnknownDeparture = -5;
constexpr int kUnknownArrival = -6;
constexpr int kOverLimit = -7;
constexpr int kNoRoute = -8;
// A route fitting code as getRouteFlight returns it.
constexpr int ofFitting(int fittingCode) { return fittingCode < 0 ? fittingCode - 4 : kDone; }
static_assert(ofFitting(fitting::kUnknownDeparture) == kUnknownDeparture && ofFitting(fitting::kNoRoute) == kNoRoute,
              "getRouteFlight's codes are the route fitting's, shifted by four");
}  // namespace booking

namespace routes {
// fitAndBook's answer when the route was fitted but its booking refused; no
// route-fitting code is positive.
constexpr int kBookingRefused = 1;
}  // namespace routes

}  // namespace codes
