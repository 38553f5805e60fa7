#include "fitting/SearchNetwork.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <sstream>
#include <utility>

namespace FitingFlight {

namespace {

// Day counts up to this many bits use the bitmap queue (0..255).
constexpr int kBucketClasses = 8;

// A rebuild is due when this many slots (at least) are dead or out of order,
// or this many pool entries (at least) are abandoned, and they make up the
// given share of the whole.
constexpr std::size_t kSlotSlack = 64;
constexpr std::size_t kEdgeSlack = 4096;
// ... and the edits since the last rebuild have done at least 1/kWorkShare
// of the work of a rebuild (a step per slot and per flight).
constexpr std::size_t kWorkShare = 4;

// Room for `size` elements, growing geometrically so that adding one at a
// time costs constant time amortised.
template <class T>
void growFor(std::vector<T>& v, std::size_t size) {
    if (size > v.capacity()) v.reserve(std::max(size, v.capacity() * 2));
}

}  // namespace

bool SearchNetwork::findSlot(int airport, std::uint32_t& slot) const {
    auto found = slots.find(airport);
    if (found == slots.end()) return false;
    slot = found->second;
    return true;
}

int SearchNetwork::dayClass(int days) {
    return days == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(days));
}

int SearchNetwork::largestClass() const {
    for (int c = 31; c > 0; --c)
        if (classes[c] != 0) return c;
    return 0;
}

QueueKind SearchNetwork::queueKind() const {
    if (negatives > 0) return QueueKind::WideHeap;
    const int largest = largestClass();
    if (largest <= kBucketClasses) return QueueKind::Buckets;
    // A route has fewer legs than there are slots, each below 2^largest days.
    const std::uint64_t bound = static_cast<std::uint64_t>(ids.size()) << largest;
    return largest < 32 && bound < (std::uint64_t{1} << 32) ? QueueKind::PackedHeap : QueueKind::WideHeap;
}

void SearchNetwork::countDays(int days, int delta) noexcept {
    if (days < 0)
        negatives += static_cast<std::size_t>(delta);
    else
        classes[dayClass(days)] += static_cast<std::size_t>(delta);
}

void SearchNetwork::noteLayout(QueueKind kindBefore, std::uint32_t bucketsBefore) noexcept {
    if (queueKind() != kindBefore || bucketCount() != bucketsBefore) ++layout;
}

bool SearchNetwork::wantsRebuild() const {
    // A network of few airports and many flights piles up dead slots fast
    // and costs much to rebuild: the work share keeps the trigger in
    // proportion to that cost, not to the airport count.
    if (work * kWorkShare < ids.size() + flights) return false;
    return slotsOverShare() || (wastedEdges >= kEdgeSlack && wastedEdges * 2 >= pool.size());
}

bool SearchNetwork::slotsOverShare() const {
    const std::size_t badSlots = deadSlots + outOfOrder;
    return badSlots >= kSlotSlack && badSlots * 8 >= ids.size();
}

void SearchNetwork::clear() noexcept {
    SearchNetwork empty(tuning);
    empty.layout = layout + 1;
    std::swap(*this, empty);
}

void SearchNetwork::compact() {
    // Built aside and swapped in, so a failed allocation leaves the old copy.
    // The live slots in airport-number order become slots 0, 1, ...
    std::vector<std::uint32_t> order;
    order.reserve(live);
    for (std::uint32_t u = 0; u < ids.size(); ++u)
        if (isLive(u)) order.push_back(u);
    std::sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) { return ids[a] < ids[b]; });
    std::vector<std::uint32_t> renumber(ids.size(), 0);
    for (std::uint32_t i = 0; i < order.size(); ++i) renumber[order[i]] = i;

    SearchNetwork fresh(tuning);
    const std::size_t n = order.size();
    fresh.ids.reserve(n);
    fresh.slots.reserve(n);
    fresh.ordered.assign(n, 1);
    fresh.ranges.resize(n);
    fresh.room.resize(n);
    fresh.indexed.assign(n, 0);
    fresh.leastIn.assign(n, std::numeric_limits<int>::max());
    std::size_t edges = 0;
    for (std::uint32_t u : order) edges += ranges[u].size;
    fresh.pool.reserve(edges);
    fresh.poolInfo.reserve(edges);
    fresh.poolSeats.reserve(edges);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t u = order[i];
        fresh.ids.push_back(ids[u]);
        fresh.slots.emplace(ids[u], i);
        Range& range = fresh.ranges[i];
        range.begin = static_cast<std::uint32_t>(fresh.pool.size());
        // Every edge leads to a live airport: removing one takes its
        // arriving edges away.
        for (std::uint32_t e = ranges[u].begin; e != ranges[u].begin + ranges[u].size; ++e) {
            const std::uint32_t to = renumber[pool[e].to];
            fresh.pool.push_back(Edge{to, pool[e].days});
            fresh.poolInfo.push_back(poolInfo[e]);
            fresh.poolSeats.push_back(poolSeats[e]);
            fresh.leastIn[to] = std::min(fresh.leastIn[to], pool[e].days);
        }
        range.size = ranges[u].size;
        fresh.room[i] = range.size;
        if (range.size >= tuning.indexFrom) {
            fresh.indexed[i] = 1;
            for (std::uint32_t e = range.begin; e != range.begin + range.size; ++e)
                fresh.edgeIndex.emplace(pairKey(i, fresh.pool[e].to), e);
        }
    }
    fresh.live = n;
    if (n > 0) {
        fresh.haveLargest = true;
        fresh.largestOrdered = fresh.ids.back();
    }
    fresh.flights = flights;
    fresh.negatives = negatives;
    std::copy(std::begin(classes), std::end(classes), std::begin(fresh.classes));
    fresh.layout = layout + 1;
    // Keyed by airport numbers, the ordered flights of parallel edges stay
    // as they are.
    fresh.parallels = std::move(parallels);
    *this = std::move(fresh);
}

void SearchNetwork::rebuild(const std::map<int, TAirportLink>& airports) {
    // Built aside and swapped in, so a failed allocation leaves the old copy.
    SearchNetwork fresh(tuning);
    fresh.ids.reserve(airports.size());
    fresh.slots.reserve(airports.size());
    for (const auto& entry : airports) {
        fresh.slots.emplace(entry.first, static_cast<std::uint32_t>(fresh.ids.size()));
        fresh.ids.push_back(entry.first);
    }
    fresh.ordered.assign(fresh.ids.size(), 1);
    fresh.ranges.resize(fresh.ids.size());
    fresh.room.resize(fresh.ids.size());
    fresh.leastIn.assign(fresh.ids.size(), std::numeric_limits<int>::max());
    std::size_t entries = 0;
    for (const auto& entry : airports) entries += entry.second.pAirport->getFlights()->size();
    fresh.pool.reserve(entries / 2);  // every flight is held at both airports
    fresh.poolInfo.reserve(entries / 2);
    fresh.poolSeats.reserve(entries / 2);

    struct Candidate {
        std::uint32_t to;
        int days;
        int flight;
    };
    std::vector<Candidate> out;
    std::uint32_t slot = 0;
    for (const auto& entry : airports) {
        out.clear();
        // The table holds arriving flights too; only departing ones lead on.
        // It is in ascending flight number, which the stable sort keeps among
        // flights to the same airport with the same days.
        for (const auto& flight : *entry.second.pAirport->getFlights()) {
            const TFlightLink& link = flight.second;
            if (link.from != entry.first) continue;
            std::uint32_t to;
            if (!fresh.findSlot(link.to, to)) continue;
            out.push_back(Candidate{to, link.days, flight.first});
            fresh.countDays(link.days, +1);
        }
        std::stable_sort(out.begin(), out.end(), [](const Candidate& a, const Candidate& b) {
            return a.to < b.to || (a.to == b.to && a.days < b.days);
        });
        Range& range = fresh.ranges[slot];
        range.begin = static_cast<std::uint32_t>(fresh.pool.size());
        for (std::size_t i = 0, next; i < out.size(); i = next) {
            // One edge per arrival; its first flight wins.
            for (next = i + 1; next < out.size() && out[next].to == out[i].to;) ++next;
            fresh.pool.push_back(Edge{out[i].to, out[i].days});
            fresh.leastIn[out[i].to] = std::min(fresh.leastIn[out[i].to], out[i].days);
            fresh.poolInfo.push_back(EdgeInfo{out[i].flight, static_cast<std::uint32_t>(next - i), 0});
            fresh.poolSeats.push_back(EdgeSeats{kNoLimit, kNoAlt, 0});
            if (next - i > 1) {
                auto& flightsThere = fresh.parallels[idKey(entry.first, fresh.ids[out[i].to])];
                for (std::size_t j = i; j < next; ++j)
                    flightsThere.emplace_hint(flightsThere.end(), std::make_pair(out[j].days, out[j].flight), kNoLimit);
                noteSecond(fresh.poolInfo.back(), fresh.poolSeats.back(), flightsThere);
            }
        }
        range.size = static_cast<std::uint32_t>(fresh.pool.size()) - range.begin;
        fresh.room[slot] = range.size;
        fresh.flights += out.size();
        ++slot;
    }
    fresh.indexed.assign(fresh.ids.size(), 0);
    for (std::uint32_t u = 0; u < fresh.ranges.size(); ++u) {
        if (fresh.ranges[u].size < tuning.indexFrom) continue;
        fresh.indexed[u] = 1;
        for (std::uint32_t e = fresh.ranges[u].begin; e != fresh.ranges[u].begin + fresh.ranges[u].size; ++e)
            fresh.edgeIndex.emplace(pairKey(u, fresh.pool[e].to), e);
    }
    fresh.live = fresh.ids.size();
    if (!fresh.ids.empty()) {
        fresh.haveLargest = true;
        fresh.largestOrdered = fresh.ids.back();
    }
    fresh.layout = layout + 1;
    *this = std::move(fresh);
}

void SearchNetwork::addAirport(int airport) {
    // Room first: past the insertion into `slots` nothing can fail.
    const QueueKind kindBefore = queueKind();
    const std::uint32_t bucketsBefore = bucketCount();
    growFor(ids, ids.size() + 1);
    growFor(ordered, ids.size() + 1);
    growFor(ranges, ids.size() + 1);
    growFor(room, ids.size() + 1);
    growFor(indexed, ids.size() + 1);
    growFor(leastIn, ids.size() + 1);
    const std::uint32_t slot = static_cast<std::uint32_t>(ids.size());
    slots.emplace(airport, slot);
    const bool inOrder = !haveLargest || airport > largestOrdered;
    ids.push_back(airport);
    ordered.push_back(inOrder ? 1 : 0);
    ranges.push_back(Range{});
    room.push_back(0);
    indexed.push_back(0);
    leastIn.push_back(std::numeric_limits<int>::max());
    ++work;
    if (inOrder) {
        haveLargest = true;
        largestOrdered = airport;
    } else {
        ++outOfOrder;
    }
    ++live;
    // More slots can end the room for 32-bit heap keys.
    noteLayout(kindBefore, bucketsBefore);
}

std::size_t SearchNetwork::findEdge(std::uint32_t from, std::uint32_t to) const noexcept {
    if (indexed[from]) {
        const auto found = edgeIndex.find(pairKey(from, to));
        return found == edgeIndex.end() ? kNone : found->second;
    }
    const std::size_t begin = ranges[from].begin, end = begin + ranges[from].size;
    for (std::size_t e = begin; e != end; ++e)
        if (pool[e].to == to) return e;
    return kNone;
}

int SearchNetwork::flightOf(std::uint32_t from, std::uint32_t to) const { return poolInfo[findEdge(from, to)].flight; }

void SearchNetwork::eraseEdge(std::uint32_t from, std::size_t edge) noexcept {
    Range& range = ranges[from];
    const std::size_t last = range.begin + range.size - 1;
    if (poolInfo[edge].flights > 1) parallels.erase(idKey(ids[from], ids[pool[edge].to]));
    if (indexed[from]) {
        edgeIndex.erase(pairKey(from, pool[edge].to));
        if (edge != last) edgeIndex.find(pairKey(from, pool[last].to))->second = static_cast<std::uint32_t>(edge);
    }
    pool[edge] = pool[last];
    poolInfo[edge] = poolInfo[last];
    poolSeats[edge] = poolSeats[last];
    --range.size;
}

void SearchNetwork::indexRange(std::uint32_t from, std::size_t begin, std::uint32_t to) {
    const Range& range = ranges[from];
    std::size_t done = 0;
    try {
        for (; done < range.size; ++done)
            edgeIndex.emplace(pairKey(from, pool[range.begin + done].to), static_cast<std::uint32_t>(begin + done));
        edgeIndex.emplace(pairKey(from, to), static_cast<std::uint32_t>(begin + range.size));
    } catch (...) {
        while (done > 0) edgeIndex.erase(pairKey(from, pool[range.begin + --done].to));
        throw;
    }
}

void SearchNetwork::addFlight(int flight, int days, int from, int to) {
    std::uint32_t u, v;
    if (!findSlot(from, u) || !findSlot(to, v)) return;
    const QueueKind kindBefore = queueKind();
    const std::uint32_t bucketsBefore = bucketCount();
    const std::size_t e = findEdge(u, v);
    if (e != kNone) {
        // Another flight of a pair: the pair's flights in order, allocated
        // before anything changes.
        EdgeInfo& info = poolInfo[e];
        Parallels* set;
        if (info.flights == 1) {
            Parallels both{{{pool[e].days, info.flight}, poolSeats[e].free}, {{days, flight}, kNoLimit}};
            set = &parallels.emplace(idKey(from, to), std::move(both)).first->second;
        } else {
            set = &parallels.find(idKey(from, to))->second;
            set->emplace(std::make_pair(days, flight), kNoLimit);
        }
        ++info.flights;
        if (days < pool[e].days || (days == pool[e].days && flight < info.flight)) {
            pool[e].days = days;
            info.flight = flight;
            poolSeats[e].free = kNoLimit;
        }
        noteSecond(info, poolSeats[e], *set);
    } else {
        Range& range = ranges[u];
        const bool move = range.size == room[u];
        const std::uint32_t twice = std::max<std::uint32_t>(2, room[u] * 2);
        if (move) {
            // Move the range to the end of the pool with twice the room. The
            // pool grows geometrically, so this costs the degree, amortised.
            const std::size_t needed = pool.size() + twice;
            if (needed > pool.capacity()) pool.reserve(std::max(needed, pool.capacity() * 2));
            if (needed > poolInfo.capacity()) poolInfo.reserve(pool.capacity());
            if (needed > poolSeats.capacity()) poolSeats.reserve(pool.capacity());
        }
        const std::size_t begin = move ? pool.size() : range.begin;
        // The index entries next (taken back if one fails); past them
        // nothing allocates.
        if (indexed[u]) {
            edgeIndex.emplace(pairKey(u, v), static_cast<std::uint32_t>(begin + range.size));
            if (move)
                for (std::uint32_t i = 0; i < range.size; ++i)
                    edgeIndex.find(pairKey(u, pool[range.begin + i].to))->second = static_cast<std::uint32_t>(begin + i);
        } else if (range.size + 1 >= tuning.indexFrom) {
            indexRange(u, begin, v);
            indexed[u] = 1;
        }
        if (move) {
            pool.resize(begin + twice);  // no allocation: reserved above
            poolInfo.resize(begin + twice);
            poolSeats.resize(begin + twice);
            std::copy(poolSeats.begin() + range.begin, poolSeats.begin() + range.begin + range.size,
                      poolSeats.begin() + begin);
            std::copy(pool.begin() + range.begin, pool.begin() + range.begin + range.size, pool.begin() + begin);
            std::copy(poolInfo.begin() + range.begin, poolInfo.begin() + range.begin + range.size,
                      poolInfo.begin() + begin);
            wastedEdges += room[u];
            range.begin = static_cast<std::uint32_t>(begin);
            room[u] = twice;
        }
        pool[range.begin + range.size] = Edge{v, days};
        poolInfo[range.begin + range.size] = EdgeInfo{flight, 1, 0};
        poolSeats[range.begin + range.size] = EdgeSeats{kNoLimit, kNoAlt, 0};
        ++range.size;
    }
    leastIn[v] = std::min(leastIn[v], days);
    ++flights;
    ++work;
    countDays(days, +1);
    noteLayout(kindBefore, bucketsBefore);
}

void SearchNetwork::removeFlight(int flight, int days, int from, int to) noexcept {
    std::uint32_t u, v;
    if (!findSlot(from, u) || !findSlot(to, v)) return;
    const QueueKind kindBefore = queueKind();
    const std::uint32_t bucketsBefore = bucketCount();
    countDays(days, -1);
    --flights;
    ++work;
    const std::size_t e = findEdge(u, v);
    if (e == kNone) {
        noteLayout(kindBefore, bucketsBefore);
        return;
    }
    EdgeInfo& info = poolInfo[e];
    const auto others = info.flights > 1 ? parallels.find(idKey(from, to)) : parallels.end();
    if (others == parallels.end()) {
        eraseEdge(u, e);  // the last flight that way
    } else {
        // The best one left takes over; with one left the set goes.
        others->second.erase(std::make_pair(days, flight));
        --info.flights;
        pool[e].days = others->second.begin()->first.first;
        info.flight = others->second.begin()->first.second;
        poolSeats[e].free = others->second.begin()->second;
        noteSecond(info, poolSeats[e], others->second);
        if (info.flights == 1) parallels.erase(others);
    }
    noteLayout(kindBefore, bucketsBefore);
}

void SearchNetwork::removeAirport(int airport, const std::map<int, TFlightLink>& flights) noexcept {
    std::uint32_t x;
    if (!findSlot(airport, x)) return;
    const QueueKind kindBefore = queueKind();
    const std::uint32_t bucketsBefore = bucketCount();
    for (const auto& entry : flights) {
        const TFlightLink& link = entry.second;
        countDays(link.days, -1);
        if (link.to != airport || link.from == airport) continue;
        std::uint32_t w;
        if (!findSlot(link.from, w)) continue;
        const std::size_t e = findEdge(w, x);
        if (e != kNone) eraseEdge(w, e);
    }
    this->flights -= std::min(this->flights, flights.size());
    work += flights.size() + 1;
    // Its own departing edges: their sets and index entries go with them.
    for (std::uint32_t e = ranges[x].begin, end = e + ranges[x].size; e != end; ++e) {
        if (poolInfo[e].flights > 1) parallels.erase(idKey(airport, ids[pool[e].to]));
        if (indexed[x]) edgeIndex.erase(pairKey(x, pool[e].to));
    }
    indexed[x] = 0;
    wastedEdges += room[x];
    ranges[x] = Range{};
    room[x] = 0;
    slots.erase(airport);
    // A dead slot waits for the next rebuild like an out-of-order one.
    if (!ordered[x]) --outOfOrder;
    ++deadSlots;
    --live;
    noteLayout(kindBefore, bucketsBefore);
}

std::vector<std::pair<int, int>> SearchNetwork::parallelFlights(std::uint32_t from, std::uint32_t to) const {
    const auto found = parallels.find(idKey(ids[from], ids[to]));
    if (found == parallels.end()) return {};
    std::vector<std::pair<int, int>> out;
    for (const auto& entry : found->second) out.push_back(entry.first);
    return out;
}

void SearchNetwork::setFree(int flight, int days, int from, int to, int free) noexcept {
    std::uint32_t u, v;
    if (!findSlot(from, u) || !findSlot(to, v)) return;
    const std::size_t e = findEdge(u, v);
    if (e == kNone) return;
    EdgeInfo& info = poolInfo[e];
    if (info.flights > 1) {
        const auto set = parallels.find(idKey(from, to));
        if (set != parallels.end()) {
            const auto entry = set->second.find(std::make_pair(days, flight));
            if (entry != set->second.end()) {
                entry->second = free;
                if (entry == std::next(set->second.begin())) poolSeats[e].alt = free;
            }
        }
    }
    // Numbers are unique at an airport: the edge's flight is this one or
    // another of the pair.
    if (info.flight == flight) poolSeats[e].free = free;
}

void SearchNetwork::clearFree() noexcept {
    for (std::size_t e = 0; e < poolSeats.size(); ++e) {
        poolSeats[e].free = kNoLimit;
        poolSeats[e].alt = poolInfo[e].flights > 1 ? kNoLimit : kNoAlt;
    }
    for (auto& set : parallels)
        for (auto& entry : set.second) entry.second = kNoLimit;
}

void SearchNetwork::noteSecond(EdgeInfo& info, EdgeSeats& seats, const Parallels& set) noexcept {
    if (set.size() < 2) {
        seats.alt = kNoAlt;
        return;
    }
    const auto second = std::next(set.begin());
    seats.altDays = second->first.first;
    info.altFlight = second->first.second;
    seats.alt = second->second;
}

bool SearchNetwork::keptBeyond(std::uint32_t from, const Edge* e, int passengers, int& flight, int& days) const {
    const auto set = parallels.find(idKey(ids[from], ids[e->to]));
    if (set == parallels.end() || set->second.size() < 3) return false;
    // The first two are the edge's own flight and its alt, which lack the
    // seats.
    for (auto entry = std::next(set->second.begin(), 2); entry != set->second.end(); ++entry) {
        if (entry->second < passengers) continue;
        days = entry->first.first;
        flight = entry->first.second;
        return true;
    }
    return false;
}

std::string SearchNetwork::indexBreach() const {
    std::ostringstream out;
    std::size_t indexedEdges = 0, several = 0;
    for (std::uint32_t u = 0; u < ranges.size(); ++u) {
        for (std::uint32_t e = ranges[u].begin; e != ranges[u].begin + ranges[u].size; ++e) {
            const std::uint64_t key = pairKey(u, pool[e].to);
            if (indexed[u]) {
                ++indexedEdges;
                const auto found = edgeIndex.find(key);
                if (found == edgeIndex.end() || found->second != e) {
                    out << "slot " << u << "'s edge to slot " << pool[e].to << " is not indexed at its place";
                    return out.str();
                }
            }
            const auto set = parallels.find(idKey(ids[u], ids[pool[e].to]));
            if (poolInfo[e].flights < 2) {
                if (set != parallels.end() || poolSeats[e].alt != kNoAlt) {
                    out << "slot " << u << "'s edge to slot " << pool[e].to << " has one flight and a set";
                    return out.str();
                }
                continue;
            }
            ++several;
            if (set == parallels.end() || set->second.size() != poolInfo[e].flights ||
                set->second.begin()->first.first != pool[e].days ||
                set->second.begin()->first.second != poolInfo[e].flight ||
                set->second.begin()->second != poolSeats[e].free ||
                std::next(set->second.begin())->first != std::make_pair(poolSeats[e].altDays, poolInfo[e].altFlight) ||
                std::next(set->second.begin())->second != poolSeats[e].alt) {
                out << "slot " << u << "'s edge to slot " << pool[e].to << " of " << poolInfo[e].flights
                    << " flights (d" << pool[e].days << " F" << poolInfo[e].flight << ") disagrees with its set";
                return out.str();
            }
        }
        if (!indexed[u] && ranges[u].size >= tuning.indexFrom && ranges[u].size > 0 && live > 0 && isLive(u)) {
            out << "slot " << u << " has " << ranges[u].size << " edges and no index";
            return out.str();
        }
    }
    if (indexedEdges != edgeIndex.size()) out << edgeIndex.size() << " index entries for " << indexedEdges << " edges";
    else if (several != parallels.size()) out << parallels.size() << " sets for " << several << " edges of several flights";
    return out.str();
}

}  // namespace FitingFlight
