#include "choices/ChoiceNetwork.h"

#include <algorithm>
#include <map>

#include "store/TAirportLink.h"
#include "store/TFlightLink.h"

namespace Choices {

namespace {

// Takes the first element that `matches` out of `v`, the last one moving to
// its place.
template <class T, class F>
void eraseFirst(std::vector<T>& v, F&& matches) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if (matches(v[i])) {
            v[i] = v.back();
            v.pop_back();
            return;
        }
}

void eraseValue(std::vector<std::uint32_t>& v, std::uint32_t value) {
    eraseFirst(v, [&](std::uint32_t x) { return x == value; });
}

}  // namespace

void Index::countDays(int days, int delta) {
    if (days < 0) negatives += static_cast<std::size_t>(delta);
    if (days == 0) zeros += static_cast<std::size_t>(delta);
    if (days >= static_cast<int>(kDialClasses)) longOnes += static_cast<std::size_t>(delta);
}

bool Index::addAirport(int airport) {
    if (anyAirport && airport <= largest) return false;
    ids.push_back(airport);
    out.emplace_back();
    in.emplace_back();
    inPairs.emplace_back();
    bestRange.emplace_back();
    slots.emplace(airport, n);
    ++n;
    anyAirport = true;
    largest = airport;
    return true;
}

void Index::removeAirport(std::uint32_t slot) {
    while (!out[slot].empty()) removeArc(arcs[out[slot].back()].flight, slot);
    while (!in[slot].empty()) {
        const ArcData& a = arcs[in[slot].back().arc];
        removeArc(a.flight, a.from);
    }
    slots.erase(ids[slot]);
    ++dead;
}

void Index::setFree(std::uint32_t id, int free) {
    ArcData& a = arcs[id];
    a.free = free;
    const Range& r = bestRange[a.from];
    for (std::uint32_t i = r.begin; i < r.begin + r.size; ++i)
        if (best[i].to == a.to) {
            if (bestFlight[i].arc == id) bestFree[i] = free;
            if (bestFlight[i].second == id) bestFlight[i].secondFree = free;
            return;
        }
}

void Index::appendBest(std::uint32_t slot, const Best& b, int free, const BestFlight& f) {
    Range& r = bestRange[slot];
    if (r.size == r.room) {
        const std::uint32_t room = std::max<std::uint32_t>(4, 2 * r.room);
        const std::size_t at = best.size();
        best.resize(at + room);
        bestFree.resize(at + room);
        bestFlight.resize(at + room);
        std::copy_n(best.begin() + r.begin, r.size, best.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy_n(bestFree.begin() + r.begin, r.size, bestFree.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy_n(bestFlight.begin() + r.begin, r.size, bestFlight.begin() + static_cast<std::ptrdiff_t>(at));
        wasted += r.room;
        r.begin = static_cast<std::uint32_t>(at);
        r.room = room;
    }
    best[r.begin + r.size] = b;
    bestFree[r.begin + r.size] = free;
    bestFlight[r.begin + r.size] = f;
    ++r.size;
    if (wasted > best.size() / 2 + 4096) pack();
}

void Index::eraseBest(std::uint32_t slot, std::uint32_t i) {
    Range& r = bestRange[slot];
    const std::uint32_t last = r.begin + r.size - 1;
    best[i] = best[last];
    bestFree[i] = bestFree[last];
    bestFlight[i] = bestFlight[last];
    --r.size;
}

void Index::pack() {
    std::size_t total = 0;
    for (const Range& r : bestRange) total += r.size;
    std::vector<Best> packed(total);
    std::vector<int> packedFree(total);
    std::vector<BestFlight> packedFlights(total);
    std::uint32_t at = 0;
    for (Range& r : bestRange) {
        std::copy_n(best.begin() + r.begin, r.size, packed.begin() + at);
        std::copy_n(bestFree.begin() + r.begin, r.size, packedFree.begin() + at);
        std::copy_n(bestFlight.begin() + r.begin, r.size, packedFlights.begin() + at);
        r.begin = at;
        r.room = r.size;
        at += r.size;
    }
    best.swap(packed);
    bestFree.swap(packedFree);
    bestFlight.swap(packedFlights);
    wasted = 0;
}

std::uint32_t Index::arcOf(int flight, std::uint32_t from) const {
    auto it = byFlight.find(flight);
    if (it == byFlight.end()) return kNone;
    for (std::uint32_t id : it->second)
        if (arcs[id].from == from) return id;
    return kNone;
}

void Index::addArc(int flight, int days, std::uint32_t from, std::uint32_t to, int free) {
    std::uint32_t id;
    if (!unused.empty()) {
        id = unused.back();
        unused.pop_back();
        arcs[id] = ArcData{from, to, days, flight, free, kNone};
        numbers[id] = flight;
    } else {
        id = static_cast<std::uint32_t>(arcs.size());
        arcs.push_back(ArcData{from, to, days, flight, free, kNone});
        try {
            numbers.push_back(flight);
        } catch (...) {
            arcs.pop_back();
            throw;
        }
    }
    out[from].push_back(id);
    in[to].push_back(Into{from, days, id});
    byFlight[flight].push_back(id);
    countDays(days, 1);
    const Range& r = bestRange[from];
    for (std::uint32_t i = r.begin; i < r.begin + r.size; ++i)
        if (best[i].to == to) {
            BestFlight& bf = bestFlight[i];
            ++bf.count;
            arcs[id].sibling = bf.first;
            bf.first = id;
            const ArcData& cur = arcs[bf.arc];
            if (days < cur.days || (days == cur.days && flight < cur.flight)) {
                bf.arc = id;
                if (days != best[i].days) setPairDays(from, to, days);
                best[i].days = days;
                bestFree[i] = free;
            }
            findSecond(bf);
            return;
        }
    inPairs[to].push_back(From{from, days});
    appendBest(from, Best{to, days}, free, BestFlight{id, id, 1, kNone, 0, 0});
}

void Index::findSecond(BestFlight& b) {
    b.second = kNone;
    for (std::uint32_t at = b.first; at != kNone; at = arcs[at].sibling) {
        if (at == b.arc) continue;
        const ArcData& a = arcs[at];
        if (b.second == kNone || a.days < arcs[b.second].days ||
            (a.days == arcs[b.second].days && a.flight < arcs[b.second].flight))
            b.second = at;
    }
    if (b.second != kNone) {
        b.secondDays = arcs[b.second].days;
        b.secondFree = arcs[b.second].free;
    }
}

void Index::setPairDays(std::uint32_t from, std::uint32_t to, int days) {
    for (From& f : inPairs[to])
        if (f.from == from) {
            f.days = days;
            return;
        }
}

void Index::removeArc(int flight, std::uint32_t from) {
    const std::uint32_t id = arcOf(flight, from);
    if (id == kNone) return;
    const ArcData gone = arcs[id];
    eraseValue(out[from], id);
    eraseFirst(in[gone.to], [&](const Into& x) { return x.arc == id; });
    auto listed = byFlight.find(flight);
    eraseValue(listed->second, id);
    if (listed->second.empty()) byFlight.erase(listed);
    countDays(gone.days, -1);
    arcs[id].from = kNone;
    unused.push_back(id);
    const Range& r = bestRange[from];
    for (std::uint32_t i = r.begin; i < r.begin + r.size; ++i) {
        if (best[i].to != gone.to) continue;
        BestFlight& b = bestFlight[i];
        --b.count;
        // Out of the pair's chain; the last one takes the entry with it.
        if (b.first == id) {
            b.first = gone.sibling;
        } else {
            std::uint32_t at = b.first;
            while (arcs[at].sibling != id) at = arcs[at].sibling;
            arcs[at].sibling = gone.sibling;
        }
        if (b.first == kNone) {
            eraseBest(from, i);
            eraseFirst(inPairs[gone.to], [&](const From& x) { return x.from == from; });
        } else if (b.arc == id) {
            // The best of the pair's flights left.
            std::uint32_t next = b.first;
            for (std::uint32_t at = arcs[next].sibling; at != kNone; at = arcs[at].sibling)
                if (arcs[at].days < arcs[next].days || (arcs[at].days == arcs[next].days && arcs[at].flight < arcs[next].flight))
                    next = at;
            b.arc = next;
            if (arcs[next].days != best[i].days) setPairDays(from, gone.to, arcs[next].days);
            best[i].days = arcs[next].days;
            bestFree[i] = arcs[next].free;
        }
        if (b.first != kNone) findSecond(b);
        return;
    }
}

std::shared_ptr<Index> buildIndex(IDataAccess& store, IFreeSeats* seats) {
    auto ix = std::make_shared<Index>();
    ix->revision = store.getRevision();
    const std::map<int, TAirportLink>& airports = *store.getAirports();
    ix->ids.reserve(airports.size());
    ix->slots.reserve(airports.size());
    for (const auto& a : airports) ix->addAirport(a.first);
    std::uint32_t s = 0;
    for (const auto& a : airports) {
        for (const auto& f : *a.second.pAirport->getFlights()) {
            if (f.second.from != a.first) continue;
            std::uint32_t to;
            if (!ix->slotOf(f.second.to, to)) continue;
            ix->addArc(f.first, f.second.days, s, to, kNoLimit);
        }
        ++s;
    }
    if (seats != nullptr)
        seats->eachLimited([&](int flight, int, int from, int, int free) {
            std::uint32_t slot;
            if (!ix->slotOf(from, slot)) return;
            const std::uint32_t id = ix->arcOf(flight, slot);
            if (id != kNone) ix->setFree(id, free);
        });
    ix->pack();
    return ix;
}

}  // namespace Choices
