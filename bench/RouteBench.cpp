// Times the library's route search (TArmoringTicket::getRouteFlight) against
// the literal search and Boost Graph Library's Dijkstra on a CSR graph with an
// early exit, on the OpenFlights network and on a synthetic network, and
// checks that every anchor finds the same total day count on every query.
//
// Output lines are tab-separated and tagged so that scripts/bench can put the
// C++ and the Java figures into one table:
//   ROW     case  median-us  mean-us  p99-us  note
//   TARGET  what  measured   goal     met|MISSED
//   INFO    text
//
// Usage: tavrik-route-bench [openflights-dir] [synthetic-queries]

#include <malloc.h>

#include <algorithm>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <list>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/OpenFlightsNetwork.h"
#include "flights/TManagementFlight.h"
#include "store/TDataAccess.h"
#include "tests/support/LiteralFitting.h"
#include "tickets/TArmoringTicket.h"

namespace {

using Clock = std::chrono::steady_clock;

double microsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Stats {
    double median = 0, mean = 0, p99 = 0;
};

Stats statsOf(std::vector<double> us) {
    Stats s;
    if (us.empty()) return s;
    std::sort(us.begin(), us.end());
    s.median = us.size() % 2 ? us[us.size() / 2] : (us[us.size() / 2 - 1] + us[us.size() / 2]) / 2;
    s.mean = std::accumulate(us.begin(), us.end(), 0.0) / us.size();
    s.p99 = us[std::min(us.size() - 1, static_cast<std::size_t>(std::ceil(0.99 * us.size())) - 1)];
    return s;
}

void row(const std::string& what, const Stats& s, const std::string& note) {
    std::printf("ROW\t%s\t%.2f\t%.2f\t%.2f\t%s\n", what.c_str(), s.median, s.mean, s.p99, note.c_str());
}

void rowValue(const std::string& what, const std::string& value, const std::string& note) {
    std::printf("ROW\t%s\t%s\t\t\t%s\n", what.c_str(), value.c_str(), note.c_str());
}

void target(const std::string& what, const std::string& measured, const std::string& goal, bool met) {
    std::printf("TARGET\t%s\t%s\t%s\t%s\n", what.c_str(), measured.c_str(), goal.c_str(), met ? "met" : "MISSED");
}

std::string fmt(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::size_t heapInUse() { return mallinfo2().uordblks; }

// The same pair generator as the Java benchmark (splitmix64), so both time
// the same queries: departures never repeat back to back, so that every
// query starts a fresh search.
struct SplitMix {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
};

std::vector<std::pair<int, int>> randomPairs(const std::vector<int>& airports, std::size_t count, std::uint64_t seed) {
    SplitMix rng{seed};
    std::vector<std::pair<int, int>> pairs;
    int lastFrom = INT_MIN;
    while (pairs.size() < count) {
        const int from = airports[rng.below(airports.size())];
        const int to = airports[rng.below(airports.size())];
        if (from == to || from == lastFrom) continue;
        pairs.emplace_back(from, to);
        lastFrom = from;
    }
    return pairs;
}

std::uint64_t pairsChecksum(const std::vector<std::pair<int, int>>& pairs) {
    std::uint64_t h = 1469598103934665603ull;
    for (const auto& p : pairs) {
        h = (h ^ static_cast<std::uint32_t>(p.first)) * 1099511628211ull;
        h = (h ^ static_cast<std::uint32_t>(p.second)) * 1099511628211ull;
    }
    return h;
}

// The network as flat lists, from which the store and the anchors are built.
struct FlatFlight {
    int number, days, from, to;
};

// Total days of the library's current route: the second ticket of each leg is
// the flight's entry at its departure airport.
std::int64_t routeTotal(IDataAccess& store, const std::list<TTicket>& route) {
    std::int64_t total = 0;
    bool departureEntry = false;
    for (const TTicket& t : route) {
        if (departureEntry) total += store.getFlights(t.airport)->at(t.flight).days;
        departureEntry = !departureEntry;
    }
    return total;
}

// ---- Boost Graph Library: Dijkstra on a CSR graph, stopped at the target ----

struct EdgeDays {
    int days;
};
using Csr = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, EdgeDays, boost::no_property,
                                               std::uint32_t, std::uint32_t>;
using CsrVertex = boost::graph_traits<Csr>::vertex_descriptor;

struct TargetExamined {};

struct StopAtTarget : boost::default_dijkstra_visitor {
    CsrVertex target;
    explicit StopAtTarget(CsrVertex t) : target(t) {}
    void examine_vertex(CsrVertex u, const Csr&) const {
        if (u == target) throw TargetExamined{};
    }
};

class BglAnchor {
public:
    BglAnchor(const std::vector<int>& airportIds, const std::vector<FlatFlight>& flights) : ids(airportIds) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
        std::vector<EdgeDays> days;
        edges.reserve(flights.size());
        days.reserve(flights.size());
        for (const FlatFlight& f : flights) {
            edges.emplace_back(index(f.from), index(f.to));
            days.push_back(EdgeDays{f.days});
        }
        graph = Csr(boost::edges_are_unsorted_multi_pass, edges.begin(), edges.end(), days.begin(), ids.size());
        distance.resize(ids.size());
        predecessor.resize(ids.size());
    }

    // The smallest total from `from` to `to`, or -1 when unreachable.
    std::int64_t shortest(int from, int to) {
        const CsrVertex s = index(from), t = index(to);
        try {
            boost::dijkstra_shortest_paths(
                graph, s,
                boost::predecessor_map(boost::make_iterator_property_map(predecessor.data(),
                                                                         boost::get(boost::vertex_index, graph)))
                    .distance_map(boost::make_iterator_property_map(distance.data(),
                                                                    boost::get(boost::vertex_index, graph)))
                    .weight_map(boost::get(&EdgeDays::days, graph))
                    .visitor(StopAtTarget(t)));
        } catch (const TargetExamined&) {
        }
        return distance[t] == std::numeric_limits<std::int64_t>::max() ? -1 : distance[t];
    }

private:
    std::uint32_t index(int id) const {
        return static_cast<std::uint32_t>(std::lower_bound(ids.begin(), ids.end(), id) - ids.begin());
    }

    std::vector<int> ids;  // ascending
    Csr graph;
    std::vector<std::int64_t> distance;
    std::vector<CsrVertex> predecessor;
};

// ---- one network in the store plus its anchors ----

struct QueryTimes {
    std::vector<double> library, bgl;
    int mismatches = 0;
    int routes = 0;
};

QueryTimes timeQueries(ArmoringTicket::TArmoringTicket& booking, IDataAccess& store, BglAnchor& bgl,
                       const std::vector<std::pair<int, int>>& pairs) {
    QueryTimes q;
    // Warm-up: the first query builds the search's copy of the network; one
    // pass over the queries warms caches and the branch predictors.
    for (const auto& p : pairs) {
        booking.getRouteFlight(INT_MAX, p.first, p.second);
        bgl.shortest(p.first, p.second);
    }
    for (const auto& p : pairs) {
        const auto t0 = Clock::now();
        const int code = booking.getRouteFlight(INT_MAX, p.first, p.second);
        q.library.push_back(microsSince(t0));

        const auto t1 = Clock::now();
        const std::int64_t anchorTotal = bgl.shortest(p.first, p.second);
        q.bgl.push_back(microsSince(t1));

        const std::int64_t ours = code == 0 ? routeTotal(store, *booking.getTickets()) : -1;
        if (code != 0 && code != -8) ++q.mismatches;
        if (ours != anchorTotal) ++q.mismatches;
        if (code == 0) ++q.routes;
    }
    return q;
}

// Queries from one departure with nothing changed in between: the library
// resumes its last search (or only walks back when it has already ended).
void timeRepeated(ArmoringTicket::TArmoringTicket& booking, const std::vector<int>& airports) {
    SplitMix rng{99};
    std::vector<double> varied, same;
    for (int round = 0; round < 20; ++round) {
        const int from = airports[rng.below(airports.size())];
        booking.getRouteFlight(INT_MAX, from, airports[rng.below(airports.size())]);  // starts the search
        for (int i = 0; i < 100; ++i) {
            const int to = airports[rng.below(airports.size())];
            const auto t0 = Clock::now();
            booking.getRouteFlight(INT_MAX, from, to);
            varied.push_back(microsSince(t0));
        }
        const int to = airports[rng.below(airports.size())];
        for (int i = 0; i < 100; ++i) {
            const auto t0 = Clock::now();
            booking.getRouteFlight(INT_MAX, from, to);
            same.push_back(microsSince(t0));
        }
    }
    const Stats v = statsOf(varied), s = statsOf(same);
    row("C++ OpenFlights: same departure, other arrivals (resumed)", v, "2,000 queries, 20 departures");
    row("C++ OpenFlights: same query repeated", s, "2,000 queries");
    target("repeated same-departure query, median", fmt("%.2f us", v.median), "<= 5 us", v.median <= 5.0);
}

void openFlights(const std::string& dir) {
    const openflights::Network data = openflights::read(dir);
    std::vector<int> ids;
    for (const auto& a : data.airports) ids.push_back(a.id);
    std::sort(ids.begin(), ids.end());
    std::vector<FlatFlight> flat;
    std::vector<int> served;
    for (const auto& f : data.flights) {
        flat.push_back(FlatFlight{f.number, f.days, f.from, f.to});
        served.push_back(f.from);
        served.push_back(f.to);
    }
    std::sort(served.begin(), served.end());
    served.erase(std::unique(served.begin(), served.end()), served.end());

    const std::size_t heapBefore = heapInUse();
    auto* store = new DataAccess::TDataAccess();
    ManagementFlight::TManagementFlight management(store);
    const auto loadStart = Clock::now();
    const int refused = openflights::enter(data, management);
    const double loadUs = microsSince(loadStart);
    const std::size_t heapStore = heapInUse();
    ArmoringTicket::TArmoringTicket booking(store);
    const auto indexStart = Clock::now();
    booking.getRouteFlight(INT_MAX, served[0], served[1]);
    const double indexUs = microsSince(indexStart);
    const std::size_t heapIndexed = heapInUse();

    std::printf("INFO\tOpenFlights: %zu airports (%zu with flights), %zu flights, %d refused\n", data.airports.size(),
                served.size(), data.flights.size(), refused);
    rowValue("C++ OpenFlights: load into the store", fmt("%.1f ms", loadUs / 1000), "addAirport/addFlight, all airports");
    rowValue("C++ OpenFlights: store memory per flight",
             fmt("%.0f B", double(heapStore - heapBefore) / data.flights.size()), "malloc'd bytes (mallinfo2)");
    rowValue("C++ OpenFlights: search copy build + first query", fmt("%.2f ms", indexUs / 1000),
             fmt("%.0f B per flight", double(heapIndexed - heapStore) / data.flights.size()));

    const auto pairs = randomPairs(served, 1000, 12345);
    std::printf("INFO\tOpenFlights pairs checksum %016llx\n", static_cast<unsigned long long>(pairsChecksum(pairs)));
    BglAnchor bgl(ids, flat);
    const QueryTimes q = timeQueries(booking, *store, bgl, pairs);
    const Stats lib = statsOf(q.library), anchor = statsOf(q.bgl);
    row("C++ OpenFlights: library getRouteFlight", lib,
        std::to_string(pairs.size()) + " pairs, " + std::to_string(q.routes) + " with a route");
    row("C++ OpenFlights: BGL CSR Dijkstra, early exit", anchor,
        fmt("library faster by %.2fx (median), ", anchor.median / lib.median) +
            fmt("%.2fx (mean)", anchor.mean / lib.mean));
    target("OpenFlights: library vs BGL CSR, median ratio", fmt("%.2fx", anchor.median / lib.median), ">= 2x",
           anchor.median / lib.median >= 2.0);
    target("OpenFlights: total-days mismatches vs BGL", std::to_string(q.mismatches), "0", q.mismatches == 0);

    // The literal search on a few of the same pairs: its lists must be the
    // library's exactly.
    {
        const oracle::Network net = oracle::snapshot(*store);
        const std::size_t sample = 5;
        std::vector<double> oracleUs, libUs;
        int differences = 0;
        for (std::size_t i = 0; i < sample; ++i) {
            const auto& p = pairs[i];
            std::list<TTicket> expected;
            const auto t0 = Clock::now();
            const int code = oracle::literalFitRoute(net, INT_MAX, p.first, p.second, expected);
            oracleUs.push_back(microsSince(t0));
            const auto t1 = Clock::now();
            const int ours = booking.getRouteFlight(INT_MAX, p.first, p.second);
            libUs.push_back(microsSince(t1));
            if ((code == 0 ? 0 : code - 4) != ours || expected != *booking.getTickets()) ++differences;
        }
        const Stats o = statsOf(oracleUs);
        row("C++ OpenFlights: literal search (oracle)", o,
            std::to_string(sample) + " pairs; library faster by " + fmt("%.0fx (mean)", o.mean / lib.mean));
        target("OpenFlights: code/list mismatches vs the literal search", std::to_string(differences), "0",
               differences == 0);
    }

    timeRepeated(booking, served);
    delete store;
}

void synthetic(std::size_t queries) {
    const int airports = 100000;
    const int flights = 1000000;
    std::mt19937_64 rng(4242);
    std::uniform_int_distribution<int> anyAirport(0, airports - 1);
    std::uniform_int_distribution<int> anyDays(1, 10);
    std::vector<int> ids(airports);
    for (int i = 0; i < airports; ++i) ids[i] = 3 * i - 1000;  // spread out, negatives included
    std::vector<FlatFlight> flat;
    flat.reserve(flights);
    for (int i = 0; i < flights; ++i) {
        int from = anyAirport(rng), to = anyAirport(rng);
        while (to == from) to = anyAirport(rng);
        flat.push_back(FlatFlight{i + 1, anyDays(rng), ids[from], ids[to]});
    }

    const std::size_t heapBefore = heapInUse();
    auto* store = new DataAccess::TDataAccess();
    const auto loadStart = Clock::now();
    for (int id : ids) store->addAirport(id, "S" + std::to_string(id));
    for (const FlatFlight& f : flat) store->addFlight("F", f.number, f.days, f.from, f.to);
    const double loadUs = microsSince(loadStart);
    const std::size_t heapStore = heapInUse();
    ArmoringTicket::TArmoringTicket booking(store);
    const auto indexStart = Clock::now();
    booking.getRouteFlight(INT_MAX, ids[0], ids[1]);
    const double indexUs = microsSince(indexStart);

    rowValue("C++ synthetic 100k/1M: load into the store", fmt("%.0f ms", loadUs / 1000),
             fmt("%.0f B per flight", double(heapStore - heapBefore) / flights));
    rowValue("C++ synthetic 100k/1M: search copy build + first query", fmt("%.1f ms", indexUs / 1000), "");

    const auto pairs = randomPairs(ids, queries, 777);
    BglAnchor bgl(ids, flat);
    const QueryTimes q = timeQueries(booking, *store, bgl, pairs);
    const Stats lib = statsOf(q.library), anchor = statsOf(q.bgl);
    row("C++ synthetic 100k/1M: library getRouteFlight", lib,
        std::to_string(pairs.size()) + " pairs, days 1..10, " + std::to_string(q.routes) + " with a route");
    row("C++ synthetic 100k/1M: BGL CSR Dijkstra, early exit", anchor,
        fmt("library faster by %.2fx (median), ", anchor.median / lib.median) +
            fmt("%.2fx (mean)", anchor.mean / lib.mean));
    target("synthetic: library vs BGL CSR, median ratio", fmt("%.2fx", anchor.median / lib.median), ">= 1.4x",
           anchor.median / lib.median >= 1.4);
    target("synthetic: total-days mismatches vs BGL", std::to_string(q.mismatches), "0", q.mismatches == 0);
    delete store;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : TAVRIK_OPENFLIGHTS_DIR;
    const std::size_t syntheticQueries = argc > 2 ? std::stoul(argv[2]) : 300;
    openFlights(dir);
    std::fflush(stdout);
    synthetic(syntheticQueries);
    return 0;
}
