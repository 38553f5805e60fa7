#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bookings/ISeatBooking.h"
#include "fitting/IFreeSeats.h"
#include "store/IDataAccess.h"
#include "store/INetworkListener.h"
#include "tickets/IArmoringTicket.h"
#include "tickets/ISeatLimit.h"

namespace tavrik::durable {
class Reader;
}

namespace SeatBooking {

// The seat service on one store. It fits routes through the booking
// service's route search, which keeps the free seats of the flights with a
// capacity beside its copy of the network (this service is their source,
// IFreeSeats, and tells it of every change), and it is the booking
// service's seat limit, so that the fixed booking respects capacities too:
// the constructor installs it there and the destructor takes it away. It
// follows the store's removals of flights and airports (INetworkListener).
//
// Capacities lie in rows per departure airport, sorted by flight number,
// each pointing at the flight's two entries in the store (map nodes stay
// where they are until the flight is removed, and the row goes with it).
// Bookings keep the entries of their legs the same way, so a cancel looks
// nothing up.
class TSeatBooking final : public ISeatBooking, public ISeatLimit, public IFreeSeats, private INetworkListener {
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
    void eachLimited(const Each& each) const override;
    void addWatcher(IFreeSeatsWatcher* watcher) override;
    void removeWatcher(IFreeSeatsWatcher* watcher) noexcept override;

    // Takes over the capacities, bookings and keys of `other`, whose store
    // must hold the same network as this one's (a copy of it). Strong
    // guarantee.
    void copyFrom(const TSeatBooking& other);
    // restoreState (below) into a store just built whole: `built` holds the
    // entries of every flight of the store in ascending (departure, number),
    // as the build hands them over, and the flights are found there rather
    // than in the store's tables. Null: in the tables.
    void restoreState(tavrik::durable::Reader& in, const std::vector<TFlightEntries>* built);

    // The capacities, bookings and keys as bytes (TSeatBookingState.cpp),
    // for a durable network's snapshots; restoreState reads them back into a
    // service whose store already holds the flights, strong guarantee, and
    // throws std::runtime_error on bytes it cannot read.
    void saveState(std::string& out) const;
    void restoreState(tavrik::durable::Reader& in);

    // Replaying a journal, when a durable network opens: from beginReplay
    // to endReplay the sales look their flights up in a table of their own,
    // filled on first use, instead of four lookups in the store each, and
    // the live bookings they add are gathered beside that table and joined
    // to the per-flight lists once, by endReplay. Every rule is checked as
    // in any sale (the seats included). Nothing may read the per-flight
    // lists in between (bookingsOf, saveState, copyFrom): only the changing
    // calls run. endReplay may throw std::bad_alloc, after which the
    // service may only be destroyed.
    void beginReplay() noexcept;
    void endReplay();

private:
    struct LimitRow {
        int seats;
        TFlightLink* atFrom;
        TFlightLink* atTo;
    };
    // The capacities of the flights departing one airport, in ascending
    // flight number.
    struct AirportLimits {
        std::vector<int> flights;
        std::vector<LimitRow> rows;
        // The position of `flight`, or -1.
        std::ptrdiff_t indexOf(int flight) const;
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
    // The two store entries of one leg of a booking (valid while the leg is
    // not gone; null for a leg that was gone when the booking was copied or
    // restored), so that a cancel looks nothing up.
    struct LegEntries {
        TFlightLink* atFrom;
        TFlightLink* atTo;
    };
    // A booking, its legs' entries at legEntries[firstLeg ...].
    struct Sale {
        TBooking record;
        std::size_t firstLeg = 0;
    };
    // A flight as the replay found it, under keyOf(departure, number), and
    // the bookings of the replay that hold it (ascending; a cancelled one
    // stays until endReplay drops it).
    struct ReplayFlight {
        Found found;
        std::vector<std::int64_t> held;
    };
    // (departure airport, flight number) as one key.
    static std::uint64_t keyOf(int a, int b) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32 | static_cast<std::uint32_t>(b);
    }

    void airportAdded(int airport) override;
    void airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept override;
    void flightAdded(int flight, int days, int from, int to) override;
    void flightRemoved(int flight, int days, int from, int to) noexcept override;
    void ticketsBooked(const std::list<TTicket>& tickets) noexcept override;
    void networkBuilt() noexcept override;
    void dropFlight(int from, int flight) noexcept;

    // The flight `flight` of `airport` (either end), or a refusal.
    TSeatOutcome find(int airport, int flight, Found& out) const;
    const LimitRow* findRow(int from, int flight) const;
    // find for the legs of a sale, through the replay's table while
    // replaying.
    TSeatOutcome findLeg(int from, int flight, Found& out);
    // The list a new booking of the flight goes to, and its undoing.
    std::vector<std::int64_t>& holdersOf(std::uint64_t flight);
    void unhold(std::uint64_t flight) noexcept;
    // Tells the route search the free seats of the flight from its entries,
    // if it has a capacity.
    void refresh(int from, int flight) noexcept;
    void publish(int from, int flight, const LimitRow& row) const noexcept;
    static TSeatOutcome checkKey(const std::string* key);
    TSeatOutcome sell(const std::vector<TLegRequest>& legs, int passengers, const std::string* key,
                      KeyedRequest request);
    // The answer to a key given before: its booking, or KeyReused.
    TSeatOutcome answerKnownKey(const KeyedRequest& first, const KeyedRequest& again) const;

    IDataAccess* data;
    IArmoringTicket* tickets;
    std::unordered_map<int, AirportLimits> limits;  // by departure airport
    // Live bookings per flight (keyOf(departure, number)), ascending id.
    std::unordered_map<std::uint64_t, std::vector<std::int64_t>> holders;
    std::vector<Sale> sold;  // booking id - 1
    // The entries of every booking's legs, booking after booking: one table
    // rather than an allocation per booking.
    std::vector<LegEntries> legEntries;
    std::unordered_map<std::string, KeyedRequest> keys;
    std::vector<IFreeSeatsWatcher*> watchers;
    // Tells the route search and the watchers that every count is new.
    void republish();
    bool replaying = false;
    std::unordered_map<std::uint64_t, ReplayFlight> replayFlights;
};

}  // namespace SeatBooking
