#pragma once

// The journal records of a durable network: one per change that succeeded,
// written while the change still holds the exclusive lock. Each names its
// change and carries what replaying it needs; a booking also carries the id
// it got, which the replay checks.

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "bookings/TBooking.h"
#include "durable/Bytes.h"
#include "store/TTicket.h"

namespace tavrik {

struct AirportItem;
struct FlightItem;

namespace records {

enum class Kind : std::uint8_t {
    Airport = 1,      // airport, name
    Flight = 2,       // flight, name, days, from, to
    RemoveFlight = 3, // airport, flight
    RemoveAirport = 4,// airport
    Tickets = 5,      // the fixed booking of a ticket list: (airport, flight)...
    Load = 6,         // airports, then flights, as Network::load takes them
    Seats = 7,        // airport, flight, seats
    Book = 8,         // legs, passengers, key?, the booking's id
    FitAndBook = 9,   // maxDays, from, to, passengers, key?, the booking's id
    Cancel = 10,      // booking id
};

inline std::string airport(int airport, const std::string& name) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(Kind::Airport));
    w.i32(airport);
    w.str(name);
    return out;
}

inline std::string flight(int flight, const std::string& name, int days, int from, int to) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(Kind::Flight));
    w.i32(flight);
    w.str(name);
    w.i32(days);
    w.i32(from);
    w.i32(to);
    return out;
}

inline std::string removal(Kind kind, int airport, int flight = 0) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(kind));
    w.i32(airport);
    if (kind == Kind::RemoveFlight) w.i32(flight);
    return out;
}

inline std::string tickets(const std::list<TTicket>& list) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(Kind::Tickets));
    w.u32(std::uint32_t(list.size()));
    for (const TTicket& t : list) {
        w.i32(t.airport);
        w.i32(t.flight);
    }
    return out;
}

inline std::string seats(int airport, int flight, int seats) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(Kind::Seats));
    w.i32(airport);
    w.i32(flight);
    w.i32(seats);
    return out;
}

inline void key(durable::Writer& w, const std::string* key) {
    w.u8(key != nullptr);
    if (key != nullptr) w.str(*key);
}

inline std::string book(const std::vector<TLegRequest>& legs, int passengers, const std::string* requestKey,
                        std::int64_t id) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(Kind::Book));
    w.u32(std::uint32_t(legs.size()));
    for (const TLegRequest& l : legs) {
        w.i32(l.flight);
        w.i32(l.from);
        w.i32(l.to);
    }
    w.i32(passengers);
    key(w, requestKey);
    w.i64(id);
    return out;
}

inline std::string fitAndBook(int maxDays, int from, int to, int passengers, const std::string* requestKey,
                              std::int64_t id) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(Kind::FitAndBook));
    w.i32(maxDays);
    w.i32(from);
    w.i32(to);
    w.i32(passengers);
    key(w, requestKey);
    w.i64(id);
    return out;
}

// Defined in NetworkJournal.cpp, where the items are complete types.
std::string load(const std::vector<AirportItem>& airports, const std::vector<FlightItem>& flights);

inline std::string cancel(std::int64_t id) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(Kind::Cancel));
    w.i64(id);
    return out;
}

}  // namespace records
}  // namespace tavrik
