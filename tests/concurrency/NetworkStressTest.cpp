// Several threads on one tavrik::Network at once, each mixing edits, route
// queries, bookings and both report copies, with every result checked while
// they run and the whole network checked when they are done. The ThreadSanitizer
// build (preset tsan) runs it to find what the locks let through; every build
// runs it to check that the calls behave as if they ran one at a time.
//
// How results stay predictable while the threads interleave:
//  - A shared area of the network that nobody edits: core airports, an island
//    nobody can reach, and one entry airport per query route. An entry airport
//    has exactly one flight, departing into the core, and each entry has one
//    fixed target, so its route always holds that flight and no other route
//    does: the flight's booked count is the number of bookings of that route.
//    The entries are dealt out to the threads and a thread queries only its
//    own, so a report of one of its own routes, right after its query, can
//    only be the route of that query.
//  - One region per thread, edited by that thread only, which keeps a model of
//    it: every edit's code is known, and every query in the region is answered
//    by the literal search on the model. Each region has an entry and a hub
//    that never go, joined by one flight that never goes, and the entry has no
//    other flight; region queries depart from the entry, so that flight's
//    booked count is the number of bookings of the region's routes, and a
//    report showing the region's route right after the owner's query is that
//    query's route.
//  - No flight joins two areas, so a search in one area never sees another.
//    The literal search answers for one area alone, with one extra airport so
//    that its limit of N - 1 included airports never binds inside the area
//    (the library's N counts every area and is larger still).
// Region flights take day counts that switch the search between its queues
// (over 255 days, totals past 2^32, negative days), and airports arrive out of
// number order, so that other threads' edits keep changing the search's
// layout under the queries.
//
// TAVRIK_STRESS_OPS sets the operations per thread, TAVRIK_STRESS_SEED the
// seed.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "flights/TManagementFlight.h"
#include "library/Network.h"
#include "store/TDataAccess.h"
#include "tests/support/LiteralFitting.h"
#include "tests/support/OpDriver.h"
#include "tickets/TArmoringTicket.h"

namespace {

using tavrik::ReportedFlight;
using Row = ReportedFlight;

// ---- sizes ----

constexpr int kCoreAirports = 24;
constexpr int kCoreFlightTries = 90;
constexpr int kIslandAirports = 4;
constexpr int kEntriesPerThread = 4;
constexpr int kRegionPool = 14;      // airports a region's owner adds and removes
constexpr int kEntryFlight = 1000;   // number of a region's entry flight
constexpr int kLonelyAirport = INT_MAX;  // the literal search's extra airport

constexpr int kCoreBase = 1000;
constexpr int kSharedEntryBase = 2000;
constexpr int kSharedEntryFlightBase = 500;
constexpr int kIslandBase = 3000;
constexpr int kNeverUsed = 5000;  // no airport ever has this number

int operationsPerThread() {
    if (const char* env = std::getenv("TAVRIK_STRESS_OPS")) return std::atoi(env);
#if defined(TAVRIK_STRESS_TSAN)
    return 30000;
#elif defined(TAVRIK_STRESS_SANITIZED)
    return 10000;
#else
    return 100000;
#endif
}

unsigned baseSeed() {
    if (const char* env = std::getenv("TAVRIK_STRESS_SEED")) return static_cast<unsigned>(std::strtoul(env, nullptr, 10));
    return 20261208u;
}

// ---- what the tests know about an area of the network ----

struct Flight {
    std::string name;
    int days = 0;
    int from = 0;
    int to = 0;
};

using Table = std::map<int, Flight>;   // flight number -> flight
using Tables = std::map<int, Table>;   // airport -> its table

oracle::Network literalNetwork(const Tables& tables) {
    oracle::Network net;
    for (const auto& airport : tables) {
        std::map<int, TFlightLink>& table = net[airport.first];
        for (const auto& f : airport.second) {
            TFlightLink link;
            link.name = f.second.name;
            link.days = f.second.days;
            link.from = f.second.from;
            link.to = f.second.to;
            table.emplace(f.first, link);
        }
    }
    net[kLonelyAirport];
    return net;
}

// The literal search's code as the library gives it.
int libraryCode(int literal) { return literal == 0 ? 0 : literal - 4; }

// Rows of a route as the route report gives them, booked counts left at 0.
std::vector<Row> routeRows(const Tables& tables, const std::list<TTicket>& route) {
    std::vector<Row> rows;
    for (const TTicket& t : route) {
        const Flight& f = tables.at(t.airport).at(t.flight);
        rows.push_back(Row{t.airport, t.flight, f.name, f.days, f.from, f.to, 0});
    }
    return rows;
}

std::vector<Row> tableRows(int airport, const Table& table) {
    std::vector<Row> rows;
    for (const auto& f : table)
        rows.push_back(Row{airport, f.first, f.second.name, f.second.days, f.second.from, f.second.to, 0});
    return rows;
}

bool sameButBooked(const Row& a, const Row& b) {
    return a.airport == b.airport && a.flight == b.flight && a.name == b.name && a.days == b.days &&
           a.from == b.from && a.to == b.to;
}

bool sameButBooked(const std::vector<Row>& a, const std::vector<Row>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameButBooked(a[i], b[i])) return false;
    return true;
}

std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out;
}

std::string describe(const std::vector<Row>& rows) {
    std::ostringstream out;
    out << "[";
    for (const Row& r : rows)
        out << " (" << r.airport << " #" << r.flight << " '" << printable(r.name) << "' " << r.days << "d "
            << r.from << "->" << r.to << " booked " << r.booked << ")";
    out << " ]";
    return out.str();
}

// ---- the shared area, which nobody edits ----

struct SharedQuery {
    int entry = 0;
    int target = 0;
    std::int64_t total = 0;
    std::vector<Row> route;  // the route report of this query
};

struct SharedArea {
    std::map<int, std::string> names;
    Tables tables;
    std::vector<int> core, island;
    std::vector<SharedQuery> queries;   // one per entry
    std::map<int, int> queryOfEntry;    // entry airport -> its query

    bool holds(int airport) const { return tables.count(airport) != 0; }
};

// Adds a flight to `tables` if its number is free at both airports.
bool addModelFlight(Tables& tables, const std::string& name, int number, int days, int from, int to) {
    if (from == to || tables[from].count(number) || tables[to].count(number)) return false;
    const Flight f{name, days, from, to};
    tables[from][number] = f;
    tables[to][number] = f;
    return true;
}

SharedArea buildSharedArea(std::mt19937& rng, int entries) {
    SharedArea s;
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int i = 0; i < kCoreAirports; ++i) s.core.push_back(kCoreBase + 3 * i);
    for (int i = 0; i < kIslandAirports; ++i) s.island.push_back(kIslandBase + i);
    for (int a : s.core) s.tables[a];
    for (int a : s.island) s.tables[a];
    int serial = 0;
    for (int i = 0; i < kCoreFlightTries; ++i) {
        const int from = s.core[pick(0, kCoreAirports - 1)], to = s.core[pick(0, kCoreAirports - 1)];
        addModelFlight(s.tables, "core " + std::to_string(serial++), pick(0, 29), pick(0, 9), from, to);
    }
    for (int i = 0; i < kIslandAirports; ++i)
        addModelFlight(s.tables, "island " + std::to_string(i), 7, pick(0, 5), s.island[i],
                       s.island[(i + 1) % kIslandAirports]);
    for (int i = 0; i < entries; ++i) {
        const int entry = kSharedEntryBase + i;
        addModelFlight(s.tables, "entry " + std::to_string(i), kSharedEntryFlightBase + i, pick(0, 3), entry,
                       s.core[pick(0, kCoreAirports - 1)]);
    }
    for (const auto& a : s.tables) s.names[a.first] = "shared " + std::to_string(a.first);

    // Each entry's target: a core airport its route reaches, at least two
    // legs away when there is one.
    const oracle::Network net = literalNetwork(s.tables);
    for (int i = 0; i < entries; ++i) {
        const int entry = kSharedEntryBase + i;
        std::vector<int> far, near;
        for (int a : s.core) {
            std::list<TTicket> route;
            if (oracle::literalFitRoute(net, INT_MAX, entry, a, route) != 0) continue;
            (route.size() >= 4 ? far : near).push_back(a);
        }
        const std::vector<int>& from = far.empty() ? near : far;
        SharedQuery q;
        q.entry = entry;
        q.target = from[pick(0, static_cast<int>(from.size()) - 1)];
        std::list<TTicket> route;
        oracle::literalFitRoute(net, INT_MAX, entry, q.target, route);
        q.route = routeRows(s.tables, route);
        for (std::size_t k = 0; k < q.route.size(); k += 2) q.total += q.route[k].days;
        s.queryOfEntry[entry] = static_cast<int>(s.queries.size());
        s.queries.push_back(q);
    }
    return s;
}

// ---- one thread's region and its model ----

using LegKey = std::tuple<int, int, int>;  // flight number, from, to

class Region {
public:
    Region(int index, int threads) {
        const int base = (index - threads / 2) * 100;
        for (int k = 0; k < kRegionPool; ++k) pool.push_back(base - kRegionPool / 2 + k);
        entry = base + 50;
        hub = base + 51;
    }

    bool holds(int airport) const {
        return airport == entry || airport == hub || (airport >= pool.front() && airport <= pool.back());
    }
    bool present(int airport) const { return names.count(airport) != 0; }

    // The library's codes for the same edit.
    int addAirport(int airport, const std::string& name) {
        if (present(airport)) return -2;
        names[airport] = name;
        tables[airport];
        return 0;
    }
    int addFlight(const std::string& name, int number, int days, int from, int to) {
        if (!present(from) || !present(to)) return -2;
        if (!addModelFlight(tables, name, number, days, from, to)) return -2;
        added[name] = LegFlight{number, days, from, to};
        return 0;
    }
    int removeFlight(int airport, int number) {
        if (!present(airport)) return -2;
        auto f = tables[airport].find(number);
        if (f == tables[airport].end()) return -2;
        const int other = f->second.from == airport ? f->second.to : f->second.from;
        tables[airport].erase(f);
        tables[other].erase(number);
        return 0;
    }
    int removeAirport(int airport) {
        if (!present(airport)) return 0;
        for (const auto& f : tables[airport]) {
            const int other = f.second.from == airport ? f.second.to : f.second.from;
            tables[other].erase(f.first);
        }
        tables.erase(airport);
        names.erase(airport);
        return 0;
    }

    struct LegFlight {
        int number, days, from, to;
    };

    std::vector<int> pool;
    int entry = 0, hub = 0;
    std::map<int, std::string> names;  // present airports
    Tables tables;
    // Every flight ever added, by its name (names are never reused).
    std::map<std::string, LegFlight> added;
    // Every route a region query returned, as its legs.
    std::set<std::vector<LegKey>> routes;
};

std::vector<LegKey> legsOf(const std::vector<Row>& rows) {
    std::vector<LegKey> legs;
    for (std::size_t k = 0; k + 1 < rows.size(); k += 2) legs.emplace_back(rows[k].flight, rows[k].from, rows[k].to);
    return legs;
}

bool isSubsequence(const std::vector<LegKey>& some, const std::vector<LegKey>& whole) {
    std::size_t i = 0;
    for (std::size_t k = 0; k < whole.size() && i < some.size(); ++k)
        if (whole[k] == some[i]) ++i;
    return i == some.size();
}

// ---- the run ----

struct Tally {
    long long edits = 0, queries = 0, routesFound = 0, bookings = 0, bookingsEmpty = 0, bookingsRefused = 0,
              routeReports = 0, ownRouteReports = 0, airportReports = 0;
};

class Stress;

class Worker {
public:
    Worker(Stress& stress, int index, int threads, unsigned seed)
        : stress(stress), index(index), rng(seed), region(index, threads) {}

    void prepare();
    void run(int operations);

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    void fail(const std::string& what);

    Stress& stress;
    const int index;
    std::mt19937 rng;
    Region region;
    std::vector<int> sharedQueries;  // indices of the shared queries this thread owns
    Tally tally;
    std::vector<std::string> failures;
    std::size_t failureCount = 0;
    int step = -1;
    // Route reports that showed a region's route; checked after the run,
    // against the routes its owner recorded.
    std::vector<std::vector<Row>> regionReports;
    // The largest booked count seen per shared flight entry.
    std::map<std::pair<int, int>, int> seenBooked;

private:
    void edit();
    void regionQuery();
    void breakAndBook(const std::vector<Row>& route);
    void sharedQuery();
    void crossQuery();
    void book();
    void checkRouteReport(const std::vector<Row>& rows, const char* when);
    void airportReport();
    int dayCount();
    std::string flightName();
    int serial = 0;
};

class Stress {
public:
    explicit Stress(int threads)
        : threads(threads),
          store(new DataAccess::TDataAccess()),
          management(new ManagementFlight::TManagementFlight(store.get())),
          booking(new ArmoringTicket::TArmoringTicket(store.get())),
          library(*management, *booking) {}

    // Which region an airport belongs to, or -1.
    int regionOf(int airport) const {
        for (const auto& w : workers)
            if (w->region.holds(airport)) return w->index;
        return -1;
    }

    const int threads;
    std::unique_ptr<DataAccess::TDataAccess> store;
    std::unique_ptr<ManagementFlight::TManagementFlight> management;
    std::unique_ptr<ArmoringTicket::TArmoringTicket> booking;
    tavrik::Network library;
    SharedArea shared;
    std::vector<std::unique_ptr<Worker>> workers;
    std::atomic<int> ready{0};
};

void Worker::fail(const std::string& what) {
    ++failureCount;
    if (failures.size() < 20) failures.push_back("thread " + std::to_string(index) + " step " + std::to_string(step) + ": " + what);
}

int Worker::dayCount() {
    const int r = pick(0, 99);
    if (r < 70) return pick(0, 9);
    if (r < 80) return pick(256, 400);             // past the bitmap queue's range
    if (r < 83) return pick(1500000000, INT_MAX);  // totals past 2^32
    if (r < 85) return pick(-5, -1);               // the search runs to its end
    return pick(10, 60);
}

std::string Worker::flightName() {
    std::string name = "t" + std::to_string(index) + "#" + std::to_string(serial++);
    // Names come back byte for byte, embedded zero bytes included.
    if (serial % 7 == 0) name += std::string("\0\xff", 2);
    return name;
}

// The region starts with its entry, its hub and the flight joining them, and
// a few airports and flights; single-threaded, before the run.
void Worker::prepare() {
    tavrik::Network& lib = stress.library;
    auto expect = [this](int got, int want, const std::string& what) {
        if (got != want) fail(what + " gave " + std::to_string(got) + ", expected " + std::to_string(want));
    };
    expect(lib.addAirport(region.entry, "entry"), region.addAirport(region.entry, "entry"), "adding the entry");
    expect(lib.addAirport(region.hub, "hub"), region.addAirport(region.hub, "hub"), "adding the hub");
    const std::string name = flightName();
    const int days = pick(0, 3);
    expect(lib.addFlight(name, kEntryFlight, days, region.entry, region.hub),
           region.addFlight(name, kEntryFlight, days, region.entry, region.hub), "adding the entry flight");
    for (int a : region.pool)
        if (pick(0, 1) == 0) {
            const std::string n = "airport " + std::to_string(a);
            expect(lib.addAirport(a, n), region.addAirport(a, n), "adding an airport");
        }
    for (int i = 0; i < 3 * kRegionPool; ++i) edit();
}

void Worker::run(int operations) {
    stress.ready.fetch_add(1);
    while (stress.ready.load() < stress.threads) std::this_thread::yield();
    for (step = 0; step < operations; ++step) {
        const int r = pick(0, 99);
        if (r < 28) edit();
        else if (r < 50) regionQuery();
        else if (r < 63) sharedQuery();
        else if (r < 68) crossQuery();
        else if (r < 80) book();
        else if (r < 85) checkRouteReport(stress.library.routeReport(), "report");
        else airportReport();
    }
}

void Worker::edit() {
    tavrik::Network& lib = stress.library;
    ++tally.edits;
    auto poolAirport = [this] { return region.pool[pick(0, kRegionPool - 1)]; };
    // Flights join pool airports and the hub, never the entry.
    auto flightAirport = [&] { return pick(0, 3) == 0 ? region.hub : poolAirport(); };
    const int r = pick(0, 99);
    int got, want;
    std::ostringstream what;
    if (r < 12) {
        // Sometimes the entry or the hub, which are always there.
        const int a = pick(0, 9) == 0 ? (pick(0, 1) ? region.entry : region.hub) : poolAirport();
        const std::string name = "airport " + std::to_string(a) + " of " + std::to_string(serial++);
        want = region.addAirport(a, name);
        got = lib.addAirport(a, name);
        what << "addAirport(" << a << ")";
    } else if (r < 72) {
        const std::string name = flightName();
        const int number = pick(-4, 35), days = dayCount(), from = flightAirport(), to = flightAirport();
        want = region.addFlight(name, number, days, from, to);
        got = lib.addFlight(name, number, days, from, to);
        what << "addFlight(#" << number << ", " << days << "d, " << from << "->" << to << ")";
    } else if (r < 90) {
        const int a = pick(0, 9) == 0 ? region.entry : flightAirport();
        const int number = pick(-4, 35);
        want = region.removeFlight(a, number);
        got = lib.removeFlight(a, number);
        what << "removeFlight(" << a << ", #" << number << ")";
    } else {
        const int a = poolAirport();
        want = region.removeAirport(a);
        got = lib.removeAirport(a);
        what << "removeAirport(" << a << ")";
    }
    if (got != want) fail(what.str() + " gave " + std::to_string(got) + ", expected " + std::to_string(want));
}

void Worker::regionQuery() {
    tavrik::Network& lib = stress.library;
    ++tally.queries;
    int from = region.entry;
    if (pick(0, 9) == 0) {
        // From an airport of the region that is absent, when there is one.
        const int a = region.pool[pick(0, kRegionPool - 1)];
        if (!region.present(a)) from = a;
    }
    // Mostly to an airport that is there.
    int to;
    const int r = pick(0, 15);
    if (pick(0, 3) != 0) {
        auto it = region.names.begin();
        std::advance(it, pick(0, static_cast<int>(region.names.size()) - 1));
        to = it->first;
    } else {
        to = r < kRegionPool ? region.pool[static_cast<std::size_t>(r)] : (r == kRegionPool ? region.hub : region.entry);
    }

    const oracle::Network net = literalNetwork(region.tables);
    std::list<TTicket> route;
    int maxDays = INT_MAX;
    if (oracle::literalFitRoute(net, INT_MAX, from, to, route) == 0 && pick(0, 2) == 0) {
        std::int64_t total = 0;
        for (const Row& row : routeRows(region.tables, route)) total += row.days;
        total /= 2;
        if (total > INT_MIN + 5 && total < INT_MAX - 5) maxDays = static_cast<int>(total) + pick(-3, 3);
    } else if (pick(0, 3) == 0) {
        maxDays = pick(-3, 40);
    }
    const int want = libraryCode(oracle::literalFitRoute(net, maxDays, from, to, route));
    const std::vector<Row> expected = routeRows(region.tables, route);
    if (want == 0 && !expected.empty()) region.routes.insert(legsOf(expected));

    const int got = lib.getRouteFlight(maxDays, from, to);
    if (got != want) {
        fail("getRouteFlight(" + std::to_string(maxDays) + ", " + std::to_string(from) + ", " + std::to_string(to) +
             ") in the own region gave " + std::to_string(got) + ", expected " + std::to_string(want));
        return;
    }
    if (got == 0) ++tally.routesFound;
    const int next = pick(0, 4);
    if (next == 0) return book();
    if (next == 1) return;
    if (next == 2 && !expected.empty()) return breakAndBook(expected);

    // Only this thread puts its region's routes in the list, and it has not
    // queried since: a report of a route of this region is the route just
    // fitted, whole, since only this thread edits the region.
    const std::vector<Row> rows = lib.routeReport();
    checkRouteReport(rows, "report after an own query");
    if (rows.empty() || stress.regionOf(rows.front().airport) != index) return;
    ++tally.ownRouteReports;
    if (got != 0 || !sameButBooked(rows, expected))
        fail("after getRouteFlight(" + std::to_string(maxDays) + ", " + std::to_string(from) + ", " +
             std::to_string(to) + ") = " + std::to_string(got) + " the route report is " + describe(rows) +
             ", expected " + describe(expected));
}

// Right after fitting a route in its region, the owner breaks it (or not)
// and books the list. A ticket is honoured only while its airport holds its
// flight between the same two airports: a removed leg, a removed airport, or
// the flight number given to the reverse flight all make the booking fail
// and change no count. If the report afterwards still shows the region's
// route, the list was this route all along (nobody else puts the region's
// routes in it), so the booking's code and the report are both known.
void Worker::breakAndBook(const std::vector<Row>& route) {
    tavrik::Network& lib = stress.library;
    const Row& leg = route[2 * static_cast<std::size_t>(pick(0, static_cast<int>(route.size() / 2) - 1))];
    std::ostringstream what;
    auto expect = [&](int got, int want) {
        if (got != want) fail(what.str() + " gave " + std::to_string(got) + ", expected " + std::to_string(want));
    };
    const int r = pick(0, 3);
    if (r == 0 && leg.flight != kEntryFlight) {
        what << "removeFlight(" << leg.from << ", #" << leg.flight << ") of a fitted route";
        expect(lib.removeFlight(leg.from, leg.flight), region.removeFlight(leg.from, leg.flight));
    } else if (r == 1 && leg.flight != kEntryFlight) {
        what << "removeFlight(" << leg.to << ", #" << leg.flight << ") of a fitted route";
        expect(lib.removeFlight(leg.to, leg.flight), region.removeFlight(leg.to, leg.flight));
        const std::string name = flightName();
        const int days = pick(0, 9);
        what.str("");
        what << "addFlight(#" << leg.flight << ", " << days << "d, " << leg.to << "->" << leg.from << ") reversing a fitted leg";
        expect(lib.addFlight(name, leg.flight, days, leg.to, leg.from),
               region.addFlight(name, leg.flight, days, leg.to, leg.from));
    } else if (r == 2 && leg.airport != region.entry && leg.airport != region.hub) {
        what << "removeAirport(" << leg.airport << ") of a fitted route";
        expect(lib.removeAirport(leg.airport), region.removeAirport(leg.airport));
    }

    std::vector<Row> honoured;
    for (const Row& row : route) {
        const auto table = region.tables.find(row.airport);
        if (table == region.tables.end()) continue;
        const auto f = table->second.find(row.flight);
        if (f == table->second.end() || f->second.from != row.from || f->second.to != row.to) continue;
        honoured.push_back(Row{row.airport, row.flight, f->second.name, f->second.days, row.from, row.to, 0});
    }
    const int want = honoured.size() == route.size() ? 0 : -5;

    const std::vector<Row> before = lib.routeReport();
    checkRouteReport(before, "report of a fitted route before booking it");
    const int got = lib.armoringTickets();
    if (got == 0) ++tally.bookings;
    else if (got == -4) ++tally.bookingsEmpty;
    else if (got == -5) ++tally.bookingsRefused;
    else fail("armoringTickets gave " + std::to_string(got));

    const std::vector<Row> rows = lib.routeReport();
    checkRouteReport(rows, "report after booking a fitted route");
    if (rows.empty() || stress.regionOf(rows.front().airport) != index) return;
    ++tally.ownRouteReports;
    if (got != want)
        fail("booking the route " + describe(route) + " after " + what.str() + " gave " + std::to_string(got) +
             ", expected " + std::to_string(want));
    if (!sameButBooked(rows, honoured)) {
        fail("after " + what.str() + " and a booking, the route report is " + describe(rows) + ", expected " +
             describe(honoured));
        return;
    }
    // The list was this route since before the first report too. Every
    // booking in between booked it: a refused one changed no count, and the
    // others raised every leg by one each.
    if (!sameButBooked(before, rows)) {
        fail("the route report changed from " + describe(before) + " to " + describe(rows) + " without an edit");
        return;
    }
    const int raised = rows.empty() ? 0 : rows[0].booked - before[0].booked;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (rows[k].booked - before[k].booked != raised || (want == 0 && raised < 1) || (want != 0 && raised != 0)) {
            fail("booking the route " + describe(route) + " after " + what.str() + " took its booked counts from " +
                 describe(before) + " to " + describe(rows));
            return;
        }
    }
}

void Worker::sharedQuery() {
    tavrik::Network& lib = stress.library;
    ++tally.queries;
    const int mine = sharedQueries[static_cast<std::size_t>(pick(0, static_cast<int>(sharedQueries.size()) - 1))];
    const SharedQuery& q = stress.shared.queries[static_cast<std::size_t>(mine)];
    const int r = pick(0, 9);
    int maxDays, to = q.target, want;
    if (r < 7) {
        maxDays = static_cast<int>(q.total) + pick(-3, 3);
        want = q.total <= maxDays ? 0 : -7;
    } else if (r < 9) {
        // The island: never reached (with a limit below -1 the limit speaks first).
        to = stress.shared.island[static_cast<std::size_t>(pick(0, kIslandAirports - 1))];
        maxDays = pick(-3, 50);
        want = maxDays < -1 ? -7 : -8;
    } else {
        to = kNeverUsed;
        maxDays = INT_MAX;
        want = -6;
    }
    const int got = lib.getRouteFlight(maxDays, q.entry, to);
    if (got != want) {
        fail("getRouteFlight(" + std::to_string(maxDays) + ", " + std::to_string(q.entry) + ", " + std::to_string(to) +
             ") in the shared area gave " + std::to_string(got) + ", expected " + std::to_string(want));
        return;
    }
    if (got == 0) ++tally.routesFound;
    const int next = pick(0, 3);
    if (next == 0) return book();
    if (next == 1) return;

    // Only this thread queries from its entries: a report of one of their
    // routes is the route just fitted.
    const std::vector<Row> rows = lib.routeReport();
    checkRouteReport(rows, "report after a shared query");
    if (rows.empty() || !stress.shared.holds(rows.back().airport)) return;
    const auto owner = stress.shared.queryOfEntry.find(rows.back().airport);
    if (owner == stress.shared.queryOfEntry.end()) return;  // already reported as broken
    if (std::find(sharedQueries.begin(), sharedQueries.end(), owner->second) == sharedQueries.end()) return;
    ++tally.ownRouteReports;
    if (got != 0 || owner->second != mine)
        fail("after getRouteFlight(" + std::to_string(maxDays) + ", " + std::to_string(q.entry) + ", " +
             std::to_string(to) + ") = " + std::to_string(got) + " the route report is " + describe(rows));
}

// Queries between areas: never a route.
void Worker::crossQuery() {
    tavrik::Network& lib = stress.library;
    ++tally.queries;
    const SharedArea& s = stress.shared;
    int from, to, want;
    const int r = pick(0, 3);
    if (r == 0) {
        from = region.entry;
        to = s.core[static_cast<std::size_t>(pick(0, kCoreAirports - 1))];
        want = -8;
    } else if (r == 1) {
        from = s.queries[static_cast<std::size_t>(sharedQueries.front())].entry;
        to = region.pool[static_cast<std::size_t>(pick(0, kRegionPool - 1))];
        want = region.present(to) ? -8 : -6;
    } else if (r == 2) {
        from = kNeverUsed;
        to = region.hub;
        want = -5;
    } else {
        // Departure and arrival both unknown: the departure speaks first.
        from = region.pool[static_cast<std::size_t>(pick(0, kRegionPool - 1))];
        to = kNeverUsed;
        want = region.present(from) ? -6 : -5;
    }
    const int got = lib.getRouteFlight(INT_MAX, from, to);
    if (got != want)
        fail("getRouteFlight(" + std::to_string(INT_MAX) + ", " + std::to_string(from) + ", " + std::to_string(to) +
             ") across areas gave " + std::to_string(got) + ", expected " + std::to_string(want));
}

void Worker::book() {
    const int got = stress.library.armoringTickets();
    if (got == 0) ++tally.bookings;
    else if (got == -4) ++tally.bookingsEmpty;
    else if (got == -5) ++tally.bookingsRefused;
    else fail("armoringTickets gave " + std::to_string(got));
}

// A route report is the route of some query: legs chained from the arrival
// back to the departure, two entries per leg with equal booked counts. A
// route in the shared area is always whole and must be one of the entries'
// routes; a region's route may have lost legs to its owner's edits since it
// was fitted, and is checked after the run against the routes its owner got.
void Worker::checkRouteReport(const std::vector<Row>& rows, const char* when) {
    ++tally.routeReports;
    if (rows.empty()) return;
    auto broken = [&](const std::string& why) { fail(std::string(when) + " " + describe(rows) + ": " + why); };
    if (rows.size() % 2 != 0) return broken("odd number of entries");
    for (std::size_t k = 0; k < rows.size(); k += 2) {
        const Row& arrival = rows[k];
        const Row& departure = rows[k + 1];
        if (arrival.flight != departure.flight || arrival.name != departure.name || arrival.days != departure.days ||
            arrival.from != departure.from || arrival.to != departure.to)
            return broken("the two entries of a leg differ");
        if (arrival.airport != arrival.to || departure.airport != departure.from || arrival.from == arrival.to)
            return broken("a leg's entries are not at its arrival and departure airports");
        if (arrival.booked != departure.booked) return broken("a leg's two entries have different booked counts");
    }
    const int area = stress.regionOf(rows.front().airport);
    if (area < 0) {
        const auto entry = stress.shared.queryOfEntry.find(rows.back().from);
        if (entry == stress.shared.queryOfEntry.end() ||
            !sameButBooked(rows, stress.shared.queries[static_cast<std::size_t>(entry->second)].route))
            return broken("not the route of any query of the shared area");
        // Every booking of this route raised each of its legs.
        for (const Row& row : rows)
            if (row.booked < rows.back().booked) return broken("a leg was booked less often than its route");
        for (const Row& row : rows) {
            int& seen = seenBooked[{row.airport, row.flight}];
            if (row.booked < seen) return broken("a booked count went down");
            seen = row.booked;
        }
        return;
    }
    const Row& last = rows.back();
    const Region& owner = stress.workers[static_cast<std::size_t>(area)]->region;
    if (last.flight != kEntryFlight || last.from != owner.entry || last.to != owner.hub)
        return broken("a region's route that does not leave from its entry");
    for (const Row& row : rows) {
        if (stress.regionOf(row.airport) != area) return broken("a route across areas");
        if (row.booked > last.booked) return broken("a leg booked more often than the region's entry flight");
    }
    regionReports.push_back(rows);
}

void Worker::airportReport() {
    tavrik::Network& lib = stress.library;
    ++tally.airportReports;
    const SharedArea& s = stress.shared;
    const int r = pick(0, 9);
    int airport;
    if (r < 5) {
        auto it = s.tables.begin();
        std::advance(it, pick(0, static_cast<int>(s.tables.size()) - 1));
        airport = it->first;
    } else if (r < 8) {
        const int k = pick(0, kRegionPool + 1);
        airport = k < kRegionPool ? region.pool[static_cast<std::size_t>(k)] : (k == kRegionPool ? region.hub : region.entry);
    } else {
        const Region& other = stress.workers[static_cast<std::size_t>(pick(0, stress.threads - 1))]->region;
        airport = other.pool[static_cast<std::size_t>(pick(0, kRegionPool - 1))];
        if (pick(0, 3) == 0) airport = pick(0, 1) ? other.hub : other.entry;
    }
    const std::vector<Row> rows = lib.airportReport(airport);
    auto broken = [&](const std::string& why) {
        fail("airport report of " + std::to_string(airport) + " " + describe(rows) + ": " + why);
    };

    if (s.holds(airport)) {
        if (!sameButBooked(rows, tableRows(airport, s.tables.at(airport)))) return broken("not the airport's table");
        for (const Row& row : rows) {
            int& seen = seenBooked[{row.airport, row.flight}];
            if (row.booked < seen) return broken("a booked count went down");
            seen = row.booked;
        }
        return;
    }
    const int area = stress.regionOf(airport);
    const Region& owner = stress.workers[static_cast<std::size_t>(area)]->region;
    if (area == index) {
        const std::vector<Row> expected =
            region.present(airport) ? tableRows(airport, region.tables.at(airport)) : std::vector<Row>{};
        if (!sameButBooked(rows, expected)) return broken("expected " + describe(expected));
    } else {
        // Another thread's region: only its shape is known.
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const Row& row = rows[k];
            if (row.airport != airport || (row.from != airport && row.to != airport) || row.from == row.to)
                return broken("an entry that does not belong to this airport");
            if (stress.regionOf(row.from) != area || stress.regionOf(row.to) != area)
                return broken("a flight across areas");
            if (k > 0 && rows[k - 1].flight >= row.flight) return broken("flights out of order");
        }
    }
    // The entry holds its one flight; every booking of a region flight also
    // booked that flight, whose hub entry has the same count.
    if (airport == owner.entry && (rows.size() != 1 || rows[0].flight != kEntryFlight))
        return broken("the entry holds other flights than its own");
    if (airport == owner.hub) {
        const auto entryFlight =
            std::find_if(rows.begin(), rows.end(), [](const Row& row) { return row.flight == kEntryFlight; });
        if (entryFlight == rows.end()) return broken("the entry flight is missing");
        for (const Row& row : rows)
            if (row.booked > entryFlight->booked) return broken("a flight booked more often than the entry flight");
    }
}

std::string failuresOf(const std::vector<std::unique_ptr<Worker>>& workers) {
    std::ostringstream out;
    for (const auto& w : workers) {
        if (w->failureCount == 0) continue;
        out << "thread " << w->index << ": " << w->failureCount << " failures, the first ones:\n";
        for (const std::string& f : w->failures) out << "  " << f << "\n";
    }
    return out.str();
}

// Everything the store holds, with booked counts.
std::map<int, std::vector<Row>> networkOf(tavrik::Network& lib, IManagementFlight& management) {
    std::map<int, std::vector<Row>> out;
    for (const auto& a : *management.getAirports()) out[a.first] = lib.airportReport(a.first);
    return out;
}

void runStress(int threads, unsigned seed) {
    const int operations = operationsPerThread();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(threads) + " threads, " +
                 std::to_string(operations) + " operations each");
    Stress stress(threads);
    tavrik::Network& lib = stress.library;

    // ---- the shared area ----
    std::mt19937 rng(seed);
    stress.shared = buildSharedArea(rng, threads * kEntriesPerThread);
    const SharedArea& shared = stress.shared;
    // Airports in no particular order: the search keeps out-of-order ones apart.
    std::vector<std::pair<int, std::string>> airports(shared.names.begin(), shared.names.end());
    std::shuffle(airports.begin(), airports.end(), rng);
    for (const auto& a : airports) ASSERT_EQ(lib.addAirport(a.first, a.second), 0);
    for (const auto& a : shared.tables) {
        for (const auto& f : a.second) {
            if (f.second.from == a.first) {
                ASSERT_EQ(lib.addFlight(f.second.name, f.first, f.second.days, f.second.from, f.second.to), 0);
            }
        }
    }

    // ---- the regions ----
    for (int t = 0; t < threads; ++t) {
        stress.workers.push_back(std::make_unique<Worker>(stress, t, threads, seed * 31u + static_cast<unsigned>(t) + 1u));
        for (int k = 0; k < kEntriesPerThread; ++k) stress.workers.back()->sharedQueries.push_back(k * threads + t);
    }
    for (auto& w : stress.workers) w->prepare();
    ASSERT_EQ(failuresOf(stress.workers), "");

    // ---- the run ----
    std::vector<std::thread> running;
    for (auto& w : stress.workers) running.emplace_back([&w, operations] { w->run(operations); });
    for (std::thread& t : running) t.join();
    EXPECT_EQ(failuresOf(stress.workers), "");

    Tally total;
    for (const auto& w : stress.workers) {
        const Tally& t = w->tally;
        total.edits += t.edits;
        total.queries += t.queries;
        total.routesFound += t.routesFound;
        total.bookings += t.bookings;
        total.bookingsEmpty += t.bookingsEmpty;
        total.bookingsRefused += t.bookingsRefused;
        total.routeReports += t.routeReports;
        total.ownRouteReports += t.ownRouteReports;
        total.airportReports += t.airportReports;
    }
    std::printf("[stress] %d threads x %d operations: %lld edits, %lld queries (%lld routes), "
                "bookings %lld booked / %lld empty list / %lld refused, %lld route reports (%lld of the own query), "
                "%lld airport reports\n",
                threads, operations, total.edits, total.queries, total.routesFound, total.bookings,
                total.bookingsEmpty, total.bookingsRefused, total.routeReports, total.ownRouteReports,
                total.airportReports);

    // ---- the network afterwards: every airport and every flight ----
    const std::map<int, std::vector<Row>> net = networkOf(lib, *stress.management);
    std::map<int, std::string> names = shared.names;
    std::map<int, std::vector<Row>> expected;
    for (const auto& a : shared.tables) expected[a.first] = tableRows(a.first, a.second);
    for (const auto& w : stress.workers) {
        for (const auto& a : w->region.names) names[a.first] = a.second;
        for (const auto& a : w->region.tables) expected[a.first] = tableRows(a.first, a.second);
    }
    std::map<int, std::string> storeNames;
    for (const auto& a : *stress.management->getAirports()) storeNames[a.first] = a.second.name;
    EXPECT_EQ(storeNames, names);
    for (const auto& a : expected) {
        const auto got = net.find(a.first);
        if (got == net.end()) continue;  // named above
        EXPECT_TRUE(sameButBooked(got->second, a.second))
            << "airport " << a.first << " holds " << describe(got->second) << ", expected " << describe(a.second);
    }

    // ---- booked counts ----
    std::map<std::pair<int, int>, int> booked;
    for (const auto& a : net)
        for (const Row& row : a.second) booked[{row.airport, row.flight}] = row.booked;
    // Both entries of a flight are booked together.
    for (const auto& a : net) {
        for (const Row& row : a.second) {
            const int other = row.airport == row.from ? row.to : row.from;
            const auto there = booked.find({other, row.flight});
            if (there != booked.end()) {
                EXPECT_EQ(there->second, row.booked) << "flight #" << row.flight << " " << row.from << "->" << row.to;
            }
        }
    }
    // The shared area: each route's entry flight counts its bookings, and
    // every flight's count is the sum over the routes holding it.
    long long bookedRoutes = 0;
    std::map<std::pair<int, int>, int> sharedExpected;
    for (const SharedQuery& q : shared.queries) {
        const int n = booked[{q.route.back().airport, q.route.back().flight}];
        bookedRoutes += n;
        for (const Row& row : q.route) sharedExpected[{row.airport, row.flight}] += n;
    }
    for (const auto& a : shared.tables) {
        for (const auto& f : a.second) {
            const std::pair<int, int> entry(a.first, f.first);
            EXPECT_EQ(booked[entry], sharedExpected[entry])
                << "booked count of flight #" << f.first << " at shared airport " << a.first;
        }
    }
    // A region: its entry flight counts the bookings of its routes, and no
    // flight of the region was booked more often.
    for (const auto& w : stress.workers) {
        const int n = booked[{w->region.entry, kEntryFlight}];
        bookedRoutes += n;
        for (const auto& a : w->region.tables) {
            for (const auto& f : a.second) {
                EXPECT_LE(booked[std::make_pair(a.first, f.first)], n)
                    << "booked count of flight #" << f.first << " at airport " << a.first << " of region " << w->index;
            }
        }
    }
    // Every successful booking booked one route, and nothing else was booked.
    EXPECT_EQ(bookedRoutes, total.bookings);
    // What the threads saw of the shared area never exceeds the end.
    for (const auto& w : stress.workers) {
        for (const auto& seen : w->seenBooked) {
            EXPECT_LE(seen.second, booked[seen.first]) << "thread " << w->index << " saw flight #" << seen.first.second
                                                       << " at " << seen.first.first << " booked " << seen.second;
        }
    }

    // ---- route reports of regions: legs of a route their owner got ----
    for (const auto& w : stress.workers) {
        for (const std::vector<Row>& rows : w->regionReports) {
            const Region& owner = stress.workers[static_cast<std::size_t>(stress.regionOf(rows.front().airport))]->region;
            bool known = true;
            for (std::size_t k = 0; k < rows.size(); k += 2) {
                const auto f = owner.added.find(rows[k].name);
                if (f == owner.added.end() || f->second.number != rows[k].flight || f->second.days != rows[k].days ||
                    f->second.from != rows[k].from || f->second.to != rows[k].to)
                    known = false;
            }
            const std::vector<LegKey> legs = legsOf(rows);
            const bool ofSomeQuery = owner.routes.count(legs) != 0 || std::any_of(owner.routes.begin(), owner.routes.end(),
                                                 [&legs](const std::vector<LegKey>& r) { return isSubsequence(legs, r); });
            EXPECT_TRUE(known && ofSomeQuery)
                << "thread " << w->index << " got the route report " << describe(rows)
                << (known ? ", whose legs are not those of any route fitted in that region"
                          : ", with a flight that was never added");
        }
    }

    // ---- the route search afterwards, against the literal search on the whole network ----
    Tables all;
    for (const auto& a : net) {
        Table& t = all[a.first];
        for (const Row& row : a.second) t[row.flight] = Flight{row.name, row.days, row.from, row.to};
    }
    const oracle::Network literal = literalNetwork(all);
    std::vector<int> ids;
    for (const auto& a : net) ids.push_back(a.first);
    ids.push_back(kNeverUsed);
    std::vector<std::pair<int, int>> pairs;
    for (const SharedQuery& q : shared.queries) pairs.emplace_back(q.entry, q.target);
    for (const auto& w : stress.workers)
        for (int a : w->region.pool) pairs.emplace_back(w->region.entry, a);
    for (int i = 0; i < 200; ++i)
        pairs.emplace_back(ids[rng() % ids.size()], ids[rng() % ids.size()]);
    for (const auto& p : pairs) {
        std::list<TTicket> route;
        const int want = libraryCode(oracle::literalFitRoute(literal, INT_MAX, p.first, p.second, route));
        std::vector<Row> expectedRows;
        for (const TTicket& t : route) {
            const Flight& f = all.at(t.airport).at(t.flight);
            expectedRows.push_back(Row{t.airport, t.flight, f.name, f.days, f.from, f.to, booked[{t.airport, t.flight}]});
        }
        EXPECT_EQ(lib.getRouteFlight(INT_MAX, p.first, p.second), want) << p.first << " -> " << p.second;
        const std::vector<Row> rows = lib.routeReport();
        EXPECT_TRUE(rows == expectedRows) << p.first << " -> " << p.second << ": " << describe(rows) << ", expected "
                                          << describe(expectedRows);
    }

    // The run did what it is for.
    EXPECT_GT(total.routesFound, 0);
    EXPECT_GT(total.bookings, 0);
    EXPECT_GT(total.ownRouteReports, 0);
}

TEST(LibraryStress, FourThreadsMixEditsQueriesBookingsAndReports) { runStress(4, baseSeed()); }

TEST(LibraryStress, SixThreadsMixEditsQueriesBookingsAndReports) { runStress(6, baseSeed() + 1); }

}  // namespace

// fitAndBook and fitRoute from several threads while one thread works the
// current ticket list and another edits elsewhere. Each booking thread owns a
// chain of three flights that only it books: its k-th fitAndBook must return
// exactly its own three legs, each booked k times (a lost or doubled booking,
// or another thread's leg, shows). The fitting thread reads every chain and
// must never see one half booked: the three legs of a chain always carry the
// same count. The current list's owner fits its route once and then books
// and reports it over and over: its report must always be its route with its
// own count, whatever the others do.
TEST(LibraryWholeRoutes, FitAndBookIsOneStepForEveryOtherThread) {
    constexpr int kBookers = 4;
    const int rounds = std::max(200, operationsPerThread() / 50);
    DataAccess::TDataAccess store;
    ManagementFlight::TManagementFlight management(&store);
    ArmoringTicket::TArmoringTicket booking(&store);
    tavrik::Network lib(management, booking);

    // Chain c (0 .. kBookers - 1 for the booking threads, kBookers for the
    // current list): airports 100c .. 100c + 3, flights 100c + 1 .. 100c + 3.
    auto chainAirport = [](int chain, int k) { return 100 * chain + k; };
    for (int chain = 0; chain <= kBookers; ++chain) {
        for (int k = 0; k < 4; ++k) ASSERT_EQ(0, lib.addAirport(chainAirport(chain, k), "a"));
        for (int k = 1; k < 4; ++k)
            ASSERT_EQ(0, lib.addFlight("f" + std::to_string(chain), chainAirport(chain, k), k,
                                       chainAirport(chain, k - 1), chainAirport(chain, k)));
    }
    ASSERT_EQ(0, lib.addAirport(9000, "edited"));
    ASSERT_EQ(0, lib.addAirport(9001, "edited"));

    std::atomic<bool> done{false};
    std::vector<std::string> failures(kBookers + 3);
    auto legsAreChain = [&](const std::vector<Row>& legs, int chain) {
        if (legs.size() != 3) return false;
        for (int k = 1; k < 4; ++k) {
            const Row& leg = legs[k - 1];
            if (leg.flight != chainAirport(chain, k) || leg.from != chainAirport(chain, k - 1) ||
                leg.to != chainAirport(chain, k) || leg.airport != leg.from || leg.days != k)
                return false;
        }
        return true;
    };

    std::vector<std::thread> threads;
    for (int chain = 0; chain < kBookers; ++chain) {
        threads.emplace_back([&, chain] {
            for (int round = 1; round <= rounds && failures[chain].empty(); ++round) {
                tavrik::FittedRoute fitted = lib.fitAndBook(INT_MAX, chainAirport(chain, 0), chainAirport(chain, 3));
                if (fitted.result != 0 || !legsAreChain(fitted.legs, chain)) {
                    failures[chain] = "chain " + std::to_string(chain) + ": wrong route " + describe(fitted.legs);
                } else {
                    for (const Row& leg : fitted.legs)
                        if (leg.booked != round)
                            failures[chain] = "chain " + std::to_string(chain) + " round " + std::to_string(round) +
                                              ": booked " + describe(fitted.legs);
                }
            }
        });
    }
    threads.emplace_back([&] {  // the current list's owner
        std::string& failure = failures[kBookers];
        const int chain = kBookers;
        if (lib.getRouteFlight(INT_MAX, chainAirport(chain, 0), chainAirport(chain, 3)) != 0) {
            failure = "current route not fitted";
            return;
        }
        for (int round = 1; round <= rounds && failure.empty(); ++round) {
            if (lib.armoringTickets() != 0) failure = "current list not booked";
            const std::vector<Row> report = lib.routeReport();
            if (report.size() != 6) failure = "current list now " + describe(report);
            for (const Row& entry : report)
                if (entry.flight / 100 != chain || entry.booked != round) failure = "current list now " + describe(report);
        }
    });
    threads.emplace_back([&] {  // reads every chain
        std::string& failure = failures[kBookers + 1];
        for (int i = 0; !done && failure.empty(); ++i) {
            const int chain = i % kBookers;
            tavrik::FittedRoute fitted = lib.fitRoute(INT_MAX, chainAirport(chain, 0), chainAirport(chain, 3));
            if (fitted.result != 0 || !legsAreChain(fitted.legs, chain) ||
                fitted.legs[0].booked != fitted.legs[1].booked || fitted.legs[1].booked != fitted.legs[2].booked)
                failure = "chain " + std::to_string(chain) + " read as " + describe(fitted.legs);
        }
    });
    threads.emplace_back([&] {  // edits elsewhere, for exclusive holds in between
        std::string& failure = failures[kBookers + 2];
        while (!done && failure.empty()) {
            if (lib.addFlight("e", 1, 1, 9000, 9001) != 0 || lib.removeFlight(9001, 1) != 0) failure = "edit refused";
        }
    });
    for (int i = 0; i <= kBookers; ++i) threads[i].join();
    done = true;
    for (std::size_t i = kBookers + 1; i < threads.size(); ++i) threads[i].join();

    for (const std::string& failure : failures) EXPECT_EQ("", failure);
    for (int chain = 0; chain < kBookers; ++chain)
        for (int k = 1; k < 4; ++k)
            EXPECT_EQ(rounds, store.getFlights(chainAirport(chain, k))->at(chainAirport(chain, k)).booked);
}

// Networks on threads of their own: each thread drives its own network with
// random edits, queries, typed operations, batch loads and copies, checked
// against its own model, while the other threads do the same on theirs with
// the same airport and flight numbers. The ThreadSanitizer build finds any
// state the networks share; every build finds a change that reached another
// network.
TEST(NetworkStress, NetworksOnThreadsOfTheirOwnShareNothing) {
    constexpr int kThreads = 4;
    const int steps = std::max(2000, operationsPerThread() / 4);
    std::vector<std::unique_ptr<robustness::OpDriver>> drivers;
    robustness::Ranges ranges{-2, 8, 6, 0, 3};
    ranges.typed = true;
    for (int t = 0; t < kThreads; ++t)
        drivers.push_back(std::make_unique<robustness::OpDriver>(ranges, robustness::Checks{},
                                                                 "network " + std::to_string(t)));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            robustness::RandomSource source(baseSeed() + 100 + static_cast<std::uint64_t>(t));
            for (int i = 0; i < steps; ++i) drivers[static_cast<std::size_t>(t)]->step(source);
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const auto& d : drivers) {
        EXPECT_EQ(0u, d->mismatches()) << d->reportText();
        EXPECT_GT(d->outcomes().loadsTaken + d->outcomes().loadsRefused, 0u);
    }
}
