// The seat operations of a Network: the seat service (ISeatBooking) behind
// the network's locks, its refusals turned into Refusal or
// std::invalid_argument.

#include <climits>
#include <list>
#include <shared_mutex>
#include <stdexcept>
#include <string>

#include "library/Network.h"
#include "library/NetworkRecords.h"

namespace tavrik {

ISeatBooking& Network::seatsOrThrow() {
    if (seats == nullptr) throw std::logic_error("this network has no seat service");
    return *seats;
}

void Network::refuse(const TSeatOutcome& o) {
    switch (o.rule) {
        case SeatRule::BadPassengers:
            throw std::invalid_argument("passengers must be at least 1, not " + std::to_string(o.passengers));
        case SeatRule::BadSeats:
            throw std::invalid_argument("a flight's seats must be at least 0, not " + std::to_string(o.seats));
        case SeatRule::BadKey:
            throw std::invalid_argument("a request key must be 1 to " + std::to_string(ISeatBooking::kMaxKeyBytes) +
                                        " bytes of modified UTF-8, not " + std::to_string(o.seats));
        case SeatRule::NotARoute:
            throw std::invalid_argument(
                "the legs are no route: none, a leg that does not leave where the one before arrives, or a flight "
                "twice");
        case SeatRule::UnknownAirport:
            throw Refusal(Rule::UnknownAirport, o.airport);
        case SeatRule::UnknownFlight:
            throw Refusal(Rule::UnknownFlight, o.flight, o.airport);
        case SeatRule::SeatsBelowSold:
            throw Refusal(Rule::SeatsBelowSold, o.flight, o.airport, o.sold);
        case SeatRule::NoFreeSeats:
            throw Refusal(Rule::NoFreeSeats, o.flight, o.airport, o.seats);
        case SeatRule::CountAtLargest:
            throw Refusal(Rule::BookedOut, o.flight, o.airport);
        case SeatRule::UnknownBooking:
            throw Refusal(Rule::UnknownBooking, o.booking);
        case SeatRule::KeyReused:
            throw Refusal(Rule::KeyReused, o.booking);
        case SeatRule::NoRoute:
        case SeatRule::Done:
            break;
    }
    throw std::logic_error("the seat service refused by rule " + std::to_string(static_cast<int>(o.rule)));
}

void Network::setSeats(int airport, int flight, int capacity) {
    ISeatBooking& service = seatsOrThrow();
    change([&] {
        const TSeatOutcome o = service.setSeats(airport, flight, capacity);
        if (!o.done()) refuse(o);
        if (disk) journal([&] { return records::seats(airport, flight, capacity); });
    });
}

TFlightSeats Network::readSeats(int airport, int flight) {
    ISeatBooking& service = seatsOrThrow();
    std::shared_lock<NetworkLock> lock(network);
    TFlightSeats out;
    const TSeatOutcome o = service.seatsOf(airport, flight, out);
    if (!o.done()) refuse(o);
    return out;
}

FitAnswer Network::fitFor(int maxDays, int from, int to, int passengers) {
    ISeatBooking& service = seatsOrThrow();
    std::list<TTicket> route;
    std::shared_lock<NetworkLock> lock(network);
    TSeatOutcome o = service.fitFor(maxDays, from, to, passengers, &route);
    if (!o.done()) refuse(o);
    // As fit: over the limit is told apart from no route by a second search
    // without a limit.
    bool over = false;
    if (o.fit == -7) {
        over = true;
        o = service.fitFor(INT_MAX, from, to, passengers, &route);
    }
    switch (o.fit) {
        case 0: {
            FitAnswer answer{over ? FitAnswer::Kind::OverLimit : FitAnswer::Kind::Route,
                             copyRouteLegs(route, management), 0, false};
            if (over) {
                for (const ReportedFlight& leg : answer.legs) answer.fewestDays += leg.days;
                answer.fewestKnown = true;
                answer.legs.clear();
            }
            return answer;
        }
        case -5:
            throw Refusal(Rule::UnknownAirport, from);
        case -6:
            throw Refusal(Rule::UnknownAirport, to);
        case -7:
            return FitAnswer{FitAnswer::Kind::OverLimit, {}, 0, false};
        case -8:
            return FitAnswer{FitAnswer::Kind::NoRoute, {}, 0, false};
        default:
            throw std::logic_error("route fitting returned code " + std::to_string(o.fit));
    }
}

TBooking Network::bookRoute(const std::vector<TLegRequest>& legs, int passengers, const std::string* key) {
    ISeatBooking& service = seatsOrThrow();
    return change([&] {
        const std::int64_t before = service.bookingCount();
        const TSeatOutcome o = service.book(legs, passengers, key);
        if (!o.done()) refuse(o);
        // A retried key answers with its booking and sells nothing.
        if (disk && service.bookingCount() != before) journal([&] { return records::book(legs, passengers, key, o.booking); });
        return *service.booking(o.booking);
    });
}

TBooking Network::fitAndBookFor(int maxDays, int from, int to, int passengers, const std::string* key) {
    ISeatBooking& service = seatsOrThrow();
    return change([&] {
        const std::int64_t before = service.bookingCount();
        const TSeatOutcome o = service.fitAndBook(maxDays, from, to, passengers, key);
        if (o.rule == SeatRule::NoRoute) {
            if (o.fit == -5) throw Refusal(Rule::UnknownAirport, from);
            if (o.fit == -6) throw Refusal(Rule::UnknownAirport, to);
            throw Refusal(Rule::NoRoute, from, to, passengers);
        }
        if (o.rule == SeatRule::NotARoute)
            throw std::invalid_argument("departure and arrival are the same airport " + std::to_string(from) +
                                        ": there is nothing to book");
        if (!o.done()) refuse(o);
        if (disk && service.bookingCount() != before)
            journal([&] { return records::fitAndBook(maxDays, from, to, passengers, key, o.booking); });
        return *service.booking(o.booking);
    });
}

bool Network::cancelBooking(std::int64_t booking) {
    ISeatBooking& service = seatsOrThrow();
    return change([&] {
        bool now = false;
        const TSeatOutcome o = service.cancel(booking, now);
        if (!o.done()) refuse(o);
        if (disk && now) journal([&] { return records::cancel(booking); });
        return now;
    });
}

TBooking Network::readBooking(std::int64_t booking) {
    ISeatBooking& service = seatsOrThrow();
    std::shared_lock<NetworkLock> lock(network);
    const TBooking* found = service.booking(booking);
    if (found == nullptr) throw Refusal(Rule::UnknownBooking, booking);
    return *found;
}

std::vector<TBooking> Network::readBookings(int airport, int flight) {
    ISeatBooking& service = seatsOrThrow();
    std::shared_lock<NetworkLock> lock(network);
    std::vector<std::int64_t> ids;
    const TSeatOutcome o = service.bookingsOf(airport, flight, ids);
    if (!o.done()) refuse(o);
    std::vector<TBooking> out;
    out.reserve(ids.size());
    for (std::int64_t id : ids) out.push_back(*service.booking(id));
    return out;
}

}  // namespace tavrik
