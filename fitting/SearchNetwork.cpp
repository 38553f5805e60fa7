#include "fitting/SearchNetwork.h"

#include <algorithm>
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
    const std::size_t badSlots = deadSlots + outOfOrder;
    if (badSlots >= kSlotSlack && badSlots * 8 >= ids.size()) return true;
    return wastedEdges >= kEdgeSlack && wastedEdges * 2 >= pool.size();
}

void SearchNetwork::rebuild(const std::map<int, TAirportLink>& airports) {
    // Built aside and swapped in, so a failed allocation leaves the old copy.
    SearchNetwork fresh;
    fresh.ids.reserve(airports.size());
    fresh.slots.reserve(airports.size());
    for (const auto& entry : airports) {
        fresh.slots.emplace(entry.first, static_cast<std::uint32_t>(fresh.ids.size()));
        fresh.ids.push_back(entry.first);
    }
    fresh.ordered.assign(fresh.ids.size(), 1);
    fresh.ranges.resize(fresh.ids.size());
    fresh.room.resize(fresh.ids.size());
    std::size_t entries = 0;
    for (const auto& entry : airports) entries += entry.second.pAirport->getFlights()->size();
    fresh.pool.reserve(entries / 2);  // every flight is held at both airports
    fresh.poolInfo.reserve(entries / 2);

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
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (i > 0 && out[i].to == out[i - 1].to) {  // a parallel flight that never wins
                ++fresh.poolInfo.back().flights;
                continue;
            }
            fresh.pool.push_back(Edge{out[i].to, out[i].days});
            fresh.poolInfo.push_back(EdgeInfo{out[i].flight, 1});
        }
        range.size = static_cast<std::uint32_t>(fresh.pool.size()) - range.begin;
        fresh.room[slot] = range.size;
        ++slot;
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
    const std::uint32_t slot = static_cast<std::uint32_t>(ids.size());
    slots.emplace(airport, slot);
    const bool inOrder = !haveLargest || airport > largestOrdered;
    ids.push_back(airport);
    ordered.push_back(inOrder ? 1 : 0);
    ranges.push_back(Range{});
    room.push_back(0);
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
    const std::size_t begin = ranges[from].begin, end = begin + ranges[from].size;
    for (std::size_t e = begin; e != end; ++e)
        if (pool[e].to == to) return e;
    return kNone;
}

int SearchNetwork::flightOf(std::uint32_t from, std::uint32_t to) const { return poolInfo[findEdge(from, to)].flight; }

void SearchNetwork::eraseEdge(std::uint32_t from, std::size_t edge) noexcept {
    Range& range = ranges[from];
    const std::size_t last = range.begin + range.size - 1;
    pool[edge] = pool[last];
    poolInfo[edge] = poolInfo[last];
    --range.size;
}

void SearchNetwork::addFlight(int flight, int days, int from, int to) {
    std::uint32_t u, v;
    if (!findSlot(from, u) || !findSlot(to, v)) return;
    const QueueKind kindBefore = queueKind();
    const std::uint32_t bucketsBefore = bucketCount();
    const std::size_t e = findEdge(u, v);
    if (e != kNone) {
        ++poolInfo[e].flights;
        if (days < pool[e].days || (days == pool[e].days && flight < poolInfo[e].flight)) {
            pool[e].days = days;
            poolInfo[e].flight = flight;
        }
    } else {
        Range& range = ranges[u];
        if (range.size == room[u]) {
            // Move the range to the end of the pool with twice the room. The
            // pool grows geometrically, so this costs the degree, amortised.
            const std::uint32_t twice = std::max<std::uint32_t>(2, room[u] * 2);
            const std::size_t needed = pool.size() + twice;
            if (needed > pool.capacity()) pool.reserve(std::max(needed, pool.capacity() * 2));
            if (needed > poolInfo.capacity()) poolInfo.reserve(pool.capacity());
            const std::uint32_t begin = static_cast<std::uint32_t>(pool.size());
            pool.resize(needed);  // no allocation: reserved above
            poolInfo.resize(needed);
            std::copy(pool.begin() + range.begin, pool.begin() + range.begin + range.size, pool.begin() + begin);
            std::copy(poolInfo.begin() + range.begin, poolInfo.begin() + range.begin + range.size,
                      poolInfo.begin() + begin);
            wastedEdges += room[u];
            range.begin = begin;
            room[u] = twice;
        }
        pool[range.begin + range.size] = Edge{v, days};
        poolInfo[range.begin + range.size] = EdgeInfo{flight, 1};
        ++range.size;
    }
    countDays(days, +1);
    noteLayout(kindBefore, bucketsBefore);
}

void SearchNetwork::removeFlight(int flight, int days, int from, int to, IDataAccess& store) noexcept {
    std::uint32_t u, v;
    if (!findSlot(from, u) || !findSlot(to, v)) return;
    const QueueKind kindBefore = queueKind();
    const std::uint32_t bucketsBefore = bucketCount();
    countDays(days, -1);
    const std::size_t e = findEdge(u, v);
    if (e == kNone) {
        noteLayout(kindBefore, bucketsBefore);
        return;
    }
    const std::map<int, TFlightLink>* departureTable = nullptr;
    if (--poolInfo[e].flights == 0) {
        eraseEdge(u, e);  // the last flight that way
    } else if (poolInfo[e].flight == flight && (departureTable = store.getFlights(from)) != nullptr) {
        // The edge's flight has gone and others are left: the best of them
        // takes over.
        bool found = false;
        int bestDays = 0, bestFlight = 0;
        for (const auto& entry : *departureTable) {
            const TFlightLink& link = entry.second;
            if (link.from != from || link.to != to) continue;
            if (!found || link.days < bestDays) {
                bestDays = link.days;
                bestFlight = entry.first;
                found = true;
            }
        }
        if (found) {
            pool[e].days = bestDays;
            poolInfo[e].flight = bestFlight;
        } else {
            eraseEdge(u, e);
        }
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

}  // namespace FitingFlight
