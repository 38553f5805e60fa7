#pragma once

// The journal records of a durable network: one per change that succeeded,
// written while the change still holds the exclusive lock. Each names its
// change and carries what replaying it needs; a booking also carries the id
// it got, which the replay checks.

#include <cstdint>
#include <list>
#include <string>
#include <type_traits>
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

// The fields of a record, in order: 32- and 64-bit numbers and strings as
// they are, a field of several parts (a list, an optional key) by a callable
// that writes it.
inline void put(durable::Writer& w, std::int32_t v) { w.i32(v); }
inline void put(durable::Writer& w, std::int64_t v) { w.i64(v); }
inline void put(durable::Writer& w, const std::string& v) { w.str(v); }
template <class Write, class = std::enable_if_t<std::is_invocable_v<const Write&, durable::Writer&>>>
void put(durable::Writer& w, const Write& write) {
    write(w);
}

template <class... Fields>
void putAll(durable::Writer& w, const Fields&... fields) {
    (put(w, fields), ...);
}

// A record: its kind's byte, then its fields.
template <class... Fields>
std::string record(Kind kind, const Fields&... fields) {
    std::string out;
    durable::Writer w(out);
    w.u8(std::uint8_t(kind));
    putAll(w, fields...);
    return out;
}

// A list field: its length, then the fields `item` writes of each element.
template <class List, class Item>
auto listOf(const List& list, Item item) {
    return [&list, item](durable::Writer& w) {
        w.u32(std::uint32_t(list.size()));
        for (const auto& element : list) item(w, element);
    };
}

// The request key of a booking, which it may lack: a flag, then the key.
inline auto optionalKey(const std::string* key) {
    return [key](durable::Writer& w) {
        w.u8(key != nullptr);
        if (key != nullptr) w.str(*key);
    };
}

inline std::string airport(int airport, const std::string& name) { return record(Kind::Airport, airport, name); }

inline std::string flight(int flight, const std::string& name, int days, int from, int to) {
    return record(Kind::Flight, flight, name, days, from, to);
}

// A removed airport's record names no flight.
inline std::string removal(Kind kind, int airport, int flight = 0) {
    return kind == Kind::RemoveFlight ? record(kind, airport, flight) : record(kind, airport);
}

inline std::string tickets(const std::list<TTicket>& list) {
    return record(Kind::Tickets,
                  listOf(list, [](durable::Writer& w, const TTicket& t) { putAll(w, t.airport, t.flight); }));
}

inline std::string seats(int airport, int flight, int seats) { return record(Kind::Seats, airport, flight, seats); }

inline std::string book(const std::vector<TLegRequest>& legs, int passengers, const std::string* requestKey,
                        std::int64_t id) {
    return record(Kind::Book,
                  listOf(legs, [](durable::Writer& w, const TLegRequest& l) { putAll(w, l.flight, l.from, l.to); }),
                  passengers, optionalKey(requestKey), id);
}

inline std::string fitAndBook(int maxDays, int from, int to, int passengers, const std::string* requestKey,
                              std::int64_t id) {
    return record(Kind::FitAndBook, maxDays, from, to, passengers, optionalKey(requestKey), id);
}

// Defined in NetworkJournal.cpp, where the items are complete types.
std::string load(const std::vector<AirportItem>& airports, const std::vector<FlightItem>& flights);

inline std::string cancel(std::int64_t id) { return record(Kind::Cancel, id); }

}  // namespace records
}  // namespace tavrik
