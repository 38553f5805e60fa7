#include "tickets/TArmoringTicket.h"

#include "fitting/TFitingFlight.h"
#include "store/ResultCodes.h"

namespace ArmoringTicket {

using namespace codes::booking;

TArmoringTicket::TArmoringTicket(IDataAccess* data)
    : data(data),
      fitting(new FitingFlight::TFitingFlight(data)),
      tickets(new std::list<TTicket>()) {}

TArmoringTicket::~TArmoringTicket() = default;

int TArmoringTicket::armoringTickets() {
    if (data == nullptr) return kNoStore;
    if (!fitting) return kNoFitting;
    if (!tickets) return kNoTicketList;
    if (tickets->size() == 0) return kNoTickets;
    if (seatLimit != nullptr && !seatLimit->admits(*tickets)) return kRefused;
    if (data->armoringTicketList(tickets.get()) < 0) return kRefused;
    return codes::kDone;
}

std::list<TTicket>* TArmoringTicket::getTickets() { return tickets.get(); }

int TArmoringTicket::getRouteFlight(int maxDays, int from, int to) {
    if (data == nullptr) return kNoStore;
    if (!fitting) return kNoFitting;
    if (!tickets) return kNoTicketList;
    // Fitted aside first: an allocation failure leaves the current list as
    // it was.
    std::list<TTicket> route;
    const int result = fitRoute(maxDays, from, to, &route);
    setTickets(&route);
    return result;
}

int TArmoringTicket::fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) {
    route->clear();
    if (data == nullptr) return kNoStore;
    if (!fitting) return kNoFitting;
    if (!tickets) return kNoTicketList;
    const int r = fitting->fitRoute(maxDays, from, to, route);
    return ofFitting(r);
}

int TArmoringTicket::fitRouteFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) {
    route->clear();
    if (data == nullptr) return kNoStore;
    if (!fitting) return kNoFitting;
    if (!tickets) return kNoTicketList;
    return ofFitting(fitting->fitRouteFor(maxDays, from, to, passengers, route));
}

void TArmoringTicket::setFreeSeats(const IFreeSeats* seats) {
    if (fitting) fitting->setFreeSeats(seats);
}

void TArmoringTicket::freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept {
    if (fitting) fitting->freeSeatsChanged(flight, days, from, to, free);
}

void TArmoringTicket::setSeatLimit(const ISeatLimit* limit) noexcept { seatLimit = limit; }

void TArmoringTicket::setTickets(std::list<TTicket>* route) noexcept {
    if (tickets) tickets->swap(*route);
}

}  // namespace ArmoringTicket
