// The seat service's state as bytes, for the snapshots of a durable network:
// capacities, bookings, the live bookings per flight and the request keys.
// Everything is written in ascending order, so that equal states give equal
// bytes; what points into the store is found again when read.

#include <algorithm>
#include <utility>

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

template <class Map>
std::vector<typename Map::key_type> sortedKeys(const Map& map) {
    std::vector<typename Map::key_type> keys;
    keys.reserve(map.size());
    for (const auto& entry : map) keys.push_back(entry.first);
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace

void TSeatBooking::saveState(std::string& out) const {
    Writer w(out);
    std::uint32_t rows = 0;
    for (const auto& airport : limits) rows += std::uint32_t(airport.second.flights.size());
    w.u32(rows);
    for (int airport : sortedKeys(limits)) {
        const AirportLimits& l = limits.at(airport);
        for (std::size_t i = 0; i < l.flights.size(); ++i) {
            w.i32(airport);
            w.i32(l.flights[i]);
            w.i32(l.rows[i].seats);
        }
    }
    w.u32(std::uint32_t(sold.size()));
    for (const Sale& sale : sold) {
        const TBooking& b = sale.record;
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
    for (std::uint64_t flight : sortedKeys(holders)) {
        const std::vector<std::int64_t>& ids = holders.at(flight);
        w.i64(std::int64_t(flight));
        w.u32(std::uint32_t(ids.size()));
        for (std::int64_t id : ids) w.i64(id);
    }
    w.u32(std::uint32_t(keys.size()));
    for (const std::string& key : sortedKeys(keys)) {
        const KeyedRequest& request = keys.at(key);
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

void TSeatBooking::restoreState(Reader& r) { restoreState(r, nullptr); }

void TSeatBooking::restoreState(Reader& r, const std::vector<TFlightEntries>* built) {
    // A flight named by its departure, as find() finds it. In the entries of
    // a network just built this is a binary search over a contiguous array,
    // tried first at the place after the last one found (capacities, and
    // the legs of bookings made one after the other, come in that order);
    // in the store's tables it is a hash lookup and two walks down trees
    // whose nodes lie all over memory.
    std::size_t after = 0;
    auto locate = [&](int from, int flight, Found& f) -> TSeatOutcome {
        if (built != nullptr) {
            const std::vector<TFlightEntries>& all = *built;
            auto is = [&](std::size_t i) { return i < all.size() && all[i].from == from && all[i].flight == flight; };
            std::size_t at = after;
            if (!is(at))
                at = std::size_t(std::lower_bound(all.begin(), all.end(), std::make_pair(from, flight),
                                                  [](const TFlightEntries& e, const std::pair<int, int>& k) {
                                                      return e.from < k.first ||
                                                             (e.from == k.first && e.flight < k.second);
                                                  }) -
                                 all.begin());
            if (is(at)) {
                f.from = from;
                f.to = all[at].atFrom->to;
                f.atFrom = all[at].atFrom;
                f.atTo = all[at].atTo;
                after = at + 1;
                return TSeatOutcome{};
            }
        }
        return find(from, flight, f);
    };
    // Built aside, with every pointer into this store, then swapped in.
    std::unordered_map<int, AirportLimits> newLimits;
    AirportLimits* last = nullptr;
    int lastFrom = 0;
    for (std::uint32_t n = r.count(12); n > 0; --n) {
        const int from = r.i32();
        const int flight = r.i32();
        const int seats = r.i32();
        Found f;
        if (!locate(from, flight, f).done() || f.from != from)
            throw std::runtime_error("a capacity names flight " + std::to_string(flight) + " from airport " +
                                     std::to_string(from) + ", which is not there");
        if (last == nullptr || lastFrom != from) {
            last = &newLimits[from];  // references into the map stay valid as it grows
            lastFrom = from;
        }
        AirportLimits& l = *last;
        if (!l.flights.empty() && l.flights.back() >= flight) throw std::runtime_error("capacities out of order");
        l.flights.push_back(flight);
        l.rows.push_back(LimitRow{seats, f.atFrom, f.atTo});
    }
    std::vector<Sale> newSold(r.count(9));
    std::vector<LegEntries> newEntries;
    for (std::size_t i = 0; i < newSold.size(); ++i) {
        TBooking& b = newSold[i].record;
        b.id = std::int64_t(i) + 1;
        b.passengers = r.i32();
        b.legs.resize(r.count(13));
        newSold[i].firstLeg = newEntries.size();
        for (TBookedLeg& l : b.legs) {
            l.flight = r.i32();
            l.from = r.i32();
            l.to = r.i32();
            l.gone = r.u8() != 0;
            // As copyFrom: the entries of the legs that are not gone.
            Found f;
            if (!l.gone) locate(l.from, l.flight, f);
            newEntries.push_back(LegEntries{f.atFrom, f.atTo});
        }
        b.key = r.str();
        b.cancelled = r.u8() != 0;
        // A live booking holds seats on each leg not gone, through its
        // entries: each must be that flight of this network.
        for (std::size_t k = 0; k < b.legs.size() && !b.cancelled; ++k) {
            const TBookedLeg& l = b.legs[k];
            const LegEntries& e = newEntries[newSold[i].firstLeg + k];
            if (!l.gone && (e.atFrom == nullptr || e.atFrom->from != l.from || e.atFrom->to != l.to))
                throw std::runtime_error("booking " + std::to_string(b.id) + " holds flight " + std::to_string(l.flight) +
                                         " from airport " + std::to_string(l.from) + " to " + std::to_string(l.to) +
                                         ", which is not there");
        }
    }
    std::unordered_map<std::uint64_t, std::vector<std::int64_t>> newHolders;
    for (std::uint32_t n = r.count(12); n > 0; --n) {
        std::vector<std::int64_t>& ids = newHolders[std::uint64_t(r.i64())];
        ids.resize(r.count(8));
        for (std::int64_t& id : ids) id = r.i64();
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
    legEntries.swap(newEntries);
    keys.swap(newKeys);
    // A replay's bookings were those of the state replaced.
    replayFlights.clear();
    // The route search forgets the old counts and reads the restored ones.
    republish();
}

}  // namespace SeatBooking
