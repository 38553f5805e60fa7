#include "bookings/TSeatBooking.h"

#include <algorithm>
#include <climits>
#include <utility>


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

int TSeatBooking::Found::sold() const { return std::max(atFrom->booked, atTo->booked); }

std::ptrdiff_t TSeatBooking::AirportLimits::indexOf(int flight) const {
    auto at = std::lower_bound(flights.begin(), flights.end(), flight);
    return at != flights.end() && *at == flight ? at - flights.begin() : -1;
}

void TSeatBooking::publish(int from, int flight, const LimitRow& r) const noexcept {
    const int free = r.seats - std::max(r.atFrom->booked, r.atTo->booked);
    tickets->freeSeatsChanged(flight, r.atFrom->days, from, r.atFrom->to, free);
    for (IFreeSeatsWatcher* w : watchers) w->freeSeatsChanged(flight, r.atFrom->days, from, r.atFrom->to, free);
}

void TSeatBooking::republish() {
    tickets->setFreeSeats(this);
    for (IFreeSeatsWatcher* w : watchers) w->freeSeatsReplaced();
}

void TSeatBooking::addWatcher(IFreeSeatsWatcher* watcher) { watchers.push_back(watcher); }

void TSeatBooking::removeWatcher(IFreeSeatsWatcher* watcher) noexcept {
    for (auto it = watchers.begin(); it != watchers.end(); ++it)
        if (*it == watcher) {
            watchers.erase(it);
            return;
        }
}

void TSeatBooking::refresh(int from, int flight) noexcept {
    const LimitRow* row = findRow(from, flight);
    if (row != nullptr) publish(from, flight, *row);
}

void TSeatBooking::eachLimited(const Each& each) const {
    for (const auto& airport : limits) {
        const AirportLimits& l = airport.second;
        for (std::size_t i = 0; i < l.flights.size(); ++i) {
            const LimitRow& r = l.rows[i];
            each(l.flights[i], r.atFrom->days, airport.first, r.atFrom->to,
                 r.seats - std::max(r.atFrom->booked, r.atTo->booked));
        }
    }
}

void TSeatBooking::ticketsBooked(const std::list<TTicket>& list) noexcept {
    for (const TTicket& t : list) {
        std::map<int, TFlightLink>* table = data->getFlights(t.airport);
        if (table == nullptr) continue;
        auto entry = table->find(t.flight);
        if (entry != table->end()) refresh(entry->second.from, t.flight);
    }
}

TSeatBooking::TSeatBooking(IDataAccess* data, IArmoringTicket* tickets) : data(data), tickets(tickets) {
    data->addListener(this);
    try {
        tickets->setFreeSeats(this);
    } catch (...) {
        data->removeListener(this);
        throw;
    }
    tickets->setSeatLimit(this);
}

TSeatBooking::~TSeatBooking() {
    tickets->setSeatLimit(nullptr);
    tickets->setFreeSeats(nullptr);
    data->removeListener(this);
}

// ---- following the store ----

void TSeatBooking::airportAdded(int) {}

// A new flight has no capacity; the route search starts it without limit.
void TSeatBooking::flightAdded(int, int, int, int) {}

void TSeatBooking::airportRemoving(int, const std::map<int, TFlightLink>& flights) noexcept {
    // Departing and arriving flights alike: each is keyed by its departure.
    for (const auto& entry : flights) dropFlight(entry.second.from, entry.first);
}

// The store was empty: no capacity or live leg pointed into it, and the new
// flights have no capacity yet (restoreState gives them theirs).
void TSeatBooking::networkBuilt() noexcept {}

void TSeatBooking::flightRemoved(int flight, int, int from, int) noexcept { dropFlight(from, flight); }

// The route search drops the flight, and its free seats, itself.
void TSeatBooking::dropFlight(int from, int flight) noexcept {
    auto airport = limits.find(from);
    if (airport != limits.end()) {
        AirportLimits& l = airport->second;
        const std::ptrdiff_t i = l.indexOf(flight);
        if (i >= 0) {
            l.flights.erase(l.flights.begin() + i);
            l.rows.erase(l.rows.begin() + i);
        }
        if (l.flights.empty()) limits.erase(airport);
    }
    const auto markGone = [&](std::int64_t id) {
        for (TBookedLeg& leg : sold[static_cast<std::size_t>(id - 1)].record.legs)
            if (leg.from == from && leg.flight == flight) leg.gone = true;
    };
    auto replayed = replayFlights.find(keyOf(from, flight));
    if (replayed != replayFlights.end()) {
        // A cancelled booking no longer holds the flight: its leg stays as
        // it was, as when it has left the list below.
        for (std::int64_t id : replayed->second.held)
            if (!sold[static_cast<std::size_t>(id - 1)].record.cancelled) markGone(id);
        replayFlights.erase(replayed);
    }
    auto held = holders.find(keyOf(from, flight));
    if (held == holders.end()) return;
    for (std::int64_t id : held->second) markGone(id);
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
    const std::ptrdiff_t i = airport->second.indexOf(flight);
    return i < 0 ? nullptr : &airport->second.rows[static_cast<std::size_t>(i)];
}

TSeatOutcome TSeatBooking::findLeg(int from, int flight, Found& out) {
    if (!replaying) return find(from, flight, out);
    const std::uint64_t key = keyOf(from, flight);
    auto known = replayFlights.find(key);
    if (known != replayFlights.end()) {
        out = known->second.found;
        return TSeatOutcome{};
    }
    TSeatOutcome o = find(from, flight, out);
    // Kept only under the flight's departure, the key its removal clears
    // (a leg named from its arrival is refused anyway).
    if (o.done() && out.from == from) replayFlights.emplace(key, ReplayFlight{out, {}});
    return o;
}

std::vector<std::int64_t>& TSeatBooking::holdersOf(std::uint64_t flight) {
    // While replaying, findLeg has put the flight in the table.
    return replaying ? replayFlights.find(flight)->second.held : holders[flight];
}

void TSeatBooking::unhold(std::uint64_t flight) noexcept {
    if (replaying) {
        auto r = replayFlights.find(flight);
        if (r != replayFlights.end() && !r->second.held.empty()) r->second.held.pop_back();
        return;
    }
    auto h = holders.find(flight);
    if (h == holders.end()) return;
    if (!h->second.empty()) h->second.pop_back();
    if (h->second.empty()) holders.erase(h);
}

void TSeatBooking::beginReplay() noexcept {
    replayFlights.clear();
    replaying = true;
}

void TSeatBooking::endReplay() {
    if (!replaying) return;
    // Every id gathered is above every id already in the lists (the
    // replay's sales come last), so appending keeps them ascending.
    for (auto& [flight, r] : replayFlights) {
        std::vector<std::int64_t>& ids = r.held;
        ids.erase(std::remove_if(ids.begin(), ids.end(),
                                 [&](std::int64_t id) { return sold[static_cast<std::size_t>(id - 1)].record.cancelled; }),
                  ids.end());
        if (ids.empty()) continue;
        auto h = holders.find(flight);
        if (h == holders.end())
            holders.emplace(flight, std::move(ids));
        else
            h->second.insert(h->second.end(), ids.begin(), ids.end());
        ids.clear();
    }
    replayFlights.clear();
    replaying = false;
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
    auto existing = limits.find(f.from);
    if (existing != limits.end()) {
        AirportLimits& l = existing->second;
        const std::ptrdiff_t i = l.indexOf(flight);
        if (i >= 0) {
            l.rows[static_cast<std::size_t>(i)].seats = seats;
            publish(f.from, flight, l.rows[static_cast<std::size_t>(i)]);
            return o;
        }
    }
    // Two inserts, the first undone if the second fails.
    const bool hadLimits = existing != limits.end();
    AirportLimits& l = limits[f.from];
    const std::size_t at =
        static_cast<std::size_t>(std::lower_bound(l.flights.begin(), l.flights.end(), flight) - l.flights.begin());
    bool inserted = false;
    try {
        l.flights.insert(l.flights.begin() + static_cast<std::ptrdiff_t>(at), flight);
        inserted = true;
        l.rows.insert(l.rows.begin() + static_cast<std::ptrdiff_t>(at), LimitRow{seats, f.atFrom, f.atTo});
    } catch (...) {
        if (inserted) l.flights.erase(l.flights.begin() + static_cast<std::ptrdiff_t>(at));
        if (!hadLimits) limits.erase(f.from);
        throw;
    }
    publish(f.from, flight, l.rows[at]);
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
    TSeatOutcome o;
    o.fit = tickets->fitRouteFor(maxDays, from, to, passengers, route);
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
    // The legs' entries go to the end of legEntries as they are found, into
    // room made first, so that nothing below allocates for them; a refusal
    // or a failure takes them away again.
    const std::size_t first = legEntries.size();
    if (legEntries.capacity() - first < legs.size())
        legEntries.reserve(std::max({std::size_t(16), legEntries.capacity() * 2, first + legs.size()}));
    const auto dropEntries = [&] { legEntries.erase(legEntries.begin() + static_cast<std::ptrdiff_t>(first), legEntries.end()); };
    const auto refusal = [&](const TSeatOutcome& o) {
        dropEntries();
        return o;
    };
    // Every test first, in leg order; nothing changes until all pass.
    for (std::size_t i = 0; i < legs.size(); ++i) {
        const TLegRequest& leg = legs[i];
        Found f;
        TSeatOutcome o = findLeg(leg.from, leg.flight, f);
        if (!o.done()) return refusal(o);
        if (f.from != leg.from || f.to != leg.to)
            return refusal(refusedAt(SeatRule::UnknownFlight, leg.from, leg.flight));
        if (i > 0 && legs[i - 1].to != leg.from) return refusal(refused(SeatRule::NotARoute));
        for (std::size_t j = 0; j < i; ++j)
            if (legs[j].from == leg.from && legs[j].flight == leg.flight) return refusal(refused(SeatRule::NotARoute));
        legEntries.push_back(LegEntries{f.atFrom, f.atTo});
    }
    for (std::size_t i = 0; i < legs.size(); ++i) {
        const LegEntries& e = legEntries[first + i];
        const int soldNow = std::max(e.atFrom->booked, e.atTo->booked);
        const LimitRow* row = findRow(legs[i].from, legs[i].flight);
        if (row != nullptr && static_cast<std::int64_t>(row->seats) - soldNow < passengers) {
            TSeatOutcome o = refusedAt(SeatRule::NoFreeSeats, legs[i].from, legs[i].flight);
            o.seats = row->seats - soldNow;
            o.passengers = passengers;
            return refusal(o);
        }
        if (soldNow > INT_MAX - passengers)
            return refusal(refusedAt(SeatRule::CountAtLargest, legs[i].from, legs[i].flight));
    }

    // Everything that allocates, each step undone if a later one fails.
    const std::int64_t id = static_cast<std::int64_t>(sold.size()) + 1;
    std::size_t held = 0;
    try {
        Sale sale;
        sale.record.id = id;
        sale.record.passengers = passengers;
        sale.record.legs.reserve(legs.size());
        for (const TLegRequest& leg : legs) sale.record.legs.push_back(TBookedLeg{leg.flight, leg.from, leg.to, false});
        if (key != nullptr) sale.record.key = *key;
        sale.firstLeg = first;
        request.booking = id;
        // Room for the record first (growing geometrically), so that keeping
        // it cannot fail once the holders and the key are in.
        if (sold.size() == sold.capacity()) sold.reserve(std::max<std::size_t>(16, sold.capacity() * 2));
        // New ids are the largest, so each list stays in ascending order.
        for (; held < legs.size(); ++held) holdersOf(keyOf(legs[held].from, legs[held].flight)).push_back(id);
        if (key != nullptr) keys.emplace(*key, std::move(request));
        // From here on nothing can fail.
        sold.push_back(std::move(sale));
    } catch (...) {
        // The leg whose insertion failed may have left an empty list behind
        // (unhold takes it away without popping an id it does not hold).
        if (held < legs.size()) {
            auto h = holders.find(keyOf(legs[held].from, legs[held].flight));
            if (!replaying && h != holders.end() && h->second.empty()) holders.erase(h);
        }
        while (held > 0) {
            --held;
            unhold(keyOf(legs[held].from, legs[held].flight));
        }
        dropEntries();
        throw;
    }
    for (std::size_t i = 0; i < legs.size(); ++i) {
        const LegEntries& e = legEntries[first + i];
        e.atFrom->booked += passengers;
        e.atTo->booked += passengers;
        refresh(legs[i].from, legs[i].flight);
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
    Sale& sale = sold[static_cast<std::size_t>(id - 1)];
    TBooking& b = sale.record;
    TSeatOutcome o;
    o.booking = id;
    if (b.cancelled) return o;
    // Lookups and erasures only: nothing here allocates. A leg not gone is
    // still the flight that was sold, and its entries are where they were.
    for (std::size_t i = 0; i < b.legs.size(); ++i) {
        const TBookedLeg& leg = b.legs[i];
        if (leg.gone) continue;
        auto h = holders.find(keyOf(leg.from, leg.flight));
        if (h != holders.end()) {
            std::vector<std::int64_t>& ids = h->second;
            auto at = std::lower_bound(ids.begin(), ids.end(), id);
            if (at != ids.end() && *at == id) ids.erase(at);
            if (ids.empty()) holders.erase(h);
        }
        const LegEntries& f = legEntries[sale.firstLeg + i];
        f.atFrom->booked -= std::min(f.atFrom->booked, b.passengers);
        f.atTo->booked -= std::min(f.atTo->booked, b.passengers);
        refresh(leg.from, leg.flight);
    }
    b.cancelled = true;
    cancelledNow = true;
    return o;
}

const TBooking* TSeatBooking::booking(std::int64_t id) const {
    if (id < 1 || id > static_cast<std::int64_t>(sold.size())) return nullptr;
    return &sold[static_cast<std::size_t>(id - 1)].record;
}

TSeatOutcome TSeatBooking::bookingsOf(int airport, int flight, std::vector<std::int64_t>& out) const {
    Found f;
    TSeatOutcome o = find(airport, flight, f);
    if (!o.done()) return o;
    out.clear();
    auto h = holders.find(keyOf(f.from, flight));
    if (h != holders.end()) out = h->second;
    return o;
}

std::int64_t TSeatBooking::bookingCount() const { return static_cast<std::int64_t>(sold.size()); }

void TSeatBooking::copyFrom(const TSeatBooking& other) {
    // Built aside, with every pointer into this store, then swapped in.
    std::unordered_map<int, AirportLimits> newLimits = other.limits;
    for (auto& airport : newLimits) {
        AirportLimits& l = airport.second;
        for (std::size_t i = 0; i < l.flights.size(); ++i) {
            Found f;
            find(airport.first, l.flights[i], f);  // the same network: every flight is there
            l.rows[i].atFrom = f.atFrom;
            l.rows[i].atTo = f.atTo;
        }
    }
    std::vector<Sale> newSold = other.sold;
    std::vector<LegEntries> newEntries;
    newEntries.reserve(other.legEntries.size());
    for (Sale& sale : newSold) {
        sale.firstLeg = newEntries.size();
        for (const TBookedLeg& leg : sale.record.legs) {
            Found f;
            if (!leg.gone) find(leg.from, leg.flight, f);
            newEntries.push_back(LegEntries{f.atFrom, f.atTo});
        }
    }
    std::unordered_map<std::uint64_t, std::vector<std::int64_t>> newHolders = other.holders;
    std::unordered_map<std::string, KeyedRequest> newKeys = other.keys;
    limits.swap(newLimits);
    holders.swap(newHolders);
    sold.swap(newSold);
    legEntries.swap(newEntries);
    keys.swap(newKeys);
    // The route search forgets the old counts and reads the new ones (only
    // calls that allocate nothing).
    republish();
}

}  // namespace SeatBooking
