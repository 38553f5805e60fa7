#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bookings/ISeatBooking.h"
#include "store/IDataAccess.h"
#include "store/INetworkListener.h"
#include "tickets/IArmoringTicket.h"
#include "tickets/ISeatLimit.h"

namespace tavrik::durable {
class Reader;
}

namespace SeatBooking {

// The seat service on one store. It fits routes through the booking
// service's route search (with a filter of its own), and it is the booking
// service's seat limit, so that the fixed booking respects capacities too:
// the constructor installs it there and the destructor takes it away. It
// follows the store's removals of flights and airports (INetworkListener).
//
// Capacities lie in rows per departure airport, sorted by flight number,
// each pointing at the flight's two entries in the store (map nodes stay
// where they are until the flight is removed, and removal drops the row
// first). A search for seats thus asks one hash lookup per airport it
// includes and a binary search per flight of an airport with limits.
class TSeatBooking final : public ISeatBooking, public ISeatLimit, private INetworkListener {
public:
    TSeatBooking(IDataAccess* data, IArmoringTicket* tickets);
    ~TSeatBooking() override;
    TSeatBooking(const TSeatBooking&) = delete;
    TSeatBooking& operator=(const TSeatBooking&) = delete;

    TSeatOutcome setSeats(int airport, int flight, int seats) override;
    TSeatOutcome seatsOf(int airport, int flight, TFlightSeats& out) const override;
    TSeatOutcome fitFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) override;
    TSeatOutcome book(const std::vector<TLegRequest>& legs, int passengers, const std::string* key) override;
    TSeatOutcome fitAndBook(int maxDays, int from, int to, int passengers, const std::string* key) override;
    TSeatOutcome cancel(std::int64_t booking, bool& cancelledNow) override;
    const TBooking* booking(std::int64_t booking) const override;
    TSeatOutcome bookingsOf(int airport, int flight, std::vector<std::int64_t>& out) const override;
    std::int64_t bookingCount() const override;

    bool admits(const std::list<TTicket>& tickets) const override;

    // Takes over the capacities, bookings and keys of `other`, whose store
    // must hold the same network as this one's (a copy of it). Strong
    // guarantee.
    void copyFrom(const TSeatBooking& other);

    // The capacities, bookings and keys as bytes (TSeatBookingState.cpp),
    // for a durable network's snapshots; restoreState reads them back into a
    // service whose store already holds the flights, strong guarantee, and
    // throws std::runtime_error on bytes it cannot read.
    void saveState(std::string& out) const;
    void restoreState(tavrik::durable::Reader& in);

private:
    struct LimitRow {
        int flight;
        int seats;
        TFlightLink* atFrom;
        TFlightLink* atTo;
    };
    // What a request key was first given with.
    struct KeyedRequest {
        bool fitted = false;  // fitAndBook (maxDays, from, to) or book (legs)
        int maxDays = 0;
        int from = 0;
        int to = 0;
        std::vector<TLegRequest> legs;
        int passengers = 0;
        std::int64_t booking = 0;
    };
    // A flight found in the store: its two entries.
    struct Found {
        int from = 0;
        int to = 0;
        TFlightLink* atFrom = nullptr;
        TFlightLink* atTo = nullptr;
        int sold() const;
    };
    class SeatFilter;
    using FlightKey = std::pair<int, int>;  // departure airport, flight number

    void airportAdded(int airport) override;
    void airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept override;
    void flightAdded(int flight, int days, int from, int to) override;
    void flightRemoved(int flight, int days, int from, int to) noexcept override;
    void dropFlight(int from, int flight) noexcept;

    // The flight `flight` of `airport` (either end), or a refusal.
    TSeatOutcome find(int airport, int flight, Found& out) const;
    const LimitRow* findRow(int from, int flight) const;
    static TSeatOutcome checkKey(const std::string* key);
    TSeatOutcome sell(const std::vector<TLegRequest>& legs, int passengers, const std::string* key,
                      KeyedRequest request);
    // The answer to a key given before: its booking, or KeyReused.
    TSeatOutcome answerKnownKey(const KeyedRequest& first, const KeyedRequest& again) const;

    IDataAccess* data;
    IArmoringTicket* tickets;
    std::unordered_map<int, std::vector<LimitRow>> limits;  // by departure airport
    std::map<FlightKey, std::set<std::int64_t>> holders;    // live bookings per flight
    std::vector<TBooking> sold;                             // booking id - 1
    std::unordered_map<std::string, KeyedRequest> keys;
};

}  // namespace SeatBooking
