#include "fitting/TFitingFlight.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace FitingFlight {

namespace {

constexpr std::uint32_t kNoEdge = std::numeric_limits<std::uint32_t>::max();
constexpr int kMaxBucketCount = 256;

}  // namespace

TFitingFlight::TFitingFlight(IDataAccess* data) : data(data) {}

TFitingFlight::~TFitingFlight() { data = nullptr; }

bool TFitingFlight::airportExists(int airport) {
    std::map<int, TAirportLink>* airports = data->getAirports();
    auto fe = airports->find(airport);
    return fe != airports->end();
}

int TFitingFlight::indexOf(int airport) const {
    auto it = std::lower_bound(net.ids.begin(), net.ids.end(), airport);
    return static_cast<int>(it - net.ids.begin());
}

void TFitingFlight::refreshNetwork() {
    const std::uint64_t revision = data->getRevision();
    if (net.valid && net.revision == revision) return;

    // Built aside and moved in, so a failed allocation leaves no half network.
    Network fresh;
    const std::map<int, TAirportLink>& airports = *data->getAirports();
    fresh.ids.reserve(airports.size());
    for (const auto& entry : airports) fresh.ids.push_back(entry.first);
    // Every flight is held at both of its airports, departing at one of them.
    std::size_t entries = 0;
    for (const auto& entry : airports) entries += entry.second.pAirport->getFlights()->size();
    const std::size_t departing = entries / 2;
    fresh.first.reserve(airports.size() + 1);
    fresh.edges.reserve(departing);
    fresh.flight.reserve(departing);
    fresh.source.reserve(departing);

    struct Candidate {
        std::uint32_t to;
        int days;
        int flight;
    };
    std::vector<Candidate> out;
    int largest = 0;
    std::uint32_t index = 0;
    for (const auto& entry : airports) {
        fresh.first.push_back(static_cast<std::uint32_t>(fresh.edges.size()));
        out.clear();
        // The table holds arriving flights too; only departing ones lead on.
        // It is in ascending flight number, which the stable sort keeps among
        // flights to the same airport with the same days.
        for (const auto& flight : *entry.second.pAirport->getFlights()) {
            const TFlightLink& link = flight.second;
            if (link.from != entry.first) continue;
            auto to = std::lower_bound(fresh.ids.begin(), fresh.ids.end(), link.to);
            if (to == fresh.ids.end() || *to != link.to) continue;
            out.push_back(Candidate{static_cast<std::uint32_t>(to - fresh.ids.begin()), link.days, flight.first});
            if (link.days < 0) fresh.negativeDays = true;
            largest = std::max(largest, link.days);
        }
        std::stable_sort(out.begin(), out.end(), [](const Candidate& a, const Candidate& b) {
            return a.to < b.to || (a.to == b.to && a.days < b.days);
        });
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (i > 0 && out[i].to == out[i - 1].to) continue;  // a parallel flight that never wins
            fresh.edges.push_back(Edge{out[i].to, out[i].days});
            fresh.flight.push_back(out[i].flight);
            fresh.source.push_back(index);
        }
        ++index;
    }
    fresh.first.push_back(static_cast<std::uint32_t>(fresh.edges.size()));
    const std::uint64_t bound =
        static_cast<std::uint64_t>(fresh.ids.size()) * static_cast<std::uint64_t>(largest);
    fresh.packedKeys = !fresh.negativeDays && bound < (std::uint64_t{1} << 32) &&
                       fresh.ids.size() < std::numeric_limits<std::uint32_t>::max();
    // Small day counts (airline networks count a few days per flight) keep
    // the bitmaps small: bucketCount rows of N bits.
    fresh.bucketed = !fresh.negativeDays && largest < kMaxBucketCount;
    while (fresh.bucketCount <= static_cast<std::uint32_t>(std::max(largest, 0))) fresh.bucketCount *= 2;
    fresh.revision = revision;
    fresh.valid = true;

    searchValid = false;
    net = std::move(fresh);
}

template <class Entry>
void TFitingFlight::Heap<Entry>::push(Entry e) {
    std::size_t i = items.size();
    items.push_back(e);
    while (i > 0) {
        std::size_t parent = (i - 1) / 4;
        if (!(e < items[parent])) break;
        items[i] = items[parent];
        i = parent;
    }
    items[i] = e;
}

template <class Entry>
void TFitingFlight::Heap<Entry>::pop() {
    const Entry last = items.back();
    items.pop_back();
    const std::size_t n = items.size();
    if (n == 0) return;
    std::size_t i = 0;
    for (;;) {
        std::size_t child = 4 * i + 1;
        if (child >= n) break;
        std::size_t best = child;
        const std::size_t end = std::min(child + 4, n);
        for (std::size_t c = child + 1; c < end; ++c)
            if (items[c] < items[best]) best = c;
        if (!(items[best] < last)) break;
        items[i] = items[best];
        i = best;
    }
    items[i] = last;
}

void TFitingFlight::startSearch(std::uint32_t from) {
    const std::size_t n = net.ids.size();
    if (labels.size() != n) {
        labels.assign(n, Label{0, 0, kNoEdge});
        base = 0;
    }
    if (base >= std::numeric_limits<std::uint32_t>::max() - 2) {
        for (Label& l : labels) l.mark = 0;
        base = 0;
    }
    base += 2;
    packedHeap.items.clear();
    wideHeap.items.clear();
    sourceIndex = from;
    included = 0;
    searchEnded = false;
    labels[from] = Label{0, base, kNoEdge};
    if (net.bucketed) {
        const std::size_t words = (n + 63) / 64;
        if (bucketWords != words || bucketSize.size() != net.bucketCount) {
            bucketWords = 0;
            bucketBits.assign(words * net.bucketCount, 0);
            bucketSize.assign(net.bucketCount, 0);
            bucketWords = words;
        } else {
            // Only rows that still hold airports of the last search need clearing.
            for (std::size_t b = 0; b < bucketSize.size(); ++b) {
                if (bucketSize[b] == 0) continue;
                std::fill_n(bucketBits.begin() + b * words, words, 0);
                bucketSize[b] = 0;
            }
        }
        bucketsQueued = 0;
        bucketDay = 0;
        bucketCursor = 0;
        enqueue(from, 0);
    } else if (net.packedKeys)
        packedHeap.push(PackedEntry::make(0, from));
    else
        wideHeap.push(WideEntry::make(0, from));
}

// A new total replaces only a strictly larger one; an included airport keeps
// an improved total but is not queued again (only negative day counts can
// improve one).
template <class OnReached, class OnImproved>
inline void TFitingFlight::relax(std::uint32_t u, OnReached&& reachedFirst, OnImproved&& improved) {
    Label* const label = labels.data();
    const Edge* const edges = net.edges.data();
    const std::uint32_t reached = base;
    const std::int64_t du = label[u].day;
    const std::uint32_t end = net.first[u + 1];
    for (std::uint32_t e = net.first[u]; e != end; ++e) {
        const std::int64_t cand = du + edges[e].days;
        const std::uint32_t v = edges[e].to;
        Label& l = label[v];
        if (l.mark < reached) {
            l = Label{cand, reached, e};
            reachedFirst(v, cand);
        } else if (cand < l.day) {
            const std::int64_t oldDay = l.day;
            l.day = cand;
            l.via = e;
            if (l.mark == reached) improved(v, oldDay, cand);
        }
    }
}

template <class Entry>
void TFitingFlight::advanceSearch(Heap<Entry>& heap, std::uint32_t target) {
    const std::size_t n = net.ids.size();
    const bool stopEarly = !net.negativeDays;
    const Label* const label = labels.data();
    const std::uint32_t reached = base;
    while (!heap.items.empty()) {
        if (stopEarly && label[target].mark == reached + 1) return;
        const Entry top = heap.items.front();
        const std::uint32_t u = top.airport();
        // Entries left behind by a later improvement, or for an airport
        // already included, are skipped.
        if (label[u].mark != reached || label[u].day != top.day()) {
            heap.pop();
            continue;
        }
        // The N-th airport chosen is never relaxed.
        if (included + 1 >= n) break;
        heap.pop();
        labels[u].mark = reached + 1;
        ++included;

        relax(u, [&](std::uint32_t v, std::int64_t day) { heap.push(Entry::make(day, v)); },
              [&](std::uint32_t v, std::int64_t, std::int64_t day) { heap.push(Entry::make(day, v)); });
    }
    searchEnded = true;
}

void TFitingFlight::enqueue(std::uint32_t airport, std::int64_t day) {
    const std::size_t row = static_cast<std::size_t>(static_cast<std::uint64_t>(day) & (net.bucketCount - 1));
    const std::size_t word = airport >> 6;
    bucketBits[row * bucketWords + word] |= std::uint64_t{1} << (airport & 63);
    ++bucketSize[row];
    ++bucketsQueued;
    // A zero-day flight can queue an airport with a smaller number at the
    // total being taken.
    if (day == bucketDay && word < bucketCursor) bucketCursor = word;
}

void TFitingFlight::dequeue(std::uint32_t airport, std::int64_t day) {
    const std::size_t row = static_cast<std::size_t>(static_cast<std::uint64_t>(day) & (net.bucketCount - 1));
    bucketBits[row * bucketWords + (airport >> 6)] &= ~(std::uint64_t{1} << (airport & 63));
    --bucketSize[row];
    --bucketsQueued;
}

// Every queued total lies in [bucketDay, bucketDay + largest day count], and
// bucketCount exceeds the largest day count, so totals modulo bucketCount
// never share a row. Day counts are >= 0 here, so an included airport is
// never improved and each airport is queued at most once.
void TFitingFlight::advanceBuckets(std::uint32_t target) {
    const std::size_t n = net.ids.size();
    const Label* const label = labels.data();
    const std::uint32_t reached = base;
    const std::uint64_t rowMask = net.bucketCount - 1;
    while (bucketsQueued > 0) {
        if (label[target].mark == reached + 1) return;
        const std::size_t row = static_cast<std::size_t>(static_cast<std::uint64_t>(bucketDay) & rowMask);
        if (bucketSize[row] == 0) {
            ++bucketDay;
            bucketCursor = 0;
            continue;
        }
        std::uint64_t* const bits = bucketBits.data() + row * bucketWords;
        while (bits[bucketCursor] == 0) ++bucketCursor;
        const std::uint32_t u =
            static_cast<std::uint32_t>(bucketCursor * 64 + static_cast<std::size_t>(__builtin_ctzll(bits[bucketCursor])));
        // The N-th airport chosen is never relaxed.
        if (included + 1 >= n) break;
        bits[bucketCursor] &= bits[bucketCursor] - 1;
        --bucketSize[row];
        --bucketsQueued;
        labels[u].mark = reached + 1;
        ++included;

        relax(u, [&](std::uint32_t v, std::int64_t day) { enqueue(v, day); },
              [&](std::uint32_t v, std::int64_t oldDay, std::int64_t day) {
                  dequeue(v, oldDay);
                  enqueue(v, day);
              });
    }
    searchEnded = true;
}

day_link TFitingFlight::linkOf(std::uint32_t airport) const {
    const Label& l = labels[airport];
    return day_link{l.day, net.ids[net.source[l.via]], net.flight[l.via]};
}

int TFitingFlight::fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) {
    // The list is replaced only once the outcome is known, so an allocation
    // failure anywhere below leaves it as it was.
    const int result = search(maxDays, from, to, route);
    if (result != 0) route->clear();
    return result;
}

int TFitingFlight::search(int maxDays, int from, int to, std::list<TTicket>* route) {
    if (!airportExists(from)) return -1;
    if (!airportExists(to)) return -2;

    refreshNetwork();
    const std::uint32_t fi = static_cast<std::uint32_t>(indexOf(from));
    const std::uint32_t ti = static_cast<std::uint32_t>(indexOf(to));
    if (!searchValid || sourceIndex != fi) {
        searchValid = false;
        startSearch(fi);
    }
    if (!searchEnded) {
        // A failed allocation inside leaves the search unusable: the next
        // call starts it again.
        searchValid = false;
        if (net.bucketed)
            advanceBuckets(ti);
        else if (net.packedKeys)
            advanceSearch(packedHeap, ti);
        else
            advanceSearch(wideHeap, ti);
    }
    searchValid = true;

    if (labels[ti].mark < base) return maxDays < -1 ? -3 : -4;
    if (labels[ti].day > maxDays) return -3;

    std::list<TTicket> tickets;
    const std::size_t n = net.ids.size();
    std::size_t legs = 0;
    for (std::uint32_t N_A = ti; N_A != fi;) {
        if (labels[N_A].mark < base || ++legs > n) return -4;
        const day_link link = linkOf(N_A);
        tickets.push_back(TTicket{net.ids[N_A], link.flight});
        tickets.push_back(TTicket{link.prev_airport, link.flight});
        N_A = net.source[labels[N_A].via];
    }
    route->swap(tickets);
    return 0;
}

}  // namespace FitingFlight
