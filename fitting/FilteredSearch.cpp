// The route search with a flight filter: the same rules as the plain search
// in TFitingFlight.cpp, over the flights the filter keeps.
//
// The network copy holds one edge per pair of airports, the flight a search
// would take among all of them. When the filter keeps that flight it is
// also the one taken among the kept ones; when it leaves it out and other
// flights join the same pair, the filter names the best one it keeps.
// Airports for which the filter keeps every flight cost one question each.

#include <limits>
#include <thread>

#include "fitting/TFitingFlight.h"

namespace FitingFlight {

template <class Queue>
void TFitingFlight::advanceFiltered(SearchState& s, Queue& queue, std::uint32_t target, IFlightFilter& filter) {
    auto&& q = queue.cursor();
    const bool stopEarly = !net.negativeDays();
    const std::size_t n = net.liveCount();
    Label* const labels = s.labels.data();
    const std::uint32_t reached = s.base;
    std::uint32_t u;
    while (!(stopEarly && labels[target].mark == reached + 1) && q.take(labels, reached, u)) {
        if (s.included + 1 >= n) break;
        const std::int64_t du = labels[u].day;
        labels[u].mark = reached + 1;
        ++s.included;
        const bool filtered = filter.departFrom(net.idOf(u));
        for (const Edge* e = net.edgesBegin(u), *end = net.edgesEnd(u); e != end; ++e) {
            int days = e->days;
            if (filtered && filter.excludes(net.flightOfEdge(e))) {
                int flight;
                if (net.flightsOfEdge(e) == 1 || !filter.bestKept(net.idOf(e->to), flight, days)) continue;
            }
            const std::int64_t cand = du + days;
            Label& l = labels[e->to];
            if (l.mark < reached) {
                l = Label{cand, reached, u};
                q.push(e->to, cand);
            } else if (cand < l.day) {
                const std::int64_t old = l.day;
                l.day = cand;
                l.prev = u;
                if (l.mark == reached) q.decrease(e->to, old, cand);
            }
        }
    }
    q.finish();
}

int TFitingFlight::searchFiltered(SearchState& s, int maxDays, std::uint32_t fi, std::uint32_t ti,
                                  std::list<TTicket>* route, IFlightFilter& filter) {
    startSearch(s, fi);
    switch (s.kind) {
        case QueueKind::Buckets: advanceFiltered(s, s.buckets, ti, filter); break;
        case QueueKind::PackedHeap: advanceFiltered(s, s.packedHeap, ti, filter); break;
        case QueueKind::WideHeap: advanceFiltered(s, s.wideHeap, ti, filter); break;
    }
    const Label& arrival = s.labels[ti];
    if (arrival.mark < s.base) return maxDays < -1 ? -3 : -4;
    if (arrival.day > maxDays) return -3;

    std::list<TTicket> tickets;
    const std::size_t n = net.liveCount();
    std::size_t legs = 0;
    for (std::uint32_t at = ti; at != fi;) {
        if (s.labels[at].mark < s.base || ++legs > n) return -4;
        const std::uint32_t prev = s.labels[at].prev;
        const int here = net.idOf(at), there = net.idOf(prev);
        int flight = net.flightOf(prev, at), days = 0;
        // The leg was relaxed, so the filter keeps one of its flights.
        if (filter.departFrom(there) && filter.excludes(flight)) filter.bestKept(here, flight, days);
        tickets.push_back(pinnedTicket(here, flight, there, here));
        tickets.push_back(pinnedTicket(there, flight, there, here));
        at = prev;
    }
    route->swap(tickets);
    return 0;
}

int TFitingFlight::fitRoute(int maxDays, int from, int to, std::list<TTicket>* route, IFlightFilter& filter) {
    if (!airportExists(from)) {
        route->clear();
        return -1;
    }
    if (!airportExists(to)) {
        route->clear();
        return -2;
    }
    ensureBuilt();
    std::uint32_t fi = 0, ti = 0;
    net.findSlot(from, fi);
    net.findSlot(to, ti);
    // No stopped search is taken up, and none is left behind: the state is
    // marked unusable whatever happens.
    std::unique_ptr<SearchState> state = acquire(std::numeric_limits<std::uint32_t>::max());
    state->user = std::this_thread::get_id();
    int result;
    try {
        result = searchFiltered(*state, maxDays, fi, ti, route, filter);
    } catch (...) {
        state->valid = false;
        release(std::move(state));
        throw;
    }
    state->valid = false;
    release(std::move(state));
    if (result != 0) route->clear();
    return result;
}

}  // namespace FitingFlight
