#include "bookings/TSeatBooking.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "fitting/IFlightFilter.h"

namespace SeatBooking {

namespace {

TSeatOutcome refused(SeatRule rule) {
    TSeatOutcome o;
    o.rule = rule;
    return o;
}

TSeatOutcome refusedAt(SeatRule rule, int airport, int flight) {
    TSeatOutcome o = refused(rule);
    o.airport = airport;
    o.flight = flight;
    return o;
}

TSeatOutcome badPassengers(int passengers) {
    TSeatOutcome o = refused(SeatRule::BadPassengers);
    o.passengers = passengers;
    return o;
}

}  // namespace

// Leaves out the flights with fewer than `passengers` free seats.
class TSeatBooking::SeatFilter final : public IFlightFilter {
public:
    SeatFilter(const TSeatBooking& seats, int passengers) : seats(seats), passengers(passengers) {}

    bool departFrom(int airport) override {
        auto found = seats.limits.find(airport);
        rows = found == seats.limits.end() ? nullptr : &found->second;
        return rows != nullptr;
    }

    bool excludes(int flight) override {
        auto row = std::lower_bound(rows->begin(), rows->end(), flight,
                                    [](const LimitRow& r, int f) { return r.flight < f; });
        if (row == rows->end() || row->flight != flight) return false;
        const int soldNow = std::max(row->atFrom->booked, row->atTo->booked);
        return static_cast<std::int64_t>(row->seats) - soldNow < passengers;
    }

private:
    const TSeatBooking& seats;
    const int passengers;
    const std::vector<LimitRow>* rows = nullptr;
};

int TSeatBooking::Found::sold() const { return std::max(atFrom->booked, atTo->booked); }

TSeatBooking::TSeatBooking(IDataAccess* data, IArmoringTicket* tickets) : data(data), tickets(tickets) {
    data->addListener(this);
    tickets->setSeatLimit(this);
}

TSeatBooking::~TSeatBooking() {
    tickets->setSeatLimit(nullptr);
    data->removeListener(this);
}

// ---- following the store ----

void TSeatBooking::airportAdded(int) {}
void TSeatBooking::flightAdded(int, int, int, int) {}

void TSeatBooking::airportRemoving(int, const std::map<int, TFlightLink>& flights) noexcept {
    // Departing and arriving flights alike: each is keyed by its departure.
    for (const auto& entry : flights) dropFlight(entry.second.from, entry.first);
}

void TSeatBooking::flightRemoved(int flight, int, int from, int) noexcept { dropFlight(from, flight); }

void TSeatBooking::dropFlight(int from, int flight) noexcept {
    auto airport = limits.find(from);
    if (airport != limits.end()) {
        std::vector<LimitRow>& rows = airport->second;
        auto row = std::lower_bound(rows.begin(), rows.end(), flight,
                                    [](const LimitRow& r, int f) { return r.flight < f; });
        if (row != rows.end() && row->flight == flight) rows.erase(row);
        if (rows.empty()) limits.erase(airport);
    }
    auto held = holders.find(FlightKey{from, flight});
    if (held == holders.end()) return;
    for (std::int64_t id : held->second) {
        for (TBookedLeg& leg : sold[static_cast<std::size_t>(id - 1)].legs)
            if (leg.from == from && leg.flight == flight) leg.gone = true;
    }
    holders.erase(held);
}

// ---- lookups ----

TSeatOutcome TSeatBooking::find(int airport, int flight, Found& out) const {
    std::map<int, TFlightLink>* here = data->getFlights(airport);
    if (here == nullptr) return refusedAt(SeatRule::UnknownAirport, airport, flight);
    auto entry = here->find(flight);
    if (entry == here->end()) return refusedAt(SeatRule::UnknownFlight, airport, flight);
    out.from = entry->second.from;
    out.to = entry->second.to;
    const int other = airport == out.from ? out.to : out.from;
    std::map<int, TFlightLink>* there = data->getFlights(other);
    auto otherEntry = there->find(flight);  // both entries exist by the store's invariant
    out.atFrom = airport == out.from ? &entry->second : &otherEntry->second;
    out.atTo = airport == out.from ? &otherEntry->second : &entry->second;
    return TSeatOutcome{};
}

const TSeatBooking::LimitRow* TSeatBooking::findRow(int from, int flight) const {
    auto airport = limits.find(from);
    if (airport == limits.end()) return nullptr;
    const std::vector<LimitRow>& rows = airport->second;
    auto row = std::lower_bound(rows.begin(), rows.end(), flight,
                                [](const LimitRow& r, int f) { return r.flight < f; });
    return row != rows.end() && row->flight == flight ? &*row : nullptr;
}

// ---- capacities ----

TSeatOutcome TSeatBooking::setSeats(int airport, int flight, int seats) {
    if (seats < 0) {
        TSeatOutcome o = refusedAt(SeatRule::BadSeats, airport, flight);
        o.seats = seats;
        return o;
    }
    Found f;
    TSeatOutcome o = find(airport, flight, f);
    if (!o.done()) return o;
    if (seats < f.sold()) {
        o = refusedAt(SeatRule::SeatsBelowSold, airport, flight);
        o.seats = seats;
        o.sold = f.sold();
        return o;
    }
    const bool hadRows = limits.count(f.from) != 0;
    std::vector<LimitRow>& rows = limits[f.from];
    auto row = std::lower_bound(rows.begin(), rows.end(), flight,
                                [](const LimitRow& r, int n) { return r.flight < n; });
    if (row != rows.end() && row->flight == flight) {
        row->seats = seats;
        return o;
    }
    try {
        rows.insert(row, LimitRow{flight, seats, f.atFrom, f.atTo});
    } catch (...) {
        if (!hadRows) limits.erase(f.from);
        throw;
    }
    return o;
}

TSeatOutcome TSeatBooking::seatsOf(int airport, int flight, TFlightSeats& out) const {
    Found f;
    TSeatOutcome o = find(airport, flight, f);
    if (!o.done()) return o;
    const LimitRow* row = findRow(f.from, flight);
    out.seats = row == nullptr ? -1 : row->seats;
    out.sold = f.sold();
    return o;
}

bool TSeatBooking::admits(const std::list<TTicket>& list) const {
    for (const TTicket& t : list) {
        std::map<int, TFlightLink>* table = data->getFlights(t.airport);
        if (table == nullptr) continue;
        auto entry = table->find(t.flight);
        if (entry == table->end() || !ticketHonoured(t, entry->second)) continue;
        const LimitRow* row = findRow(entry->second.from, t.flight);
        if (row != nullptr && entry->second.booked >= row->seats) return false;
    }
    return true;
}

// ---- selling ----

TSeatOutcome TSeatBooking::checkKey(const std::string* key) {
    if (key == nullptr || (!key->empty() && key->size() <= kMaxKeyBytes)) return TSeatOutcome{};
    TSeatOutcome o = refused(SeatRule::BadKey);
    o.seats = static_cast<int>(std::min<std::size_t>(key->size(), INT_MAX));
    return o;
}

TSeatOutcome TSeatBooking::answerKnownKey(const KeyedRequest& first, const KeyedRequest& again) const {
    const bool same = first.fitted == again.fitted && first.passengers == again.passengers &&
                      (first.fitted ? first.maxDays == again.maxDays && first.from == again.from &&
                                          first.to == again.to
                                    : first.legs == again.legs);
    TSeatOutcome o = refused(same ? SeatRule::Done : SeatRule::KeyReused);
    o.booking = first.booking;
    return o;
}

TSeatOutcome TSeatBooking::fitFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) {
    if (passengers <= 0) return badPassengers(passengers);
    SeatFilter filter(*this, passengers);
    TSeatOutcome o;
    o.fit = tickets->fitRoute(maxDays, from, to, route, filter);
    return o;
}

TSeatOutcome TSeatBooking::book(const std::vector<TLegRequest>& legs, int passengers, const std::string* key) {
    if (passengers <= 0) return badPassengers(passengers);
    TSeatOutcome o = checkKey(key);
    if (!o.done()) return o;
    KeyedRequest request;
    request.passengers = passengers;
    if (key != nullptr) {
        request.legs = legs;  // kept with the key
        auto known = keys.find(*key);
        if (known != keys.end()) return answerKnownKey(known->second, request);
    }
    return sell(legs, passengers, key, std::move(request));
}

TSeatOutcome TSeatBooking::fitAndBook(int maxDays, int from, int to, int passengers, const std::string* key) {
    if (passengers <= 0) return badPassengers(passengers);
    TSeatOutcome o = checkKey(key);
    if (!o.done()) return o;
    KeyedRequest request;
    request.fitted = true;
    request.maxDays = maxDays;
    request.from = from;
    request.to = to;
    request.passengers = passengers;
    // A retry is answered before any search: the route may have changed
    // since, and the first answer stands.
    if (key != nullptr) {
        auto known = keys.find(*key);
        if (known != keys.end()) return answerKnownKey(known->second, request);
    }
    std::list<TTicket> route;
    o = fitFor(maxDays, from, to, passengers, &route);
    if (o.fit != 0) {
        o.rule = SeatRule::NoRoute;
        return o;
    }
    // Two tickets per leg from the arrival back; the second of each pair is
    // the entry at the leg's departure.
    std::vector<TLegRequest> legs;
    legs.reserve(route.size() / 2);
    bool departureEntry = false;
    for (const TTicket& t : route) {
        if (departureEntry) legs.push_back(TLegRequest{t.flight, t.from, t.to});
        departureEntry = !departureEntry;
    }
    std::reverse(legs.begin(), legs.end());
    return sell(legs, passengers, key, std::move(request));
}

TSeatOutcome TSeatBooking::sell(const std::vector<TLegRequest>& legs, int passengers, const std::string* key,
                                KeyedRequest request) {
    if (legs.empty()) return refused(SeatRule::NotARoute);
    // Every test first, in leg order; nothing changes until all pass.
    std::vector<Found> found(legs.size());
    for (std::size_t i = 0; i < legs.size(); ++i) {
        const TLegRequest& leg = legs[i];
        TSeatOutcome o = find(leg.from, leg.flight, found[i]);
        if (!o.done()) return o;
        if (found[i].from != leg.from || found[i].to != leg.to)
            return refusedAt(SeatRule::UnknownFlight, leg.from, leg.flight);
        if (i > 0 && legs[i - 1].to != leg.from) return refused(SeatRule::NotARoute);
        for (std::size_t j = 0; j < i; ++j)
            if (legs[j].from == leg.from && legs[j].flight == leg.flight) return refused(SeatRule::NotARoute);
    }
    for (std::size_t i = 0; i < legs.size(); ++i) {
        const int soldNow = found[i].sold();
        const LimitRow* row = findRow(legs[i].from, legs[i].flight);
        if (row != nullptr && static_cast<std::int64_t>(row->seats) - soldNow < passengers) {
            TSeatOutcome o = refusedAt(SeatRule::NoFreeSeats, legs[i].from, legs[i].flight);
            o.seats = row->seats - soldNow;
            o.passengers = passengers;
            return o;
        }
        if (soldNow > INT_MAX - passengers) return refusedAt(SeatRule::CountAtLargest, legs[i].from, legs[i].flight);
    }

    // Everything that allocates, each step undone if a later one fails.
    const std::int64_t id = static_cast<std::int64_t>(sold.size()) + 1;
    TBooking record;
    record.id = id;
    record.passengers = passengers;
    record.legs.reserve(legs.size());
    for (const TLegRequest& leg : legs) record.legs.push_back(TBookedLeg{leg.flight, leg.from, leg.to, false});
    if (key != nullptr) record.key = *key;
    request.booking = id;
    // Room for the record first (growing geometrically), so that keeping it
    // cannot fail once the holders and the key are in.
    if (sold.size() == sold.capacity()) sold.reserve(std::max<std::size_t>(16, sold.capacity() * 2));
    std::size_t held = 0;
    try {
        for (; held < legs.size(); ++held) holders[FlightKey{legs[held].from, legs[held].flight}].insert(id);
        if (key != nullptr) keys.emplace(*key, std::move(request));
    } catch (...) {
        // The leg whose insertion failed may have left an empty set behind.
        if (held < legs.size()) {
            auto h = holders.find(FlightKey{legs[held].from, legs[held].flight});
            if (h != holders.end() && h->second.empty()) holders.erase(h);
        }
        while (held > 0) {
            --held;
            auto h = holders.find(FlightKey{legs[held].from, legs[held].flight});
            h->second.erase(id);
            if (h->second.empty()) holders.erase(h);
        }
        throw;
    }
    // From here on nothing can fail.
    sold.push_back(std::move(record));
    for (Found& f : found) {
        f.atFrom->booked += passengers;
        f.atTo->booked += passengers;
    }
    TSeatOutcome o;
    o.booking = id;
    return o;
}

// ---- cancelling and reading ----

TSeatOutcome TSeatBooking::cancel(std::int64_t id, bool& cancelledNow) {
    cancelledNow = false;
    if (id < 1 || id > static_cast<std::int64_t>(sold.size())) {
        TSeatOutcome o = refused(SeatRule::UnknownBooking);
        o.booking = id;
        return o;
    }
    TBooking& b = sold[static_cast<std::size_t>(id - 1)];
    TSeatOutcome o;
    o.booking = id;
    if (b.cancelled) return o;
    // Lookups and erasures only: nothing here allocates.
    for (const TBookedLeg& leg : b.legs) {
        if (leg.gone) continue;
        auto h = holders.find(FlightKey{leg.from, leg.flight});
        if (h != holders.end()) {
            h->second.erase(id);
            if (h->second.empty()) holders.erase(h);
        }
        Found f;
        if (!find(leg.from, leg.flight, f).done()) continue;  // cannot happen: a removed flight marks the leg
        f.atFrom->booked -= std::min(f.atFrom->booked, b.passengers);
        f.atTo->booked -= std::min(f.atTo->booked, b.passengers);
    }
    b.cancelled = true;
    cancelledNow = true;
    return o;
}

const TBooking* TSeatBooking::booking(std::int64_t id) const {
    if (id < 1 || id > static_cast<std::int64_t>(sold.size())) return nullptr;
    return &sold[static_cast<std::size_t>(id - 1)];
}

TSeatOutcome TSeatBooking::bookingsOf(int airport, int flight, std::vector<std::int64_t>& out) const {
    Found f;
    TSeatOutcome o = find(airport, flight, f);
    if (!o.done()) return o;
    out.clear();
    auto h = holders.find(FlightKey{f.from, flight});
    if (h != holders.end()) out.assign(h->second.begin(), h->second.end());
    return o;
}

std::int64_t TSeatBooking::bookingCount() const { return static_cast<std::int64_t>(sold.size()); }

void TSeatBooking::copyFrom(const TSeatBooking& other) {
    // Built aside, with the rows pointing into this store, then swapped in.
    std::unordered_map<int, std::vector<LimitRow>> newLimits;
    for (const auto& airport : other.limits) {
        std::vector<LimitRow>& rows = newLimits[airport.first];
        rows.reserve(airport.second.size());
        for (const LimitRow& r : airport.second) {
            Found f;
            if (!find(airport.first, r.flight, f).done()) continue;
            rows.push_back(LimitRow{r.flight, r.seats, f.atFrom, f.atTo});
        }
    }
    std::map<FlightKey, std::set<std::int64_t>> newHolders = other.holders;
    std::vector<TBooking> newSold = other.sold;
    std::unordered_map<std::string, KeyedRequest> newKeys = other.keys;
    limits.swap(newLimits);
    holders.swap(newHolders);
    sold.swap(newSold);
    keys.swap(newKeys);
}

}  // namespace SeatBooking
