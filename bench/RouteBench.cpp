// Times the library's route search (TArmoringTicket::getRouteFlight) against
// the literal search and Boost Graph Library's Dijkstra on a CSR graph with an
// early exit, on the OpenFlights network and on a synthetic network, and
// checks that every anchor finds the same total day count on every query.
//
// Google Benchmark runs the timed loops: each case is one benchmark that
// makes one call per repetition (a query, an edit), and its median, mean and
// 99th-percentile aggregates over the repetitions are the per-call figures.
// The call itself is timed with the steady clock and handed to the benchmark
// as manual time, so that the figure covers exactly the library call (not the
// edit before a query, nor the benchmark's own CPU-time reads, which cost more
// than the fastest calls). One-off figures (a load, the first query that
// builds the search's copy, memory) are single measurements.
//
// Output lines are tab-separated and tagged so that scripts/bench can put the
// C++ and the Java figures into one table:
//   ROW     case  median-us  mean-us  p99-us  note
//   TARGET  what  measured   goal     met|MISSED
//   INFO    text
//
// Besides the frozen networks it times the search right after edits (the
// synthetic network with one edit before each query), long chains of flights
// (1,000,000 and 2,000,000 legs, where a search walks the whole network) and
// edge shapes where a cost growing faster than the work would show: a star of
// 1,000,000 flights at one airport, 1,000 parallel flights removed one by one,
// and a network where half the flights take zero days.
//
// Last, cost shapes: five network shapes, each at two sizes 10x apart, where
// a cost growing with the network instead of with an operation's work would
// show as a ratio (star growth after a query, parallel winners removed,
// churn with few airports, day-count bit-length toggles, many query threads
// then every airport removed).
//
// Usage: tavrik-route-bench [benchmark flags] [openflights-dir] [synthetic-queries] [parts]
// where parts is a comma-separated choice of openflights, synthetic, chains,
// shapes and costs (default: all of them); --benchmark_filter=REGEX limits the
// timed cases (those left out print zeros).

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/Timing.h"
#include "fitting/TFitingFlight.h"
#include "openflights/OpenFlightsNetwork.h"
#include "flights/TManagementFlight.h"
#include "store/TDataAccess.h"
#include "tests/support/LiteralFitting.h"
#include "tickets/TArmoringTicket.h"

namespace {

using tavrik::bench::Clock;
using tavrik::bench::microsSince;
using tavrik::bench::row;
using tavrik::bench::Stats;

// The 99th percentile (nearest rank) of one benchmark's repetitions.
double percentile99(const std::vector<double>& values) {
    std::vector<double> sorted(values);
    std::sort(sorted.begin(), sorted.end());
    return tavrik::bench::percentile99Sorted(sorted);
}

// Keeps the aggregates of every benchmark run, in microseconds, instead of
// printing them: the program prints its own rows and ratios from them.
class FigureCollector final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate) continue;
            Stats& s = figures[run.run_name.function_name];
            const double us = run.GetAdjustedRealTime();
            if (run.aggregate_name == "median") s.median = us;
            else if (run.aggregate_name == "mean") s.mean = us;
            else if (run.aggregate_name == "p99") s.p99 = us;
        }
    }

    std::map<std::string, Stats> figures;
};

FigureCollector& collector() {
    static FigureCollector c;
    return c;
}

// Runs `count` repetitions of one call as the benchmark `name` and returns
// the per-call median, mean and p99. `timedCall(i)` makes the i-th call and
// returns the microseconds of the part that counts.
Stats measure(const std::string& name, std::size_t count, const std::function<double(std::size_t)>& timedCall) {
    if (count == 0) return Stats{};
    std::size_t next = 0;
    benchmark::RegisterBenchmark(name.c_str(),
                                 [&](benchmark::State& state) {
                                     for (auto _ : state) state.SetIterationTime(timedCall(next++) * 1e-6);
                                 })
        ->Iterations(1)
        ->Repetitions(static_cast<int>(count))
        ->ReportAggregatesOnly(true)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->ComputeStatistics("p99", percentile99);
    benchmark::RunSpecifiedBenchmarks(&collector());
    benchmark::ClearRegisteredBenchmarks();
    const auto found = collector().figures.find(name);
    return found == collector().figures.end() ? Stats{} : found->second;
}

void rowValue(const std::string& what, const std::string& value, const std::string& note) {
    std::printf("ROW\t%s\t%s\t\t\t%s\n", what.c_str(), value.c_str(), note.c_str());
}

void target(const std::string& what, const std::string& measured, const std::string& goal, bool met) {
    std::printf("TARGET\t%s\t%s\t%s\t%s\n", what.c_str(), measured.c_str(), goal.c_str(), met ? "met" : "MISSED");
}

std::string fmt(const char* format, double v) {
    char buf[256];
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
    Stats library, bgl;
    std::vector<double> libraryUs;  // per query, in the order of the pairs
    int mismatches = 0;
    int routes = 0;
};

// Times the library's and Boost's query on every pair, as the benchmarks
// "<label>: library" and "<label>: BGL", and compares the totals.
QueryTimes timeQueries(const std::string& label, ArmoringTicket::TArmoringTicket& booking, IDataAccess& store,
                       BglAnchor& bgl, const std::vector<std::pair<int, int>>& pairs) {
    QueryTimes q;
    // Warm-up: the first query builds the search's copy of the network; one
    // pass over the queries warms caches and the branch predictors, and gives
    // the anchor's totals.
    std::vector<std::int64_t> anchorTotals;
    for (const auto& p : pairs) {
        booking.getRouteFlight(INT_MAX, p.first, p.second);
        anchorTotals.push_back(bgl.shortest(p.first, p.second));
    }
    q.library = measure(label + ": library", pairs.size(), [&](std::size_t i) {
        const auto t0 = Clock::now();
        const int code = booking.getRouteFlight(INT_MAX, pairs[i].first, pairs[i].second);
        const double us = microsSince(t0);
        q.libraryUs.push_back(us);
        const std::int64_t ours = code == 0 ? routeTotal(store, *booking.getTickets()) : -1;
        if (code != 0 && code != -8) ++q.mismatches;
        if (ours != anchorTotals[i]) ++q.mismatches;
        if (code == 0) ++q.routes;
        return us;
    });
    q.bgl = measure(label + ": BGL", pairs.size(), [&](std::size_t i) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(bgl.shortest(pairs[i].first, pairs[i].second));
        return microsSince(t0);
    });
    return q;
}

// Queries from one departure with nothing changed in between: the library
// resumes its last search (or only walks back when it has already ended).
void timeRepeated(ArmoringTicket::TArmoringTicket& booking, const std::vector<int>& airports) {
    // 20 rounds: a first query starts a search from one departure, then 100
    // queries from it to other arrivals, then one of them 100 times.
    SplitMix rng{99};
    std::vector<int> departures, repeatedArrival;
    for (int round = 0; round < 20; ++round) departures.push_back(airports[rng.below(airports.size())]);
    const Stats v = measure("OpenFlights: same departure, other arrivals", 2000, [&](std::size_t i) {
        const int from = departures[i / 100];
        if (i % 100 == 0) booking.getRouteFlight(INT_MAX, from, airports[rng.below(airports.size())]);
        const int to = airports[rng.below(airports.size())];
        const auto t0 = Clock::now();
        booking.getRouteFlight(INT_MAX, from, to);
        return microsSince(t0);
    });
    for (int round = 0; round < 20; ++round) repeatedArrival.push_back(airports[rng.below(airports.size())]);
    const Stats s = measure("OpenFlights: same query repeated", 2000, [&](std::size_t i) {
        const int from = departures[i / 100], to = repeatedArrival[i / 100];
        if (i % 100 == 0) booking.getRouteFlight(INT_MAX, from, to);
        const auto t0 = Clock::now();
        booking.getRouteFlight(INT_MAX, from, to);
        return microsSince(t0);
    });
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
    // Declared before the services, so it outlives them.
    const auto storeOwner = std::make_unique<DataAccess::TDataAccess>();
    DataAccess::TDataAccess* store = storeOwner.get();
    ManagementFlight::TManagementFlight management(store);
    const auto loadStart = Clock::now();
    const int refused = openflights::enter(data, management);
    const double loadUs = microsSince(loadStart);
    const std::size_t heapStore = heapInUse();
    // The route search builds its copy of the network when it is made.
    const auto indexStart = Clock::now();
    ArmoringTicket::TArmoringTicket booking(store);
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
    const QueryTimes q = timeQueries("OpenFlights", booking, *store, bgl, pairs);
    const Stats lib = q.library, anchor = q.bgl;
    row("C++ OpenFlights: library getRouteFlight", lib,
        std::to_string(pairs.size()) + " pairs, " + std::to_string(q.routes) + " with a route");
    row("C++ OpenFlights: BGL CSR Dijkstra, early exit", anchor,
        fmt("library faster by %.2fx (median), ", anchor.median / lib.median) +
            fmt("%.2fx (mean)", anchor.mean / lib.mean));
    target("OpenFlights: library vs BGL CSR, median ratio", fmt("%.2fx", anchor.median / lib.median), ">= 4.5x",
           anchor.median / lib.median >= 4.5);
    target("OpenFlights: total-days mismatches vs BGL", std::to_string(q.mismatches), "0", q.mismatches == 0);

    // The literal search on a few of the same pairs: its lists must be the
    // library's exactly.
    {
        const oracle::Network net = oracle::snapshot(*store);
        const std::size_t sample = 5;
        int differences = 0;
        const Stats o = measure("OpenFlights: literal search", sample, [&](std::size_t i) {
            const auto& p = pairs[i];
            std::list<TTicket> expected;
            const auto t0 = Clock::now();
            const int code = oracle::literalFitRoute(net, INT_MAX, p.first, p.second, expected);
            const double us = microsSince(t0);
            const int ours = booking.getRouteFlight(INT_MAX, p.first, p.second);
            if ((code == 0 ? 0 : code - 4) != ours || expected != *booking.getTickets()) ++differences;
            return us;
        });
        row("C++ OpenFlights: literal search (oracle)", o,
            std::to_string(sample) + " pairs; library faster by " + fmt("%.0fx (mean)", o.mean / lib.mean));
        target("OpenFlights: code/list mismatches vs the literal search", std::to_string(differences), "0",
               differences == 0);
    }

    timeRepeated(booking, served);
}

// ---- edits between queries ----

// Edits a network through the flight management, as the JNI calls do: even
// steps add a flight between two random airports (a fresh number, days drawn
// from [minDays, maxDays]), odd steps remove a random flight of those it
// knows (the loaded ones and the ones it added). Each step times only the
// library call.
class Editor {
public:
    Editor(IManagementFlight& management, std::vector<int> airports, std::vector<FlatFlight> flights,
           int firstFreshNumber, int minDays, int maxDays, std::uint64_t seed)
        : management(management),
          airports(std::move(airports)),
          flights(std::move(flights)),
          nextNumber(firstFreshNumber),
          minDays(minDays),
          maxDays(maxDays),
          rng{seed} {}

    double step() {
        const bool add = steps++ % 2 == 0 || flights.empty();
        if (add) {
            const int from = airports[rng.below(airports.size())];
            int to = from;
            while (to == from) to = airports[rng.below(airports.size())];
            const int days = minDays + static_cast<int>(rng.below(static_cast<std::size_t>(maxDays - minDays) + 1));
            const FlatFlight f{nextNumber++, days, from, to};
            const std::string name = "E";
            const auto t0 = Clock::now();
            const int code = management.addFlight(name, f.number, f.days, f.from, f.to);
            const double us = microsSince(t0);
            if (code == 0) flights.push_back(f);
            else ++refused;
            return us;
        }
        const std::size_t i = rng.below(flights.size());
        const FlatFlight f = flights[i];
        flights[i] = flights.back();
        flights.pop_back();
        const auto t0 = Clock::now();
        const int code = management.removeFlight(f.from, f.number);
        const double us = microsSince(t0);
        if (code != 0) ++refused;
        return us;
    }

    int refused = 0;  // edits the library refused: 0 unless the benchmark lost track of the network

private:
    IManagementFlight& management;
    std::vector<int> airports;
    std::vector<FlatFlight> flights;
    int nextNumber;
    int minDays, maxDays;
    SplitMix rng;
    std::uint64_t steps = 0;
};

struct AfterEdits {
    Stats edit, query;
    std::size_t queries = 0, routes = 0;
};

// One edit, then one query, on the first `count` pairs in order: every query
// is the first after a change of the network. The edits and the queries are
// timed as two benchmarks, "<label>: edit before a query" and "<label>: query
// after an edit".
AfterEdits timeAfterEdits(const std::string& label, ArmoringTicket::TArmoringTicket& booking, Editor& editor,
                          const std::vector<std::pair<int, int>>& pairs, std::size_t count) {
    AfterEdits r;
    r.queries = std::min(count, pairs.size());
    std::vector<double> editUs;
    r.query = measure(label + ": query after an edit", r.queries, [&](std::size_t i) {
        editUs.push_back(editor.step());
        const auto t0 = Clock::now();
        const int code = booking.getRouteFlight(INT_MAX, pairs[i].first, pairs[i].second);
        const double us = microsSince(t0);
        if (code == 0) ++r.routes;
        return us;
    });
    // The edit times were taken in the same steps; handed over one per repetition.
    r.edit = measure(label + ": edit before a query", editUs.size(), [&](std::size_t i) { return editUs[i]; });
    return r;
}

// The synthetic network after edits: alternately a flight added between
// random airports and a random flight removed, one edit before each query,
// on the first pairs of the frozen run so that both medians are of the same
// queries.
void syntheticAfterEdits(ArmoringTicket::TArmoringTicket& booking, IDataAccess* store,
                         const std::vector<int>& ids, const std::vector<FlatFlight>& flat,
                         const std::vector<std::pair<int, int>>& pairs, const std::vector<double>& frozenUs) {
    ManagementFlight::TManagementFlight management(store);
    Editor editor(management, ids, flat, 2000000, 1, 10, 31337);
    const AfterEdits a = timeAfterEdits("synthetic", booking, editor, pairs, 100);
    const std::size_t k = a.queries;
    const Stats frozen = measure("synthetic: frozen query, same pairs", k, [&](std::size_t i) { return frozenUs[i]; });
    const Stats after = a.query, edit = a.edit;
    row("C++ synthetic 100k/1M: frozen query, same pairs", frozen,
        "first " + std::to_string(k) + " pairs of the frozen run above");
    row("C++ synthetic 100k/1M: query right after an edit", after,
        std::to_string(k) + " queries, " + std::to_string(a.routes) + " with a route; " +
            fmt("%.2fx the frozen median", after.median / frozen.median));
    row("C++ synthetic 100k/1M: edit (add or remove a flight)", edit,
        "alternating; " + std::to_string(editor.refused) + " refused");
    target("synthetic: query right after an edit vs frozen, median", fmt("%.2fx", after.median / frozen.median),
           "<= 2x", after.median <= 2.0 * frozen.median);
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
    const auto storeOwner = std::make_unique<DataAccess::TDataAccess>();
    DataAccess::TDataAccess* store = storeOwner.get();
    const auto loadStart = Clock::now();
    for (int id : ids) store->addAirport(id, "S" + std::to_string(id));
    for (const FlatFlight& f : flat) store->addFlight("F", f.number, f.days, f.from, f.to);
    const double loadUs = microsSince(loadStart);
    const std::size_t heapStore = heapInUse();
    // The route search builds its copy of the network when it is made.
    const auto indexStart = Clock::now();
    ArmoringTicket::TArmoringTicket booking(store);
    booking.getRouteFlight(INT_MAX, ids[0], ids[1]);
    const double indexUs = microsSince(indexStart);

    rowValue("C++ synthetic 100k/1M: load into the store", fmt("%.0f ms", loadUs / 1000),
             fmt("%.0f B per flight", double(heapStore - heapBefore) / flights));
    rowValue("C++ synthetic 100k/1M: search copy build + first query", fmt("%.1f ms", indexUs / 1000), "");

    const auto pairs = randomPairs(ids, queries, 777);
    BglAnchor bgl(ids, flat);
    const QueryTimes q = timeQueries("synthetic", booking, *store, bgl, pairs);
    const Stats lib = q.library, anchor = q.bgl;
    row("C++ synthetic 100k/1M: library getRouteFlight", lib,
        std::to_string(pairs.size()) + " pairs, days 1..10, " + std::to_string(q.routes) + " with a route");
    row("C++ synthetic 100k/1M: BGL CSR Dijkstra, early exit", anchor,
        fmt("library faster by %.2fx (median), ", anchor.median / lib.median) +
            fmt("%.2fx (mean)", anchor.mean / lib.mean));
    target("synthetic: library vs BGL CSR, median ratio", fmt("%.2fx", anchor.median / lib.median), ">= 3.5x",
           anchor.median / lib.median >= 3.5);
    target("synthetic: total-days mismatches vs BGL", std::to_string(q.mismatches), "0", q.mismatches == 0);
    syntheticAfterEdits(booking, store, ids, flat, pairs, q.libraryUs);
}


// ---- chains: every search walks the whole network ----

struct ChainResult {
    double loadMs = 0, firstUs = 0, builtUs = 0, mib = 0;
    bool exact = true;
};

// Airports 0..legs, flight i from i to i + 1, all of `days` days. Times the
// first query from the first to the last airport after the load (with
// whatever the search builds on its first use), then, when `again`, the same
// query as a fresh search on what is built: a query from the last airport
// (which has no departing flight, so it ends at once) comes in between so
// that nothing of the first search is reused.
ChainResult timeChain(int legs, int days, bool again) {
    ChainResult r;
    const std::size_t heapBefore = heapInUse();
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    const std::string name = "C";
    const auto loadStart = Clock::now();
    for (int i = 0; i <= legs; ++i)
        if (management.addAirport(i, name) != 0) r.exact = false;
    for (int i = 0; i < legs; ++i)
        if (management.addFlight(name, i, days, i, i + 1) != 0) r.exact = false;
    r.loadMs = microsSince(loadStart) / 1000;
    r.mib = double(heapInUse() - heapBefore) / (1 << 20);

    ArmoringTicket::TArmoringTicket booking(store.get());
    const std::int64_t expected = std::int64_t{legs} * days;
    auto t0 = Clock::now();
    int code = booking.getRouteFlight(INT_MAX, 0, legs);
    r.firstUs = microsSince(t0);
    if (code != 0 || routeTotal(*store, *booking.getTickets()) != expected) r.exact = false;
    if (again) {
        if (booking.getRouteFlight(INT_MAX, legs, 0) != -8) r.exact = false;
        t0 = Clock::now();
        code = booking.getRouteFlight(INT_MAX, 0, legs);
        r.builtUs = microsSince(t0);
        if (code != 0 || routeTotal(*store, *booking.getTickets()) != expected) r.exact = false;
    }
    return r;
}

void chains() {
    auto report = [](const std::string& what, const ChainResult& c, bool again) {
        rowValue("C++ " + what + ": first query after the load", fmt("%.1f ms", c.firstUs / 1000),
                 fmt("incl. search copy build; load %.0f ms, ", c.loadMs) + fmt("%.0f MiB malloc'd", c.mib));
        if (again)
            rowValue("C++ " + what + ": query, search copy built", fmt("%.1f ms", c.builtUs / 1000),
                     c.exact ? "fresh search; route total exact" : "WRONG route total or refused edit");
        else if (!c.exact)
            std::printf("INFO\t%s: WRONG route total or refused edit\n", what.c_str());
    };
    const ChainResult three = timeChain(1000000, 300, true);
    report("chain 1M legs, days 300", three, true);
    const ChainResult one = timeChain(1000000, 1, true);
    report("chain 1M legs, days 1", one, true);
    const ChainResult two = timeChain(2000000, 1, false);
    report("chain 2M legs, days 1", two, false);
    rowValue("C++ chain 2M vs 1M legs, days 1: first query", fmt("%.2fx", two.firstUs / one.firstUs),
             "2x when linear in the legs");
    target("chain 1M legs: days 1 vs days 300, query", fmt("%.2fx", one.builtUs / three.builtUs), "<= 2x",
           one.builtUs <= 2.0 * three.builtUs);
    target("chain 1M legs: route totals exact", one.exact && three.exact && two.exact ? "yes" : "no", "yes",
           one.exact && three.exact && two.exact);
}

// ---- edge shapes ----

std::string firstLast(const std::vector<double>& us, std::size_t n) {
    n = std::min(n, us.size() / 2);
    const double first = std::accumulate(us.begin(), us.begin() + n, 0.0) / n;
    const double last = std::accumulate(us.end() - n, us.end(), 0.0) / n;
    return fmt("mean of first %.0f ", double(n)) + fmt("%.2f us, ", first) + fmt("of last %.2f us", last);
}

// One airport with 1,000,000 departing flights, one to each other airport.
void star() {
    const int leaves = 1000000;
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    const std::string name = "S";
    const auto loadStart = Clock::now();
    for (int i = 0; i <= leaves; ++i) management.addAirport(i, name);
    for (int i = 1; i <= leaves; ++i) management.addFlight(name, i, 1 + i % 7, 0, i);
    const double loadMs = microsSince(loadStart) / 1000;

    ArmoringTicket::TArmoringTicket booking(store.get());
    SplitMix rng{2718};
    auto t0 = Clock::now();
    booking.getRouteFlight(INT_MAX, 0, leaves);
    const double firstUs = microsSince(t0);
    rowValue("C++ star 1M flights: first query after the load", fmt("%.1f ms", firstUs / 1000),
             fmt("incl. search copy build; load %.0f ms", loadMs));

    // Fresh searches from the hub: a query from a leaf (no departing flight)
    // comes in between.
    const Stats query = measure("star: query from the hub", 20, [&](std::size_t) {
        booking.getRouteFlight(INT_MAX, 1 + static_cast<int>(rng.below(leaves)), 0);
        const int to = 1 + static_cast<int>(rng.below(leaves));
        const auto start = Clock::now();
        booking.getRouteFlight(INT_MAX, 0, to);
        return microsSince(start);
    });
    row("C++ star 1M flights: query from the hub", query, "20 fresh searches to random leaves");

    // Edits at the hub: a flight added (even steps), then the same flight
    // removed (odd steps).
    int refused = 0;
    const Stats edits = measure("star: edit at the hub", 2000, [&](std::size_t i) {
        const int number = leaves + 1 + static_cast<int>(i / 2);
        const int to = 1 + static_cast<int>(rng.below(leaves));
        const auto start = Clock::now();
        refused += (i % 2 == 0 ? management.addFlight(name, number, 1, 0, to) : management.removeFlight(0, number)) != 0;
        return microsSince(start);
    });
    row("C++ star 1M flights: edit at the hub", edits,
        "1,000 flights added and removed again; " + std::to_string(refused) + " refused");

    // Queries that each follow one edit at the hub.
    const std::size_t afterCount = 50;
    const Stats after = measure("star: query after an edit", afterCount, [&](std::size_t i) {
        const int number = 2 * leaves + static_cast<int>(i);
        management.addFlight(name, number, 1 + static_cast<int>(i % 7), 0, 1 + static_cast<int>(rng.below(leaves)));
        const int to = 1 + static_cast<int>(rng.below(leaves));
        const auto start = Clock::now();
        booking.getRouteFlight(INT_MAX, 0, to);
        const double us = microsSince(start);
        management.removeFlight(0, number);
        return us;
    });
    row("C++ star 1M flights: query right after an edit", after,
        std::to_string(afterCount) + " queries, each after a flight added at the hub");

    t0 = Clock::now();
    const int removed = management.removeAirport(0);
    const double removeUs = microsSince(t0);
    t0 = Clock::now();
    const int code = booking.getRouteFlight(INT_MAX, 1, 2);
    const double emptyUs = microsSince(t0);
    rowValue("C++ star 1M flights: removeAirport of the hub", fmt("%.1f ms", removeUs / 1000),
             fmt("code %.0f; ", removed) + fmt("next query %.1f ms ", emptyUs / 1000) + fmt("(code %.0f)", code));
}

// 1,000 parallel flights between two airports, flight j of j days, removed
// in ascending number: every removal takes away the fastest one, and the
// query after it must find the next (j + 1 days).
void parallelFlights() {
    const int count = 1000;
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    ArmoringTicket::TArmoringTicket booking(store.get());
    management.addAirport(1, "A");
    management.addAirport(2, "B");
    const std::string name = "P";
    // Per-call times are also kept in order, for the first and last hundred.
    std::vector<double> add, remove, query;
    int wrong = 0;
    const Stats addStats = measure("parallel: addFlight", count, [&](std::size_t i) {
        const int j = static_cast<int>(i) + 1;
        const auto t0 = Clock::now();
        wrong += management.addFlight(name, j, j, 1, 2) != 0;
        add.push_back(microsSince(t0));
        return add.back();
    });
    if (booking.getRouteFlight(INT_MAX, 1, 2) != 0 || routeTotal(*store, *booking.getTickets()) != 1) ++wrong;
    // Each removal is followed by a query; both are timed in the same step
    // and the removal times handed over to their own benchmark afterwards.
    const Stats queryStats = measure("parallel: query after a removal", count, [&](std::size_t i) {
        const int j = static_cast<int>(i) + 1;
        auto t0 = Clock::now();
        wrong += management.removeFlight(1, j) != 0;
        remove.push_back(microsSince(t0));
        t0 = Clock::now();
        const int code = booking.getRouteFlight(INT_MAX, 1, 2);
        query.push_back(microsSince(t0));
        if (j < count ? code != 0 || routeTotal(*store, *booking.getTickets()) != j + 1 : code != -8) ++wrong;
        return query.back();
    });
    const Stats removeStats = measure("parallel: removeFlight", remove.size(), [&](std::size_t i) { return remove[i]; });
    row("C++ 1,000 parallel flights: addFlight", addStats, firstLast(add, 100));
    row("C++ 1,000 parallel flights: removeFlight, fastest first", removeStats, firstLast(remove, 100));
    row("C++ 1,000 parallel flights: query after each removal", queryStats,
        firstLast(query, 100) + "; " + std::to_string(wrong) + " wrong");
}

// 100,000 airports, 400,000 flights of which half take zero days (the rest
// 1..10): large groups of airports share one total.
void zeroDays() {
    const int airports = 100000;
    const int flights = 400000;
    std::mt19937_64 rng(1618);
    std::uniform_int_distribution<int> anyAirport(0, airports - 1);
    std::uniform_int_distribution<int> anyDays(1, 10);
    std::vector<int> ids(airports);
    std::iota(ids.begin(), ids.end(), 0);
    std::vector<FlatFlight> flat;
    flat.reserve(flights);
    int zero = 0;
    for (int i = 0; i < flights; ++i) {
        int from = anyAirport(rng), to = anyAirport(rng);
        while (to == from) to = anyAirport(rng);
        const int days = rng() % 2 ? 0 : anyDays(rng);
        zero += days == 0;
        flat.push_back(FlatFlight{i + 1, days, from, to});
    }
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    const auto loadStart = Clock::now();
    for (int id : ids) management.addAirport(id, "Z");
    for (const FlatFlight& f : flat) management.addFlight("Z", f.number, f.days, f.from, f.to);
    const double loadMs = microsSince(loadStart) / 1000;
    ArmoringTicket::TArmoringTicket booking(store.get());
    const auto t0 = Clock::now();
    booking.getRouteFlight(INT_MAX, ids[0], ids[1]);
    rowValue("C++ zero-day 100k/400k: first query after the load", fmt("%.1f ms", microsSince(t0) / 1000),
             fmt("incl. search copy build; load %.0f ms; ", loadMs) + std::to_string(zero) + " zero-day flights");

    const auto pairs = randomPairs(ids, 100, 1414);
    BglAnchor bgl(ids, flat);
    const QueryTimes q = timeQueries("zero-day", booking, *store, bgl, pairs);
    const Stats lib = q.library;
    row("C++ zero-day 100k/400k: query", lib,
        "100 pairs, " + std::to_string(q.routes) + " with a route; " + std::to_string(q.mismatches) +
            " total-days mismatches vs BGL");

    Editor editor(management, ids, flat, 1000000, 0, 0, 1732);
    const Stats edits = measure("zero-day: edit", 1000, [&](std::size_t) { return editor.step(); });
    row("C++ zero-day 100k/400k: edit, add or remove a flight", edits,
        "1,000 alternating, added ones of zero days; " + std::to_string(editor.refused) + " refused");
    const AfterEdits a = timeAfterEdits("zero-day", booking, editor, pairs, 50);
    const Stats after = a.query;
    const Stats frozen =
        measure("zero-day: frozen query, same pairs", a.queries, [&](std::size_t i) { return q.libraryUs[i]; });
    row("C++ zero-day 100k/400k: query right after an edit", after,
        std::to_string(a.queries) + " queries; " +
            fmt("%.2fx the frozen median of the same pairs", after.median / frozen.median));
}

// ---- cost shapes: each timed at two sizes 10x apart ----
//
// Networks shaped so that a cost growing with the network instead of with
// the work of an operation would show: the mean cost of one operation at the
// larger size against the smaller one. Each loop is timed as a whole (tens of
// thousands of operations and more) and divided by its operations; one-off
// costs (a rebuild of the search's copy) count in the mean they are spread
// over.

struct ShapeCost {
    double meanUs = 0;
    double worstUs = 0;  // slowest single operation, where timed one by one
    std::string note;
};

// The two sizes' rows and the target; `alone` (when given) are the store's
// own costs for the same edits with no query made, so no search copy kept.
void shapeRows(const std::string& shape, const std::string& smallSize, const std::string& largeSize,
               const ShapeCost& small, const ShapeCost& large, const ShapeCost* alone = nullptr) {
    std::string suffix;
    if (alone != nullptr)
        suffix = fmt("; store alone %.2f us, ", alone[0].meanUs) + fmt("%.2f us at the larger size ", alone[1].meanUs) +
                 fmt("(%.2fx)", alone[1].meanUs / alone[0].meanUs);
    rowValue("C++ cost shape: " + shape + ", " + smallSize, fmt("%.2f us", small.meanUs), small.note);
    rowValue("C++ cost shape: " + shape + ", " + largeSize, fmt("%.2f us", large.meanUs), large.note + suffix);
    const double ratio = large.meanUs / small.meanUs;
    target("cost shape: " + shape + ", " + largeSize + " vs " + smallSize, fmt("%.2fx", ratio), "<= 2x",
           ratio <= 2.0);
}

// A hub with `leaves` departing flights added after a query (the search's
// copy then follows every edit), then removed one by one.
std::pair<ShapeCost, ShapeCost> starGrowth(int leaves, bool search = true) {
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    ArmoringTicket::TArmoringTicket booking(store.get());
    const std::string name = "S";
    for (int i = 0; i <= leaves; ++i) management.addAirport(i, name);
    if (search) booking.getRouteFlight(INT_MAX, 0, 1);
    int refused = 0;
    auto t0 = Clock::now();
    for (int i = 1; i <= leaves; ++i) refused += management.addFlight(name, i, 1 + i % 7, 0, i) != 0;
    ShapeCost add{microsSince(t0) / leaves, 0, ""};
    const int code = search ? booking.getRouteFlight(INT_MAX, 0, leaves) : 0;
    add.note = fmt("addFlight at the hub, mean of %.0f; ", leaves) + std::to_string(refused) +
               " refused; query after it code " + std::to_string(code);
    t0 = Clock::now();
    for (int i = 1; i <= leaves; ++i) refused += management.removeFlight(0, i) != 0;
    ShapeCost remove{microsSince(t0) / leaves, 0, fmt("removeFlight at the hub, mean of %.0f; ", leaves) +
                                                      std::to_string(refused) + " refused"};
    return {add, remove};
}

// `count` parallel flights between two airports (seeded days 1..255), their
// winners removed one after the other until none is left, with a query
// between every two removals.
ShapeCost parallelWinners(int count, bool search = true) {
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    ArmoringTicket::TArmoringTicket booking(store.get());
    management.addAirport(1, "A");
    management.addAirport(2, "B");
    std::mt19937_64 rng(4242);
    std::vector<std::pair<int, int>> order;  // (days, number): the order in which they win
    for (int j = 1; j <= count; ++j) {
        const int days = 1 + static_cast<int>(rng() % 255);
        management.addFlight("P", j, days, 1, 2);
        order.emplace_back(days, j);
    }
    std::sort(order.begin(), order.end());
    if (search) booking.getRouteFlight(INT_MAX, 1, 2);
    int wrong = 0;
    double removeUs = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const auto t0 = Clock::now();
        wrong += management.removeFlight(1, order[k].second) != 0;
        removeUs += microsSince(t0);
        if (search && (k % 2 == 1 || k + 1 == order.size())) {
            const int code = booking.getRouteFlight(INT_MAX, 1, 2);
            if (k + 1 < order.size() ? code != 0 || routeTotal(*store, *booking.getTickets()) != order[k + 1].first
                                     : code != -8)
                ++wrong;
        }
    }
    return ShapeCost{removeUs / count, 0,
                     fmt("removeFlight of the winner, mean of %.0f (emptying the pair); ", count) +
                         std::to_string(wrong) + " wrong"};
}

// Ten airports joined by `flights` flights, and one more airport removed and
// added again with two flights, `cycles` times, after a query.
ShapeCost fewAirportsChurn(int flights, int cycles) {
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    ArmoringTicket::TArmoringTicket booking(store.get());
    const int hubs = 10;
    for (int i = 0; i < hubs; ++i) management.addAirport(i, "H");
    std::mt19937_64 rng(777);
    for (int f = 1; f <= flights; ++f) {
        const int from = static_cast<int>(rng() % hubs);
        const int to = (from + 1 + static_cast<int>(rng() % (hubs - 1))) % hubs;
        management.addFlight("H", f, 1 + static_cast<int>(rng() % 10), from, to);
    }
    management.addAirport(hubs, "X");
    booking.getRouteFlight(INT_MAX, 0, 1);
    double worst = 0;
    int refused = 0;
    const auto all = Clock::now();
    for (int c = 0; c < cycles; ++c) {
        const auto t0 = Clock::now();
        refused += management.removeAirport(hubs) != 0;
        refused += management.addAirport(hubs, "X") != 0;
        refused += management.addFlight("X", 1, 1, hubs, 0) != 0;
        refused += management.addFlight("X", 2, 1, 1, hubs) != 0;
        worst = std::max(worst, microsSince(t0));
    }
    const double mean = microsSince(all) / cycles;
    const int code = booking.getRouteFlight(INT_MAX, 1, 0);
    return ShapeCost{mean, worst,
                     fmt("remove + add an airport with 2 flights, mean of %.0f cycles; ", cycles) +
                         fmt("worst cycle %.0f us; ", worst) + std::to_string(refused) +
                         " refused; query after it code " + std::to_string(code)};
}

// A ring of `airports` airports of 1-day flights; a 200-day flight added far
// from any query and removed again, each edit followed by a two-leg query.
ShapeCost dayCountToggles(int airports, int steps) {
    auto store = std::make_unique<DataAccess::TDataAccess>();
    ManagementFlight::TManagementFlight management(store.get());
    ArmoringTicket::TArmoringTicket booking(store.get());
    for (int i = 0; i < airports; ++i) management.addAirport(i, "R");
    // Flight i leaves airport i: every airport holds two numbers.
    for (int i = 0; i < airports; ++i) management.addFlight("R", i, 1, i, (i + 1) % airports);
    booking.getRouteFlight(INT_MAX, 0, 2);
    const int far = airports / 2;
    // The first 200-day flight grows the search state's bitmap queue to 256
    // rows (once per state, in proportion to the airports): one toggle
    // before the timed ones.
    management.addFlight("R", airports, 200, far, far + 7);
    booking.getRouteFlight(INT_MAX, 0, 2);
    management.removeFlight(far, airports);
    booking.getRouteFlight(INT_MAX, 0, 2);
    int wrong = 0;
    const auto t0 = Clock::now();
    for (int k = 0; k < steps; ++k) {
        wrong += k % 2 == 0 ? management.addFlight("R", airports, 200, far, far + 7) != 0
                            : management.removeFlight(far, airports) != 0;
        const int from = (k * 7919) % (airports - 2);
        if (booking.getRouteFlight(INT_MAX, from, from + 2) != 0 || booking.getTickets()->size() != 4) ++wrong;
    }
    return ShapeCost{microsSince(t0) / steps, 0,
                     fmt("edit (200-day flight added or removed) + 2-leg query, mean of %.0f ", steps) +
                         "after one untimed toggle; " +
                         std::to_string(wrong) + " wrong"};
}

// `threads` threads query a random network of `airports` airports at once,
// then every airport is removed: what the process still holds, against the
// same network built and emptied without a query (the store's own leftovers,
// such as its hash index's bucket array).
ShapeCost threadsThenShrink(int airports, int threads) {
    ShapeCost cost;
    std::size_t held[2] = {};
    for (int withQueries = 0; withQueries < 2; ++withQueries) {
        const std::size_t before = heapInUse();
        auto store = std::make_unique<DataAccess::TDataAccess>();
        FitingFlight::TFitingFlight search(store.get());
        std::mt19937_64 rng(99);
        for (int i = 0; i < airports; ++i) store->addAirport(i, "T");
        for (int f = 0; f < 4 * airports; ++f) {
            const int from = static_cast<int>(rng() % airports);
            const int to = (from + 1 + static_cast<int>(rng() % (airports - 1))) % airports;
            store->addFlight("T", f, 1 + static_cast<int>(rng() % 10), from, to);
        }
        const std::size_t loaded = heapInUse();
        std::vector<std::thread> pool;
        for (int t = 0; withQueries && t < threads; ++t)
            pool.emplace_back([&search, airports, t] {
                std::list<TTicket> route;
                for (int q = 0; q < 3; ++q)
                    search.fitRoute(INT_MAX, (t * 31 + q) % airports, (t * 17 + q * 7 + 1) % airports, &route);
            });
        for (std::thread& th : pool) th.join();
        const std::size_t afterQueries = heapInUse();
        const auto t0 = Clock::now();
        for (int i = 0; i < airports; ++i) store->removeAirport(i);
        const double us = microsSince(t0) / airports;
        held[withQueries] = heapInUse() - before;
        if (withQueries) {
            cost.meanUs = us;
            cost.worstUs = (static_cast<double>(held[1]) - static_cast<double>(held[0])) / 1048576.0;
            cost.note = fmt("removeAirport, mean of %.0f; ", airports) + std::to_string(threads) +
                        fmt(" query threads held %.1f MiB (states and copy); ", (afterQueries - loaded) / 1048576.0) +
                        fmt("once empty %.2f MiB more than without queries", cost.worstUs);
        }
    }
    return cost;
}

void costShapes() {
    {
        const auto small = starGrowth(40000);
        const auto large = starGrowth(400000);
        const auto smallAlone = starGrowth(40000, false);
        const auto largeAlone = starGrowth(400000, false);
        const ShapeCost adds[] = {smallAlone.first, largeAlone.first};
        const ShapeCost removes[] = {smallAlone.second, largeAlone.second};
        shapeRows("star growth after a query (addFlight)", "40k flights", "400k flights", small.first, large.first,
                  adds);
        shapeRows("star after a query (removeFlight)", "40k flights", "400k flights", small.second, large.second,
                  removes);
    }
    std::fflush(stdout);
    {
        const ShapeCost small = parallelWinners(10000), large = parallelWinners(100000);
        const ShapeCost alone[] = {parallelWinners(10000, false), parallelWinners(100000, false)};
        shapeRows("parallel winners removed", "P = 10k", "P = 100k", small, large, alone);
    }
    std::fflush(stdout);
    shapeRows("churn with few airports", "100k flights", "1M flights", fewAirportsChurn(100000, 100000),
              fewAirportsChurn(1000000, 100000));
    std::fflush(stdout);
    shapeRows("day-count bit-length toggles", "100k airports", "1M airports", dayCountToggles(100000, 2000),
              dayCountToggles(1000000, 2000));
    std::fflush(stdout);
    const ShapeCost small = threadsThenShrink(100000, 16);
    const ShapeCost large = threadsThenShrink(1000000, 16);
    shapeRows("many threads then a shrink (removeAirport)", "100k airports", "1M airports", small, large);
    const double held = std::max(small.worstUs, large.worstUs);
    target("many threads then a shrink: search memory held once empty", fmt("%.2f MiB", held), "<= 1 MiB",
           held <= 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    // Takes the --benchmark_* flags out of argv; the rest are positional.
    benchmark::Initialize(&argc, argv);
    const std::string dir = argc > 1 ? argv[1] : TAVRIK_OPENFLIGHTS_DIR;
    const std::size_t syntheticQueries = argc > 2 ? std::stoul(argv[2]) : 300;
    const std::string parts = argc > 3 ? "," + std::string(argv[3]) + "," : ",openflights,synthetic,chains,shapes,costs,";
    auto wanted = [&](const char* part) { return parts.find("," + std::string(part) + ",") != std::string::npos; };
    if (wanted("openflights")) openFlights(dir);
    std::fflush(stdout);
    if (wanted("synthetic")) synthetic(syntheticQueries);
    std::fflush(stdout);
    if (wanted("chains")) chains();
    std::fflush(stdout);
    if (wanted("shapes")) {
        star();
        parallelFlights();
        zeroDays();
    }
    std::fflush(stdout);
    if (wanted("costs")) costShapes();
    return 0;
}
