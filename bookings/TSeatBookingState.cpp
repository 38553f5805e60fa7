// The seat service's state as bytes, for the snapshots of a durable network:
// capacities, bookings, the live bookings per flight and the request keys.

#include <algorithm>

#include "bookings/TSeatBooking.h"
#include "durable/Bytes.h"

namespace SeatBooking {

using tavrik::durable::Reader;
using tavrik::durable::Writer;

namespace {

void writeLegs(Writer& w, const std::vector<TLegRequest>& legs) {
    w.u32(std::uint32_t(legs.size()));
    for (const TLegRequest& l : legs) {
        w.i32(l.flight);
        w.i32(l.from);
        w.i32(l.to);
    }
}

std::vector<TLegRequest> readLegs(Reader& r) {
    std::vector<TLegRequest> legs(r.count(12));
    for (TLegRequest& l : legs) {
        l.flight = r.i32();
        l.from = r.i32();
        l.to = r.i32();
    }
    return legs;
}

}  // namespace

void TSeatBooking::saveState(std::string& out) const {
    // In ascending order throughout, so that equal states give equal bytes.
    Writer w(out);
    std::vector<int> airports;
    std::uint32_t rows = 0;
    for (const auto& airport : limits) {
        airports.push_back(airport.first);
        rows += std::uint32_t(airport.second.size());
    }
    std::sort(airports.begin(), airports.end());
    w.u32(rows);
    for (int airport : airports)
        for (const LimitRow& row : limits.at(airport)) {
            w.i32(airport);
            w.i32(row.flight);
            w.i32(row.seats);
        }
    w.u32(std::uint32_t(sold.size()));
    for (const TBooking& b : sold) {
        w.i32(b.passengers);
        w.u32(std::uint32_t(b.legs.size()));
        for (const TBookedLeg& l : b.legs) {
            w.i32(l.flight);
            w.i32(l.from);
            w.i32(l.to);
            w.u8(l.gone);
        }
        w.str(b.key);
        w.u8(b.cancelled);
    }
    w.u32(std::uint32_t(holders.size()));
    for (const auto& [flight, ids] : holders) {
        w.i32(flight.first);
        w.i32(flight.second);
        w.u32(std::uint32_t(ids.size()));
        for (std::int64_t id : ids) w.i64(id);
    }
    std::vector<const std::pair<const std::string, KeyedRequest>*> sorted;
    sorted.reserve(keys.size());
    for (const auto& entry : keys) sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->first < b->first; });
    w.u32(std::uint32_t(keys.size()));
    for (const auto* entry : sorted) {
        const std::string& key = entry->first;
        const KeyedRequest& request = entry->second;
        w.str(key);
        w.u8(request.fitted);
        w.i32(request.maxDays);
        w.i32(request.from);
        w.i32(request.to);
        writeLegs(w, request.legs);
        w.i32(request.passengers);
        w.i64(request.booking);
    }
}

void TSeatBooking::restoreState(Reader& r) {
    // Built aside, with the rows pointing into this store, then swapped in.
    std::unordered_map<int, std::vector<LimitRow>> newLimits;
    for (std::uint32_t n = r.count(12); n > 0; --n) {
        const int from = r.i32();
        const int flight = r.i32();
        const int seats = r.i32();
        Found f;
        if (!find(from, flight, f).done() || f.from != from)
            throw std::runtime_error("a capacity names flight " + std::to_string(flight) + " from airport " +
                                     std::to_string(from) + ", which is not there");
        std::vector<LimitRow>& rows = newLimits[from];
        if (!rows.empty() && rows.back().flight >= flight) throw std::runtime_error("capacities out of order");
        rows.push_back(LimitRow{flight, seats, f.atFrom, f.atTo});
    }
    std::vector<TBooking> newSold(r.count(9));
    for (std::size_t i = 0; i < newSold.size(); ++i) {
        TBooking& b = newSold[i];
        b.id = std::int64_t(i) + 1;
        b.passengers = r.i32();
        b.legs.resize(r.count(13));
        for (TBookedLeg& l : b.legs) {
            l.flight = r.i32();
            l.from = r.i32();
            l.to = r.i32();
            l.gone = r.u8() != 0;
        }
        b.key = r.str();
        b.cancelled = r.u8() != 0;
    }
    std::map<FlightKey, std::set<std::int64_t>> newHolders;
    for (std::uint32_t n = r.count(12); n > 0; --n) {
        const int from = r.i32();
        const int flight = r.i32();
        std::set<std::int64_t>& ids = newHolders[FlightKey{from, flight}];
        for (std::uint32_t k = r.count(8); k > 0; --k) ids.insert(ids.end(), r.i64());
    }
    std::unordered_map<std::string, KeyedRequest> newKeys;
    for (std::uint32_t n = r.count(4); n > 0; --n) {
        std::string key = r.str();
        KeyedRequest& request = newKeys[std::move(key)];
        request.fitted = r.u8() != 0;
        request.maxDays = r.i32();
        request.from = r.i32();
        request.to = r.i32();
        request.legs = readLegs(r);
        request.passengers = r.i32();
        request.booking = r.i64();
    }
    limits.swap(newLimits);
    holders.swap(newHolders);
    sold.swap(newSold);
    keys.swap(newKeys);
}

}  // namespace SeatBooking
