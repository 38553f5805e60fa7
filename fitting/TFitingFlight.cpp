#include "fitting/TFitingFlight.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace FitingFlight {

namespace {

// Heap order: smaller total first, then smaller airport (dense indices follow
// ascending airport number, so this is the smaller airport number).
inline bool before(std::int64_t dayA, int a, std::int64_t dayB, int b) {
    return dayA < dayB || (dayA == dayB && a < b);
}

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
    std::size_t departing = 0;
    for (const auto& entry : airports) {
        for (const auto& flight : *entry.second.pAirport->getFlights())
            if (flight.second.from == entry.first) ++departing;
    }
    fresh.first.reserve(airports.size() + 1);
    fresh.edges.reserve(departing);
    for (const auto& entry : airports) {
        fresh.first.push_back(static_cast<std::uint32_t>(fresh.edges.size()));
        for (const auto& flight : *entry.second.pAirport->getFlights()) {
            const TFlightLink& link = flight.second;
            // The table holds arriving flights too; only departing ones lead on.
            if (link.from != entry.first) continue;
            auto to = std::lower_bound(fresh.ids.begin(), fresh.ids.end(), link.to);
            if (to == fresh.ids.end() || *to != link.to) continue;
            fresh.edges.push_back(Edge{static_cast<int>(to - fresh.ids.begin()), link.days, flight.first});
            if (link.days < 0) fresh.negativeDays = true;
        }
    }
    fresh.first.push_back(static_cast<std::uint32_t>(fresh.edges.size()));
    fresh.revision = revision;
    fresh.valid = true;

    searchValid = false;
    net = std::move(fresh);
}

void TFitingFlight::push(std::int64_t day, int airport) {
    std::size_t i = queue.size();
    queue.push_back(QueueEntry{day, airport});
    while (i > 0) {
        std::size_t parent = (i - 1) / 4;
        if (!before(day, airport, queue[parent].day, queue[parent].airport)) break;
        queue[i] = queue[parent];
        i = parent;
    }
    queue[i] = QueueEntry{day, airport};
}

void TFitingFlight::popTop() {
    QueueEntry last = queue.back();
    queue.pop_back();
    const std::size_t n = queue.size();
    if (n == 0) return;
    std::size_t i = 0;
    for (;;) {
        std::size_t child = 4 * i + 1;
        if (child >= n) break;
        std::size_t best = child;
        const std::size_t end = std::min(child + 4, n);
        for (std::size_t c = child + 1; c < end; ++c)
            if (before(queue[c].day, queue[c].airport, queue[best].day, queue[best].airport)) best = c;
        if (!before(queue[best].day, queue[best].airport, last.day, last.airport)) break;
        queue[i] = queue[best];
        i = best;
    }
    queue[i] = last;
}

void TFitingFlight::startSearch(int from) {
    const std::size_t n = net.ids.size();
    if (mark.size() != n) {
        mark.assign(n, 0);
        est_Way.resize(n);
        base = 0;
    }
    if (base >= std::numeric_limits<std::uint32_t>::max() - 2) {
        std::fill(mark.begin(), mark.end(), 0);
        base = 0;
    }
    base += 2;
    queue.clear();
    source = from;
    included = 0;
    searchEnded = false;
    mark[from] = base;
    est_Way[from] = day_link{0, net.ids[from], -1};
    push(0, from);
}

void TFitingFlight::relax(int u) {
    const std::int64_t du = est_Way[u].day;
    const int uNumber = net.ids[u];
    const Edge* e = net.edges.data() + net.first[u];
    const Edge* end = net.edges.data() + net.first[u + 1];
    for (; e != end; ++e) {
        const std::int64_t cand = du + e->days;
        const int v = e->to;
        if (mark[v] < base) {
            mark[v] = base;
            est_Way[v] = day_link{cand, uNumber, e->flight};
            push(cand, v);
        } else if (cand < est_Way[v].day) {
            est_Way[v] = day_link{cand, uNumber, e->flight};
            // An included airport keeps its improved total but is not chosen again.
            if (mark[v] == base) push(cand, v);
        }
    }
}

void TFitingFlight::advanceSearch(int target) {
    const std::size_t n = net.ids.size();
    const bool stopEarly = !net.negativeDays;
    while (!queue.empty()) {
        if (stopEarly && mark[target] == base + 1) return;
        const QueueEntry top = queue.front();
        // Entries left behind by a later improvement, or for an airport
        // already included, are skipped.
        if (mark[top.airport] != base || est_Way[top.airport].day != top.day) {
            popTop();
            continue;
        }
        // The N-th airport chosen is never relaxed.
        if (included + 1 >= n) break;
        popTop();
        mark[top.airport] = base + 1;
        ++included;
        relax(top.airport);
    }
    searchEnded = true;
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
    const int fi = indexOf(from);
    const int ti = indexOf(to);
    if (!searchValid || source != fi) {
        searchValid = false;
        startSearch(fi);
    }
    if (!searchEnded) {
        // A failed allocation inside leaves the search unusable: the next
        // call starts it again.
        searchValid = false;
        advanceSearch(ti);
    }
    searchValid = true;

    if (mark[ti] < base) return maxDays < -1 ? -3 : -4;
    if (est_Way[ti].day > maxDays) return -3;

    std::list<TTicket> tickets;
    const std::size_t n = net.ids.size();
    std::size_t legs = 0;
    for (int N_A = ti; N_A != fi;) {
        if (mark[N_A] < base || ++legs > n) return -4;
        const day_link& link = est_Way[N_A];
        tickets.push_back(TTicket{net.ids[N_A], link.flight});
        tickets.push_back(TTicket{link.prev_airport, link.flight});
        N_A = indexOf(link.prev_airport);
    }
    route->swap(tickets);
    return 0;
}

}  // namespace FitingFlight
