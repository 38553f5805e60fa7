// The fast route search against the literal one (tests/support/LiteralFitting.h)
// on many seeded random networks and on the OpenFlights network: every code
// and every ticket list must be exactly the same, through TArmoringTicket
// (codes shifted by -4) and through TFitingFlight itself. The shared driver
// (tests/support/OpDriver.h) makes every call and checks it; on the random
// networks and the focused cases it also compares everything with the model,
// as the random-operation test does.
//
// The random networks are small on purpose: few airports in a narrow range of
// numbers (negative ones and -1 included), few flight numbers shared by
// unrelated airports, day counts 0..3, so that equal totals, zero-day flights
// and parallel flights are everywhere and every tie rule gets decided.
// Flights and airports come and go between queries, and queries from one
// departure follow each other, since the library resumes its last search.
//
// The library keeps its own copy of the network current edit by edit and
// resumes a stopped search across edits that cannot change it. So the random
// sequences come in three mixes: edits and query groups drawn alike, edits
// before every query (edit-heavy), and long runs of queries from one
// departure with rare edits, mostly at airports the stopped search has not
// included (query-heavy). The edits add airports below, between and above
// the others, take airports out of the middle and add them again, take the
// winning one of parallel flights away and put it back. Focused cases below
// build the shapes that decide the copy's queue kind, slot order and
// rebuilds on purpose; a probe (tests/support/NetworkProbe.h)
// follows a second copy fed the same edits, checks it against the store,
// and shows what the sequences went through.
//
// TAVRIK_ORACLE_SCALE (a positive number, default 1) scales the amount of
// work; sanitizer and coverage builds default to less.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "openflights/OpenFlightsNetwork.h"
#include "bookings/TSeatBooking.h"
#include "choices/Choices.h"
#include "fitting/TFitingFlight.h"
#include "flights/TManagementFlight.h"
#include "store/TDataAccess.h"
#include "tests/support/LiteralFitting.h"
#include "tests/support/NetworkProbe.h"
#include "tests/support/OpDriver.h"
#include "tickets/TArmoringTicket.h"

void PrintTo(const TTicket& t, std::ostream* os) { *os << "{" << t.airport << "," << t.flight << "}"; }

namespace {

double workScale() {
#if defined(TAVRIK_ORACLE_LIGHT)
    double scale = 0.1;
#else
    double scale = 1.0;
#endif
    if (const char* env = std::getenv("TAVRIK_ORACLE_SCALE")) {
        const double v = std::atof(env);
        if (v > 0) scale = v;
    }
    return scale;
}

int scaled(int n) { return std::max(1, static_cast<int>(n * workScale())); }

int clampToInt(std::int64_t v) {
    return static_cast<int>(std::min<std::int64_t>(INT_MAX, std::max<std::int64_t>(INT_MIN, v)));
}

// One library checked against the literal search and the model by the
// shared driver, with the last operations kept for the reports.
using World = robustness::OpDriver;
using oracle::routeTotal;
using robustness::Mix;

// How a random network draws its day counts.
enum class Days {
    Small,          // 0..3
    ZeroOrOne,      // 0..1, mostly ties
    WithNegative,   // -3..3, about a third negative
    Wide,           // 0..2 and 255..258: too wide for the bitmap queue, ties kept
    HugePositive,   // near INT_MAX and small ones
    HugeBothSigns,  // near INT_MAX and near INT_MIN
    Switching,      // 0..3, now and then 17, 100, 255, 256, 300 or -1: the queue changes as they come and go
    Positive,       // 1..3: no zero-day flight, so searches may take a day's labels in any order
    OneOrTwo,       // 1..2: no zero-day flight, and ties everywhere
};

class RandomNetwork {
public:
    // `span`: how many airport numbers the network may use.
    RandomNetwork(std::uint64_t seed, Days days, int span = 14) : rng(seed), days(days) {
        idLow = pick(-6, -1);
        idHigh = idLow + pick(1, span);
        flightLow = pick(-3, 0);
        flightHigh = flightLow + pick(1, 30);
    }

    // Capacities and sales for N passengers among the changes.
    bool seats = false;

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng); }

    int dayCount() {
        switch (days) {
            case Days::Small: return pick(0, 3);
            case Days::ZeroOrOne: return pick(0, 1);
            case Days::WithNegative: return chance(0.3) ? pick(-3, -1) : pick(0, 3);
            case Days::Wide: return chance(0.5) ? pick(0, 2) : pick(255, 258);
            case Days::HugePositive: {
                static const int values[] = {INT_MAX, INT_MAX - 1, INT_MAX / 2, INT_MAX / 2 + 1, 0, 1, 2};
                return values[pick(0, 6)];
            }
            case Days::HugeBothSigns: {
                static const int values[] = {INT_MAX, INT_MAX - 1, INT_MAX / 2 + 1, INT_MIN,
                                             INT_MIN + 1, INT_MIN / 2, 0, 1, -1};
                return values[pick(0, 8)];
            }
            case Days::Positive: return pick(1, 3);
            case Days::OneOrTwo: return pick(1, 2);
            case Days::Switching: {
                if (!chance(0.12)) return pick(0, 3);
                static const int values[] = {17, 100, 255, 256, 300, -1};
                return values[pick(0, 5)];
            }
        }
        return 0;
    }

    // An airport number: mostly one that exists, sometimes any in (or just
    // beyond) the range, which may be absent.
    int airport(World& w) {
        const auto& airports = *w.store().getAirports();
        if (!airports.empty() && chance(0.85)) {
            auto it = airports.begin();
            std::advance(it, pick(0, static_cast<int>(airports.size()) - 1));
            return it->first;
        }
        return pick(idLow - 1, idHigh + 1);
    }

    void build(World& w) {
        const double present = 0.4 + 0.6 * std::uniform_real_distribution<double>(0, 1)(rng);
        for (int id = idLow; id <= idHigh; ++id)
            if (chance(present)) w.addAirport(id);
        if (chance(0.5)) w.addAirport(-1);
        const int airports = static_cast<int>(w.store().getAirports()->size());
        const int flights = pick(0, 3 * airports + 2);
        for (int i = 0; i < flights; ++i) addFlight(w);
    }

    void addFlight(World& w) {
        const int from = airport(w);
        const int to = airport(w);
        w.addFlight(pick(flightLow, flightHigh), dayCount(), from, to);
        // A parallel flight between the same two airports, under another number.
        if (chance(0.2)) w.addFlight(pick(flightLow, flightHigh), dayCount(), from, to);
    }

    // One change of the network, or a booking.
    void mutate(World& w) {
        const int kind = pick(0, seats ? 11 : 9);
        if (kind <= 3) {
            // Removes an existing flight through either of its airports.
            const int at = airport(w);
            const auto* table = w.store().getFlights(at);
            if (table != nullptr && !table->empty() && chance(0.8)) {
                auto it = table->begin();
                std::advance(it, pick(0, static_cast<int>(table->size()) - 1));
                w.removeFlight(at, it->first);
            } else {
                w.removeFlight(at, pick(flightLow, flightHigh));
            }
        } else if (kind <= 5) {
            addFlight(w);
        } else if (kind == 6) {
            w.removeAirport(airport(w));
        } else if (kind == 7) {
            w.addAirport(pick(idLow - 1, idHigh + 1));
        } else if (kind <= 9) {
            w.book();
        } else if (kind == 10) {
            // A capacity of 0 to 4 on an existing flight (now and then a
            // number no flight has).
            const int at = airport(w);
            const auto* table = w.store().getFlights(at);
            int flight = pick(flightLow, flightHigh);
            if (table != nullptr && !table->empty() && chance(0.8)) {
                auto it = table->begin();
                std::advance(it, pick(0, static_cast<int>(table->size()) - 1));
                flight = it->first;
            }
            w.setSeats(at, flight, pick(0, 4));
        } else {
            // A sale for one to three passengers, which takes seats the
            // choices for N passengers then lack.
            w.sell(INT_MAX, airport(w), airport(w), pick(1, 3));
        }
    }

    // A limit around the query's total: below, at and above it, and extremes.
    int maxDaysAround(std::optional<std::int64_t> total) {
        const std::int64_t t = total.value_or(0);
        switch (pick(0, 9)) {
            case 0: return -2;
            case 1: return -1;
            case 2: return 0;
            case 3: return clampToInt(t - 1);
            case 4: return clampToInt(t);
            case 5: return clampToInt(t + 1);
            case 6: return INT_MAX;
            case 7: return INT_MIN;
            case 8: return INT_MAX - 1;
            default: return pick(-3, 8);
        }
    }

    // Queries, each first with no useful limit, then with limits around its
    // total; every other group keeps one departure and varies the arrival.
    void queryGroup(World& w) {
        const bool sameDeparture = chance(0.5);
        const int from = airport(w);
        const int count = sameDeparture ? pick(2, 6) : 1;
        for (int i = 0; i < count; ++i) {
            const int to = airport(w);
            const auto total = w.total(from, to);
            std::list<TTicket> ignored;
            const int limits = pick(1, 3);
            for (int j = 0; j < limits; ++j) w.check(maxDaysAround(total), from, to, ignored);
            // The same query again with nothing changed in between.
            if (chance(0.2)) w.check(INT_MAX, from, to, ignored);
        }
    }

    // One query with no useful limit, then one or two around its total.
    void query(World& w, int from, int to) {
        const auto total = w.total(from, to);
        std::list<TTicket> ignored;
        const int limits = pick(1, 2);
        for (int j = 0; j < limits; ++j) w.check(maxDaysAround(total), from, to, ignored);
    }

    // One change of the network in a shape the route search's copy must
    // follow: airports added below, between or above the others (with a
    // flight or two, so that they matter), an airport taken out of the
    // middle and added again, the winning one of parallel flights taken away
    // and put back, plain flights added and removed.
    void edit(World& w) {
        const auto& airports = *w.store().getAirports();
        switch (pick(0, 11)) {
            case 0:
            case 1:
            case 2: {
                int id;
                if (airports.empty()) {
                    id = pick(idLow, idHigh);
                } else {
                    const int lo = airports.begin()->first, hi = airports.rbegin()->first;
                    const int where = pick(0, 2);
                    id = where == 0 ? lo - pick(1, 2) : where == 2 ? hi + pick(1, 2) : freeBetween(w, lo, hi);
                }
                if (w.addAirport(id) == 0) connect(w, id);
                break;
            }
            case 3: {
                // Not the smallest or the largest, when there is a choice.
                if (airports.empty()) break;
                auto it = airports.begin();
                const int n = static_cast<int>(airports.size());
                std::advance(it, n > 2 ? pick(1, n - 2) : pick(0, n - 1));
                const int id = it->first;
                if (w.removeAirport(id) == 0) removedAirports.push_back(id);
                break;
            }
            case 4: {
                if (removedAirports.empty()) break;
                const int id = removedAirports.back();
                removedAirports.pop_back();
                if (w.addAirport(id) == 0) connect(w, id);
                break;
            }
            case 5:
                takeWinnerAway(w);
                break;
            case 6: {
                if (removedFlights.empty()) break;
                const Taken f = removedFlights.back();
                removedFlights.pop_back();
                w.addFlight(f.flight, f.days, f.from, f.to);
                break;
            }
            case 7:
            case 8:
                addFlight(w);
                break;
            case 9:
            case 10:
                removeExistingFlight(w);
                break;
            default:
                mutate(w);
                break;
        }
    }

    // An edit at an airport the stopped search from `from` (stopped at `to`)
    // has not included: one farther than `to` or out of its reach. Adds a
    // flight there or takes one away, or takes the airport away; the search
    // may be resumed across such an edit, and must still be exact.
    void farEdit(World& w, int from, int to) {
        const auto limit = w.oracleTotal(from, to);
        std::vector<int> far;
        for (const auto& a : *w.store().getAirports()) {
            if (a.first == from) continue;
            const auto t = w.oracleTotal(from, a.first);
            if (!limit || !t || *t > *limit || (*t == *limit && a.first > to)) far.push_back(a.first);
        }
        if (far.empty()) {
            edit(w);
            return;
        }
        const int x = far[static_cast<std::size_t>(pick(0, static_cast<int>(far.size()) - 1))];
        const int kind = pick(0, 5);
        if (kind <= 2) {
            w.addFlight(pick(flightLow, flightHigh), dayCount(), x, airport(w));
        } else if (kind <= 4) {
            const auto* table = w.store().getFlights(x);
            if (table == nullptr || table->empty()) return;
            auto it = table->begin();
            std::advance(it, pick(0, static_cast<int>(table->size()) - 1));
            if (it->second.from == x) w.removeFlight(pick(0, 1) ? x : it->second.to, it->first);
        } else if (x != to) {
            if (w.removeAirport(x) == 0) removedAirports.push_back(x);
        }
    }

    // Queries from one departure while it exists, to several arrivals, now
    // and then with an edit far from the departure in between.
    void queryRun(World& w) {
        if (!w.store().getAirports()->count(departure) || chance(0.15)) departure = airport(w);
        const int arrivals = pick(2, 6);
        for (int i = 0; i < arrivals; ++i) {
            const int to = airport(w);
            query(w, departure, to);
            if (chance(0.25)) farEdit(w, departure, to);
        }
    }

private:
    struct Taken {
        int flight, days, from, to;
    };

    // An absent number between lo and hi, or one just above hi.
    int freeBetween(World& w, int lo, int hi) {
        const auto& airports = *w.store().getAirports();
        std::vector<int> free;
        for (int id = lo + 1; id < hi; ++id)
            if (!airports.count(id)) free.push_back(id);
        if (free.empty()) return hi + 1;
        return free[static_cast<std::size_t>(pick(0, static_cast<int>(free.size()) - 1))];
    }

    // A flight or two between a new airport and the others.
    void connect(World& w, int id) {
        const int flights = pick(0, 3);
        for (int i = 0; i < flights; ++i) {
            const int other = airport(w);
            if (chance(0.5))
                w.addFlight(pick(flightLow, flightHigh), dayCount(), id, other);
            else
                w.addFlight(pick(flightLow, flightHigh), dayCount(), other, id);
        }
    }

    void removeExistingFlight(World& w) {
        const int at = airport(w);
        const auto* table = w.store().getFlights(at);
        if (table == nullptr || table->empty()) return;
        auto it = table->begin();
        std::advance(it, pick(0, static_cast<int>(table->size()) - 1));
        const Taken f{it->first, it->second.days, it->second.from, it->second.to};
        if (w.removeFlight(at, f.flight) == 0 && chance(0.5)) removedFlights.push_back(f);
    }

    // Of the flights between two airports, takes away the one the search
    // uses (fewest days, lowest number among equals), preferring pairs with
    // another flight left to take over; remembers it to put it back.
    void takeWinnerAway(World& w) {
        std::map<std::pair<int, int>, std::vector<Taken>> pairs;
        for (const auto& a : *w.store().getAirports())
            for (const auto& f : *a.second.pAirport->getFlights())
                if (f.second.from == a.first)
                    pairs[{f.second.from, f.second.to}].push_back(
                        Taken{f.first, f.second.days, f.second.from, f.second.to});
        if (pairs.empty()) return;
        std::vector<const std::vector<Taken>*> parallel, any;
        for (const auto& p : pairs) {
            any.push_back(&p.second);
            if (p.second.size() >= 2) parallel.push_back(&p.second);
        }
        const auto& from = parallel.empty() || chance(0.1) ? any : parallel;
        const std::vector<Taken>& flights = *from[static_cast<std::size_t>(pick(0, static_cast<int>(from.size()) - 1))];
        Taken winner = flights.front();  // ascending flight numbers
        for (const Taken& f : flights)
            if (f.days < winner.days) winner = f;
        if (w.removeFlight(pick(0, 1) ? winner.from : winner.to, winner.flight) == 0) removedFlights.push_back(winner);
    }

    std::vector<int> removedAirports;
    std::vector<Taken> removedFlights;
    int departure = 0;

public:

private:
    std::mt19937_64 rng;
    Days days;
    int idLow, idHigh, flightLow, flightHigh;
};

// Builds `seeds` random networks and runs changes and queries on each, in
// the given mix. Returns what the search's copy of the network went through.
robustness::NetworkProbe::Counts runRandom(const char* label, Days days, int seeds, std::uint64_t firstSeed,
                                           int span = 14, Mix mix = Mix::Even) {
    int totalQueries = 0;
    int failedSeeds = 0;
    robustness::NetworkProbe::Counts seen;
    for (int s = 0; s < seeds; ++s) {
        const std::uint64_t seed = firstSeed + static_cast<std::uint64_t>(s);
        World w(std::string(label) + " seed " + std::to_string(seed));
        RandomNetwork gen(seed, days, span);
        gen.build(w);
        const int steps = gen.pick(10, 40);
        for (int i = 0; i < steps && w.mismatches() == 0; ++i) {
            switch (mix) {
                case Mix::Even:
                    if (gen.chance(0.3))
                        gen.mutate(w);
                    else
                        gen.queryGroup(w);
                    break;
                case Mix::EditHeavy: {
                    const int edits = gen.pick(1, 3);
                    for (int e = 0; e < edits; ++e) gen.edit(w);
                    gen.query(w, gen.airport(w), gen.airport(w));
                    break;
                }
                case Mix::QueryHeavy:
                    if (gen.chance(0.1)) gen.edit(w);
                    gen.queryRun(w);
                    break;
            }
        }
        totalQueries += static_cast<int>(w.queries());
        seen.add(w.networkProbe().counts());
        if (w.mismatches() != 0) {
            ++failedSeeds;
            ADD_FAILURE() << w.reportText();
        }
        if (failedSeeds >= 3) break;  // the first failures carry the detail
    }
    EXPECT_EQ(0, failedSeeds) << label << ": networks with a difference";
    // The loop must really have compared something.
    EXPECT_GT(totalQueries, seeds * 3);
    if (mix != Mix::Even) std::printf("[oracle] %s: %d queries; %s\n", label, totalQueries, seen.text().c_str());
    return seen;
}

TEST(RouteExactness, RandomNetworksDaysZeroToThree) {
    runRandom("days 0..3", Days::Small, scaled(8000), 1000);
}

TEST(RouteExactness, RandomNetworksMostlyTies) {
    runRandom("days 0..1", Days::ZeroOrOne, scaled(5000), 500000);
}

// With a negative day count anywhere the library follows the same greedy rule
// to its end, so it must still give exactly the oracle's codes and lists,
// loops of improved airports included.
// Up to 300 airports: the search's per-airport bitmaps span several words,
// and zero-day flights queue airports below the word being scanned.
TEST(RouteExactness, RandomNetworksManyAirports) {
    runRandom("days 0..1, up to 300 airports", Days::ZeroOrOne, scaled(300), 6000000, 300);
}

// Day counts past the bitmap queue's range send the search through its heap.
TEST(RouteExactness, RandomNetworksWideDays) {
    runRandom("days 0..2 and 255..258", Days::Wide, scaled(4000), 5000000);
}

TEST(RouteExactness, RandomNetworksWithNegativeDays) {
    runRandom("days -3..3", Days::WithNegative, scaled(8000), 2000000);
}

// Day counts near INT_MAX and INT_MIN: totals are 64-bit, and one beyond int
// range exceeds every maxDays (or stays under every one, when negative).
TEST(RouteExactness, RandomNetworksHugePositiveDays) {
    runRandom("days near INT_MAX", Days::HugePositive, scaled(4000), 3000000);
}

TEST(RouteExactness, RandomNetworksHugeDaysBothSigns) {
    runRandom("days near INT_MAX and INT_MIN", Days::HugeBothSigns, scaled(4000), 4000000);
}

TEST(RouteExactness, TotalsBeyondIntRange) {
    World w("totals beyond int range");
    for (int id : {-1, 0, 1, 2, 3}) ASSERT_EQ(0, w.addAirport(id));
    ASSERT_EQ(0, w.addFlight(1, INT_MAX, -1, 0));
    ASSERT_EQ(0, w.addFlight(2, INT_MAX, 0, 1));
    ASSERT_EQ(0, w.addFlight(3, INT_MIN, 1, 2));
    ASSERT_EQ(0, w.addFlight(4, INT_MIN, 2, 3));
    std::list<TTicket> route;

    // INT_MAX days fit INT_MAX; 2 * INT_MAX exceeds every limit.
    EXPECT_EQ(0, w.check(INT_MAX, -1, 0, route));
    EXPECT_EQ(0, w.routeCode(INT_MAX, -1, 0));
    EXPECT_EQ(-3, w.check(INT_MAX, -1, 1, route));
    EXPECT_EQ(-7, w.routeCode(INT_MAX, -1, 1));
    EXPECT_TRUE(w.booking().getTickets()->empty());

    // 2 * INT_MAX + INT_MIN = INT_MAX - 1, back in range.
    EXPECT_EQ(0, w.check(INT_MAX - 1, -1, 2, route));
    EXPECT_EQ(-3, w.check(INT_MAX - 2, -1, 2, route));

    // Two legs of INT_MIN days: below INT_MIN, so under every limit.
    EXPECT_EQ(0, w.check(INT_MIN, 1, 3, route));
    EXPECT_EQ(0, w.routeCode(INT_MIN, 1, 3));
    EXPECT_EQ(4u, w.booking().getTickets()->size());
    EXPECT_EQ(0u, w.mismatches()) << w.reportText();
}

// ---- the random mixes: edit-heavy and query-heavy ----

// One to three edits before every query: airports added below, between and
// above the others, taken out of the middle and added again, winning
// parallel flights taken away and put back.
TEST(RouteExactness, EditHeavyRandomNetworks) {
    const auto small = runRandom("edit-heavy, days 0..3", Days::Small, scaled(1500), 7000000, 14, Mix::EditHeavy);
    runRandom("edit-heavy, days 0..1", Days::ZeroOrOne, scaled(1000), 7100000, 14, Mix::EditHeavy);
    runRandom("edit-heavy, days -3..3", Days::WithNegative, scaled(1000), 7200000, 14, Mix::EditHeavy);
    runRandom("edit-heavy, days 0..2 and 255..258", Days::Wide, scaled(500), 7300000, 14, Mix::EditHeavy);
    runRandom("edit-heavy, days near INT_MAX and INT_MIN", Days::HugeBothSigns, scaled(500), 7400000, 14,
              Mix::EditHeavy);
    runRandom("edit-heavy, days 0..1, up to 120 airports", Days::ZeroOrOne, scaled(60), 7500000, 120,
              Mix::EditHeavy);
    EXPECT_GT(small.outOfOrderAdded, 0u);
    EXPECT_GT(small.airportsRemoved, 0u);
}

// Runs of queries from one departure with rare edits, mostly at airports the
// stopped search has not included, so that it is resumed across them.
TEST(RouteExactness, QueryHeavyRandomNetworks) {
    runRandom("query-heavy, days 0..3", Days::Small, scaled(1500), 7600000, 14, Mix::QueryHeavy);
    runRandom("query-heavy, days 0..1", Days::ZeroOrOne, scaled(1000), 7700000, 14, Mix::QueryHeavy);
    runRandom("query-heavy, days -3..3", Days::WithNegative, scaled(600), 7800000, 14, Mix::QueryHeavy);
    runRandom("query-heavy, days 0..2 and 255..258", Days::Wide, scaled(600), 7900000, 14, Mix::QueryHeavy);
    runRandom("query-heavy, days near INT_MAX", Days::HugePositive, scaled(600), 8000000, 14, Mix::QueryHeavy);
}

// Day counts of 17, 100, 255, 256, 300 and -1 come and go among small ones:
// the search switches between the bitmap queue (with 4 to 256 rows), the
// packed heap and the wide heap in both mixes.
TEST(RouteExactness, QueueKindSwitchingRandomNetworks) {
    for (const auto& seen :
         {runRandom("edit-heavy, switching days", Days::Switching, scaled(1000), 8100000, 14, Mix::EditHeavy),
          runRandom("query-heavy, switching days", Days::Switching, scaled(800), 8200000, 14, Mix::QueryHeavy)}) {
        EXPECT_GT(seen.kindChanges, 0u);
        for (std::uint64_t edits : seen.editsIn) EXPECT_GT(edits, 0u);
    }
}

// ---- the search's copy of the network, shape by shape ----

using FitingFlight::QueueKind;

const char* kindName(QueueKind kind) {
    switch (kind) {
        case QueueKind::Buckets: return "bitmap queue";
        case QueueKind::PackedHeap: return "packed heap";
        case QueueKind::WideHeap: return "wide heap";
    }
    return "?";
}

// Every pair of present airports and one absent arrival, departure by
// departure so that each departure's queries resume one search (arrivals
// ascending, or descending); each with no limit, then one day under its
// total and at it.
void checkAllPairs(World& w, bool descending = false) {
    std::vector<int> ids;
    for (const auto& a : *w.store().getAirports()) ids.push_back(a.first);
    if (ids.empty()) return;
    std::vector<int> arrivals = ids;
    arrivals.push_back(ids.back() + 1);
    if (descending) std::reverse(arrivals.begin(), arrivals.end());
    std::list<TTicket> ignored;
    for (int from : ids) {
        for (int to : arrivals) {
            const auto total = w.total(from, to);
            if (!total) continue;
            w.check(clampToInt(*total - 1), from, to, ignored);
            w.check(clampToInt(*total), from, to, ignored);
        }
    }
}

// Two airports numbered below all others with one flight between them, which
// no route of the others uses: 300 days make the search use the packed heap,
// -1 the wide heap.
void forceKind(World& w, QueueKind kind) {
    ASSERT_EQ(0, w.addAirport(-1000000));
    ASSERT_EQ(0, w.addAirport(-999999));
    if (kind == QueueKind::PackedHeap) { ASSERT_EQ(0, w.addFlight(999000, 300, -1000000, -999999)); }
    if (kind == QueueKind::WideHeap) { ASSERT_EQ(0, w.addFlight(999000, -1, -1000000, -999999)); }
}

const QueueKind kAllKinds[] = {QueueKind::Buckets, QueueKind::PackedHeap, QueueKind::WideHeap};

// Airports added below, between and above the others get slots out of
// number order; the bitmap queue keeps them apart and must still take
// airports of equal totals in number order. Zero- and one-day flights make
// equal totals between in-order and out-of-order airports everywhere.
TEST(IncrementalSearch, AirportsAddedOutOfOrderInEveryQueueKind) {
    for (QueueKind kind : kAllKinds) {
        World w(std::string("out of order, ") + kindName(kind));
        forceKind(w, kind);
        for (int id : {10, 20, 30, 40, 50}) ASSERT_EQ(0, w.addAirport(id));
        ASSERT_EQ(0, w.addFlight(1, 1, 10, 20));
        ASSERT_EQ(0, w.addFlight(2, 1, 10, 30));
        ASSERT_EQ(0, w.addFlight(3, 2, 10, 40));
        ASSERT_EQ(0, w.addFlight(4, 1, 20, 50));
        ASSERT_EQ(0, w.addFlight(5, 1, 30, 50));
        ASSERT_EQ(0, w.addFlight(6, 0, 40, 50));
        checkAllPairs(w);
        // Below all: reached at the same total as 20 and 30, and before them.
        ASSERT_EQ(0, w.addAirport(5));
        ASSERT_EQ(0, w.addFlight(7, 1, 10, 5));
        ASSERT_EQ(0, w.addFlight(8, 1, 5, 50));
        checkAllPairs(w);
        // Between 20 and 30 at the same total, each with a flight to 60.
        ASSERT_EQ(0, w.addAirport(25));
        ASSERT_EQ(0, w.addFlight(9, 1, 10, 25));
        ASSERT_EQ(0, w.addAirport(60));  // above all: in order again
        ASSERT_EQ(0, w.addFlight(10, 1, 30, 60));
        ASSERT_EQ(0, w.addFlight(11, 1, 25, 60));
        checkAllPairs(w);
        // Between, reached by a zero-day flight at the total of its
        // departure, which ties with the airports still queued.
        ASSERT_EQ(0, w.addAirport(35));
        ASSERT_EQ(0, w.addFlight(12, 0, 20, 35));
        ASSERT_EQ(0, w.addFlight(13, 1, 35, 60));
        ASSERT_EQ(0, w.addAirport(15));
        ASSERT_EQ(0, w.addFlight(14, 0, 25, 15));
        ASSERT_EQ(0, w.addFlight(15, 1, 15, 60));
        checkAllPairs(w);
        checkAllPairs(w, true);
        // More airports at free numbers among the others, each tied in with
        // zero- and one-day flights.
        std::mt19937_64 rng(42 + static_cast<int>(kind));
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        int number = 100;
        for (int i = 0; i < 10; ++i) {
            int id;
            do id = pick(0, 70);
            while (w.store().getAirports()->count(id));
            ASSERT_EQ(0, w.addAirport(id));
            for (int f = 0; f < 3; ++f) {
                auto it = w.store().getAirports()->begin();
                std::advance(it, pick(2, static_cast<int>(w.store().getAirports()->size()) - 1));
                if (f == 1)
                    w.addFlight(number++, pick(0, 1), it->first, id);
                else
                    w.addFlight(number++, pick(0, 1), id, it->first);
            }
            checkAllPairs(w, i % 2 == 1);
        }
        EXPECT_EQ(kind, w.networkProbe().queueKind()) << kindName(kind);
        EXPECT_GE(w.networkProbe().counts().outOfOrderAdded, 12u) << kindName(kind);
        EXPECT_EQ(0u, w.mismatches()) << w.reportText() << kindName(kind);
    }
}

// An airport in the middle of the number range taken away with its flights
// (routes go around it) and added again (out of slot order now), twice.
TEST(IncrementalSearch, AirportRemovedFromTheMiddleAndAddedAgain) {
    for (QueueKind kind : kAllKinds) {
        World w(std::string("middle airport, ") + kindName(kind));
        forceKind(w, kind);
        for (int id : {10, 20, 30, 40, 50}) ASSERT_EQ(0, w.addAirport(id));
        ASSERT_EQ(0, w.addFlight(1, 1, 10, 20));
        ASSERT_EQ(0, w.addFlight(2, 1, 20, 30));
        ASSERT_EQ(0, w.addFlight(3, 1, 30, 40));
        ASSERT_EQ(0, w.addFlight(4, 1, 40, 50));
        ASSERT_EQ(0, w.addFlight(5, 3, 20, 40));
        ASSERT_EQ(0, w.addFlight(6, 5, 10, 50));
        ASSERT_EQ(0, w.addFlight(7, 0, 30, 10));
        checkAllPairs(w);
        std::list<TTicket> before, after;
        w.check(INT_MAX, 10, 50, before);

        ASSERT_EQ(0, w.removeAirport(30));
        checkAllPairs(w);
        w.check(INT_MAX, 10, 50, after);
        EXPECT_NE(before, after) << "the route went through airport 30";

        // Back with its old flight numbers, now free again, and a shortcut.
        ASSERT_EQ(0, w.addAirport(30));
        ASSERT_EQ(0, w.addFlight(2, 0, 20, 30));
        ASSERT_EQ(0, w.addFlight(3, 0, 30, 40));
        ASSERT_EQ(0, w.addFlight(7, 0, 30, 10));
        checkAllPairs(w);
        checkAllPairs(w, true);

        ASSERT_EQ(0, w.removeAirport(20));
        ASSERT_EQ(0, w.removeAirport(30));
        checkAllPairs(w);
        ASSERT_EQ(0, w.addAirport(30));
        ASSERT_EQ(0, w.addAirport(20));
        ASSERT_EQ(0, w.addFlight(1, 1, 10, 20));
        ASSERT_EQ(0, w.addFlight(2, 0, 20, 30));
        ASSERT_EQ(0, w.addFlight(3, 1, 30, 40));
        ASSERT_EQ(0, w.addFlight(8, 1, 10, 30));
        checkAllPairs(w);
        EXPECT_EQ(kind, w.networkProbe().queueKind()) << kindName(kind);
        EXPECT_EQ(0u, w.mismatches()) << w.reportText() << kindName(kind);
    }
}

// Of several flights between two airports the search uses the one with the
// fewest days, the lowest number among equals. Taking it away must let the
// next one take over (through either airport), putting it back must win
// again, and a new lower number with the same days must win at once.
TEST(IncrementalSearch, WinningParallelFlightTakenOverAndPutBack) {
    for (QueueKind kind : kAllKinds) {
        World w(std::string("parallel flights, ") + kindName(kind));
        forceKind(w, kind);
        for (int id : {1, 2, 3, 4}) ASSERT_EQ(0, w.addAirport(id));
        ASSERT_EQ(0, w.addFlight(5, 2, 1, 2));
        ASSERT_EQ(0, w.addFlight(3, 1, 1, 2));
        ASSERT_EQ(0, w.addFlight(9, 1, 1, 2));
        ASSERT_EQ(0, w.addFlight(7, 1, 1, 2));
        ASSERT_EQ(0, w.addFlight(1, 4, 1, 2));
        ASSERT_EQ(0, w.addFlight(20, 1, 2, 3));
        ASSERT_EQ(0, w.addFlight(21, 3, 1, 3));
        ASSERT_EQ(0, w.addFlight(22, 0, 3, 4));
        checkAllPairs(w);

        std::list<TTicket> route, previous;
        w.check(INT_MAX, 1, 2, previous);
        // Each step changes the route from 1 to 2 (the oracle's, checked
        // against the library's with every other pair).
        auto step = [&](const char* what) {
            checkAllPairs(w);
            w.check(INT_MAX, 1, 2, route);
            EXPECT_NE(previous, route) << kindName(kind) << ": " << what;
            previous = route;
        };
        ASSERT_EQ(0, w.removeFlight(2, 3));
        step("flight 3 taken away: 7 takes over");
        ASSERT_EQ(0, w.removeFlight(1, 7));
        step("flight 7 taken away: 9 takes over");
        ASSERT_EQ(0, w.removeFlight(2, 9));
        step("flight 9 taken away: 5 takes over, and ties with the direct flight");
        ASSERT_EQ(0, w.addFlight(3, 1, 1, 2));
        step("flight 3 back");
        ASSERT_EQ(0, w.addFlight(0, 1, 1, 2));
        step("flight 0 with the same days: a lower number");
        // A flight that never wins comes and goes: nothing changes.
        ASSERT_EQ(0, w.removeFlight(1, 5));
        checkAllPairs(w);
        ASSERT_EQ(0, w.addFlight(5, 1, 1, 2));
        checkAllPairs(w);
        ASSERT_EQ(0, w.removeFlight(2, 0));
        step("flight 0 taken away: 3 again");
        ASSERT_EQ(0, w.removeFlight(1, 3));
        ASSERT_EQ(0, w.removeFlight(1, 5));
        step("only flight 1 (4 days) left");
        ASSERT_EQ(0, w.removeFlight(2, 1));
        step("no flight from 1 to 2");
        ASSERT_EQ(0, w.addFlight(7, 1, 1, 2));
        step("flight 7 back");
        EXPECT_EQ(0u, w.mismatches()) << w.reportText() << kindName(kind);
    }
}

// Zero-day chains (equal totals all along) and negative flights that come
// and go: with one anywhere the search runs to its end with the wide heap,
// and without it stops early again with the bitmap queue; a negative loop
// gives "no route" on the walk back.
TEST(IncrementalSearch, ZeroAndNegativeDayFlightsComeAndGo) {
    World w("zero and negative days");
    for (int id = 0; id <= 8; ++id) ASSERT_EQ(0, w.addAirport(id));
    ASSERT_EQ(0, w.addFlight(1, 0, 0, 1));
    ASSERT_EQ(0, w.addFlight(2, 0, 1, 2));
    ASSERT_EQ(0, w.addFlight(3, 0, 2, 3));
    ASSERT_EQ(0, w.addFlight(4, 0, 0, 4));
    ASSERT_EQ(0, w.addFlight(5, 0, 4, 3));
    ASSERT_EQ(0, w.addFlight(6, 1, 3, 5));
    ASSERT_EQ(0, w.addFlight(7, 0, 5, 6));
    checkAllPairs(w);
    EXPECT_EQ(QueueKind::Buckets, w.networkProbe().queueKind());

    ASSERT_EQ(0, w.addFlight(8, -2, 5, 6));
    ASSERT_EQ(0, w.addFlight(9, 0, 6, 7));
    EXPECT_EQ(QueueKind::WideHeap, w.networkProbe().queueKind());
    checkAllPairs(w);
    ASSERT_EQ(0, w.addFlight(10, -1, 6, 5));  // a loop 5 -> 6 -> 5 of -3 days
    checkAllPairs(w);
    ASSERT_EQ(0, w.addFlight(11, -1, 7, 1));  // improves airports already included
    checkAllPairs(w, true);
    ASSERT_EQ(0, w.removeFlight(5, 10));
    checkAllPairs(w);
    ASSERT_EQ(0, w.removeFlight(6, 8));
    ASSERT_EQ(0, w.removeFlight(1, 11));
    EXPECT_EQ(QueueKind::Buckets, w.networkProbe().queueKind());
    checkAllPairs(w);
    // A negative flight out of reach of every other airport: the search from
    // them still runs to its end.
    ASSERT_EQ(0, w.addFlight(12, -3, 8, 0));
    EXPECT_EQ(QueueKind::WideHeap, w.networkProbe().queueKind());
    checkAllPairs(w);
    ASSERT_EQ(0, w.removeAirport(8));
    EXPECT_EQ(QueueKind::Buckets, w.networkProbe().queueKind());
    checkAllPairs(w);
    EXPECT_EQ(0u, w.mismatches()) << w.reportText();
}

// Day counts that move the search from one queue to another and back: 255
// (the bitmap queue with 256 rows), 256 and 300 (the packed heap), -1 (the
// wide heap), each added and taken away again, the last one of its kind
// among others. Before every edit a search from airport 1 stops at its
// nearest airport; the edit is at an airport it has not included, so that
// only the change of queue can stop it from being resumed.
TEST(IncrementalSearch, QueueKindSwitchesBackAndForth) {
    World w("queue kinds back and forth");
    std::mt19937_64 rng(4711);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int id = 1; id <= 10; ++id) ASSERT_EQ(0, w.addAirport(id));
    int number = 1;
    for (int i = 0; i < 28; ++i) w.addFlight(number++, pick(0, 3), pick(1, 10), pick(1, 10));
    ASSERT_EQ(0, w.addFlight(number++, 0, 1, 2));
    checkAllPairs(w);

    struct Edit {
        bool add;
        int flight, days, from, to;
        QueueKind after;
    };
    const Edit edits[] = {
        {true, 100, 255, 9, 10, QueueKind::Buckets},    {true, 101, 256, 8, 9, QueueKind::PackedHeap},
        {false, 101, 256, 8, 9, QueueKind::Buckets},    {false, 100, 255, 9, 10, QueueKind::Buckets},
        {true, 102, -1, 7, 8, QueueKind::WideHeap},     {false, 102, -1, 7, 8, QueueKind::Buckets},
        {true, 103, 300, 6, 7, QueueKind::PackedHeap},  {true, 104, 300, 5, 6, QueueKind::PackedHeap},
        {false, 103, 300, 6, 7, QueueKind::PackedHeap}, {false, 104, 300, 5, 6, QueueKind::Buckets},
        {true, 105, -1, 10, 3, QueueKind::WideHeap},    {true, 106, 300, 9, 4, QueueKind::WideHeap},
        {false, 105, -1, 10, 3, QueueKind::PackedHeap}, {true, 107, 255, 8, 2, QueueKind::PackedHeap},
        {false, 106, 300, 9, 4, QueueKind::Buckets},    {false, 107, 255, 8, 2, QueueKind::Buckets},
    };
    std::list<TTicket> ignored;
    std::uint64_t switches = 0;
    QueueKind kind = w.networkProbe().queueKind();
    for (const Edit& e : edits) {
        if (e.after != kind) ++switches;
        kind = e.after;
        w.check(INT_MAX, 1, 2, ignored);
        if (e.add)
            ASSERT_EQ(0, w.addFlight(e.flight, e.days, e.from, e.to));
        else
            ASSERT_EQ(0, w.removeFlight(e.to, e.flight));
        EXPECT_EQ(e.after, w.networkProbe().queueKind()) << "after flight " << e.flight;
        for (int to = 3; to <= 10; ++to) w.check(INT_MAX, 1, to, ignored);
        checkAllPairs(w);
    }
    EXPECT_EQ(switches, w.networkProbe().counts().kindChanges);
    EXPECT_EQ(0u, w.mismatches()) << w.reportText();
}

// Chains of equal day counts: 2^23 - 1 days a leg pass INT_MAX after 256
// legs, 2^24 - 1 days pass 2^32 after 256. With fewer than 256 slots every
// total fits the packed heap's 32-bit keys; past that the search must use
// the wide heap. A parallel flight with a lower number takes the first leg;
// direct flights as long as two legs tie with the chain; one of INT_MAX days
// beats 257 legs.
TEST(IncrementalSearch, TotalsNearTheLimitsAsPackedKeysGiveWay) {
    for (const int day : {(1 << 23) - 1, (1 << 24) - 1}) {
        World w("totals near the limits, legs of " + std::to_string(day) + " days");
        w.setLogging(false);
        for (int id = 0; id < 250; ++id) {
            ASSERT_EQ(0, w.addAirport(id));
            if (id > 0) { ASSERT_EQ(0, w.addFlight(id, day, id - 1, id)); }
        }
        ASSERT_EQ(0, w.addFlight(0, day, 0, 1));
        // Two legs' days in one flight would leave 32-bit keys too short for 250 slots.
        const bool twoLegFlights = day < (1 << 23);
        if (twoLegFlights) {
            ASSERT_EQ(0, w.addFlight(5000, 2 * day, 0, 2));
            ASSERT_EQ(0, w.addFlight(5002, 2 * day, 100, 102));
        }
        auto queries = [&] {
            std::list<TTicket> ignored;
            for (int from : {0, 100}) {
                for (int to : {1, 2, 102, 249, 256, 257, 259}) {
                    if (!w.store().getAirports()->count(to)) continue;
                    const auto total = w.total(from, to);
                    w.check(INT_MAX - 1, from, to, ignored);
                    if (!total) continue;
                    w.check(clampToInt(*total - 1), from, to, ignored);
                    w.check(clampToInt(*total), from, to, ignored);
                }
            }
        };
        queries();
        EXPECT_EQ(QueueKind::PackedHeap, w.networkProbe().queueKind()) << day;
        for (int id = 250; id < 260; ++id) {
            ASSERT_EQ(0, w.addAirport(id));
            ASSERT_EQ(0, w.addFlight(id, day, id - 1, id));
        }
        EXPECT_EQ(QueueKind::WideHeap, w.networkProbe().queueKind()) << day;
        queries();
        ASSERT_EQ(0, w.addFlight(5001, INT_MAX, 0, 257));
        queries();
        ASSERT_EQ(0, w.removeFlight(1, 0));
        if (twoLegFlights) { ASSERT_EQ(0, w.removeFlight(0, 5000)); }
        ASSERT_EQ(0, w.removeAirport(200));
        ASSERT_EQ(0, w.addFlight(6000, twoLegFlights ? 2 * day : day, 199, 201));
        queries();
        ASSERT_EQ(0, w.removeFlight(257, 5001));
        queries();
        EXPECT_EQ(0u, w.mismatches()) << w.reportText() << day;
    }
}

// A search from one departure stops when its arrival is included; a later
// query from the same departure resumes it only if the edits in between
// cannot have changed what it did. Each case: a query that stops early, an
// edit, then queries from the same departure whose answer the edit changed.
TEST(IncrementalSearch, StoppedSearchAcrossEdits) {
    // 1 -> 2 -> 3 -> 4 -> 5 one day each, 1 -> 6 -> 7 -> 8 three days each.
    auto line = [](World& w) {
        for (int id = 1; id <= 8; ++id) ASSERT_EQ(0, w.addAirport(id));
        ASSERT_EQ(0, w.addFlight(1, 1, 1, 2));
        ASSERT_EQ(0, w.addFlight(2, 1, 2, 3));
        ASSERT_EQ(0, w.addFlight(3, 1, 3, 4));
        ASSERT_EQ(0, w.addFlight(4, 1, 4, 5));
        ASSERT_EQ(0, w.addFlight(5, 3, 1, 6));
        ASSERT_EQ(0, w.addFlight(6, 3, 6, 7));
        ASSERT_EQ(0, w.addFlight(7, 3, 7, 8));
    };
    std::list<TTicket> ignored, before, after;

    for (QueueKind kind : {QueueKind::Buckets, QueueKind::PackedHeap}) {
        const std::string k = kindName(kind);
        {
            // A flight added at an airport reached but not included (6).
            World w("flight added beyond the stop, " + k);
            forceKind(w, kind);
            line(w);
            w.check(INT_MAX, 1, 5, before);
            w.check(INT_MAX, 1, 2, ignored);
            ASSERT_EQ(0, w.addFlight(9, 0, 6, 5));
            w.check(INT_MAX, 1, 5, after);
            EXPECT_NE(before, after) << k;
            checkAllPairs(w);
            EXPECT_EQ(0u, w.mismatches()) << w.reportText() << k;
        }
        {
            // A flight added at an included airport (2).
            World w("flight added at an included airport, " + k);
            forceKind(w, kind);
            line(w);
            w.check(INT_MAX, 1, 4, before);
            w.check(INT_MAX, 1, 3, ignored);
            ASSERT_EQ(0, w.addFlight(9, 0, 2, 4));
            w.check(INT_MAX, 1, 4, after);
            EXPECT_NE(before, after) << k;
            w.check(INT_MAX, 1, 5, ignored);
            EXPECT_EQ(0u, w.mismatches()) << w.reportText() << k;
        }
        {
            // A flight of the route taken away at an included airport (3).
            World w("flight removed at an included airport, " + k);
            forceKind(w, kind);
            line(w);
            ASSERT_EQ(0, w.addFlight(9, 4, 6, 5));
            w.check(INT_MAX, 1, 5, before);
            w.check(INT_MAX, 1, 4, ignored);
            ASSERT_EQ(0, w.removeFlight(4, 3));
            w.check(INT_MAX, 1, 5, after);
            EXPECT_NE(before, after) << k;
            w.check(INT_MAX, 1, 4, ignored);
            EXPECT_EQ(0u, w.mismatches()) << w.reportText() << k;
        }
        {
            // A flight taken away at an airport reached but not included (6).
            World w("flight removed beyond the stop, " + k);
            forceKind(w, kind);
            line(w);
            w.check(INT_MAX, 1, 8, before);
            w.check(INT_MAX, 1, 3, ignored);
            ASSERT_EQ(0, w.removeFlight(7, 6));
            w.check(INT_MAX, 1, 8, after);
            EXPECT_NE(before, after) << k;
            checkAllPairs(w);
            EXPECT_EQ(0u, w.mismatches()) << w.reportText() << k;
        }
        {
            // Airports taken away: one out of reach (kept), one reached but
            // not included (6, two days from 1, queued before 4). At most
            // N - 1 airports are included, so a removed airport still
            // counted would cut the route to 5 short.
            // Every airport counts here, so the queue kind comes from a long
            // flight back to the departure rather than from airports apart.
            World w("airports removed beyond the stop, " + k);
            line(w);
            if (kind == QueueKind::PackedHeap) { ASSERT_EQ(0, w.addFlight(99, 300, 5, 1)); }
            ASSERT_EQ(0, w.removeFlight(1, 5));
            ASSERT_EQ(0, w.addFlight(5, 2, 1, 6));
            ASSERT_EQ(0, w.addAirport(100));
            ASSERT_EQ(0, w.addFlight(10, 0, 100, 1));
            ASSERT_EQ(0, w.removeAirport(7));
            ASSERT_EQ(0, w.removeAirport(8));
            w.check(INT_MAX, 1, 2, ignored);
            ASSERT_EQ(0, w.removeAirport(100));
            w.check(INT_MAX, 1, 3, ignored);
            ASSERT_EQ(0, w.removeAirport(6));
            w.check(INT_MAX, 1, 5, after);
            EXPECT_EQ(8u, after.size()) << k << ": 1 -> 5 over four legs, two tickets each";
            EXPECT_EQ(kind, w.networkProbe().queueKind()) << k;
            checkAllPairs(w);
            EXPECT_EQ(0u, w.mismatches()) << w.reportText() << k;
        }
        {
            // An airport added (a new slot) and reached from an airport the
            // stopped search has reached but not included.
            World w("airport added beyond the stop, " + k);
            forceKind(w, kind);
            line(w);
            w.check(INT_MAX, 1, 2, ignored);
            ASSERT_EQ(0, w.addAirport(0));
            ASSERT_EQ(0, w.addAirport(50));
            ASSERT_EQ(0, w.addFlight(9, 0, 6, 0));
            ASSERT_EQ(0, w.addFlight(10, 0, 0, 50));
            for (int to : {3, 0, 50, 8}) w.check(INT_MAX, 1, to, ignored);
            checkAllPairs(w);
            // Many more: the search's tables outgrow what it began with.
            w.check(INT_MAX, 1, 2, ignored);
            for (int id = 200; id < 330; ++id) {
                ASSERT_EQ(0, w.addAirport(id));
                ASSERT_EQ(0, w.addFlight(id, 0, id == 200 ? 6 : id - 1, id));
            }
            for (int to : {3, 250, 329, 8}) w.check(INT_MAX, 1, to, ignored);
            EXPECT_EQ(0u, w.mismatches()) << w.reportText() << k;
        }
        {
            // Query A -> B, an edit far away, query A -> C: many times over,
            // on a larger network with equal totals everywhere.
            World w("far edits between queries, " + k);
            forceKind(w, kind);
            RandomNetwork gen(99 + static_cast<int>(kind), Days::ZeroOrOne, 20);
            gen.build(w);
            for (int i = 0; i < 60 && w.mismatches() == 0; ++i) {
                const int from = gen.airport(w);
                const int to = gen.airport(w);
                gen.query(w, from, to);
                gen.farEdit(w, from, to);
                gen.query(w, from, gen.airport(w));
            }
            EXPECT_EQ(0u, w.mismatches()) << w.reportText() << k;
        }
    }
}

// Two edits after which a stopped search must start again although the
// edit is at an airport it has not included: a flight longer than the
// bitmap queue's rows reach (the queue was sized for shorter ones), and a
// flight added when the copy is due for a rebuild, which gives the airports
// new slots. In both, resuming would go on with a queue or labels that no
// longer mean what they did.
TEST(IncrementalSearch, StoppedSearchAcrossLongerFlightAndRebuild) {
    std::list<TTicket> ignored;
    {
        World w("a longer flight beyond the stop");
        for (int id = 1; id <= 7; ++id) ASSERT_EQ(0, w.addAirport(id));
        ASSERT_EQ(0, w.addFlight(1, 0, 1, 2));
        ASSERT_EQ(0, w.addFlight(2, 1, 1, 3));
        ASSERT_EQ(0, w.addFlight(3, 1, 3, 4));
        ASSERT_EQ(0, w.addFlight(4, 1, 4, 5));
        ASSERT_EQ(0, w.addFlight(5, 1, 5, 7));
        w.check(INT_MAX, 1, 2, ignored);  // stops with 3 reached, not included
        ASSERT_EQ(0, w.addFlight(6, 0, 6, 7));
        ASSERT_EQ(0, w.addFlight(7, 200, 3, 6));
        EXPECT_EQ(QueueKind::Buckets, w.networkProbe().queueKind());
        for (int to : {7, 6, 5}) w.check(INT_MAX, 1, to, ignored);
        checkAllPairs(w);
        EXPECT_EQ(0u, w.mismatches()) << w.reportText();
    }
    for (QueueKind kind : {QueueKind::Buckets, QueueKind::PackedHeap}) {
        // Airport 2 has no flights and a slot between the departure's and
        // the others'; taking it away and rebuilding moves their slots.
        World w(std::string("a rebuild beyond the stop, ") + kindName(kind));
        forceKind(w, kind);
        for (int id = 1; id <= 11; ++id) ASSERT_EQ(0, w.addAirport(id));
        ASSERT_EQ(0, w.addFlight(1, 1, 1, 3));
        for (int id = 3; id < 11; ++id) ASSERT_EQ(0, w.addFlight(id, 1, id, id + 1));
        ASSERT_EQ(0, w.addFlight(50, 20, 1, 11));
        // Dead slots past the rebuild threshold (the copy is made at the
        // first query); nothing added since.
        w.check(INT_MAX, 1, 11, ignored);
        for (int id = 100; id <= 170; ++id) ASSERT_EQ(0, w.addAirport(id));
        for (int id = 100; id <= 170; ++id) ASSERT_EQ(0, w.removeAirport(id));
        const std::uint64_t rebuilds = w.networkProbe().counts().rebuilds;
        w.check(INT_MAX, 1, 3, ignored);
        ASSERT_EQ(0, w.removeAirport(2));
        ASSERT_EQ(0, w.addFlight(200, 1, 10, 11));
        EXPECT_EQ(rebuilds + 1, w.networkProbe().counts().rebuilds) << kindName(kind) << ": the flight rebuilt the copy";
        for (int to : {11, 4, 5}) w.check(INT_MAX, 1, to, ignored);
        checkAllPairs(w);
        EXPECT_EQ(0u, w.mismatches()) << w.reportText() << kindName(kind);
    }
}

// Long enough for the search's copy of the network to pass both of its
// rebuild thresholds several times between queries: airports taken out and
// added again out of order until dead and out-of-order slots pile up, then
// airports with many flights whose edge ranges grew and were given up.
// Queries after every one to three edits, most from the last departure.
TEST(IncrementalSearch, LongChurnPastRebuildThresholds) {
    World w("churn past the rebuild thresholds");
    w.setLogging(false);
    std::mt19937_64 rng(20261208);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto anyAirport = [&] {
        const auto& airports = *w.store().getAirports();
        auto it = airports.begin();
        std::advance(it, pick(0, static_cast<int>(airports.size()) - 1));
        return it->first;
    };
    int number = 1;
    int from = 0;
    // Airport 0 stays the smallest to the end, so its slot is 0 before and
    // after every rebuild: a search from it stopped before a rebuild must
    // not be taken for one on the new slots.
    auto query = [&] {
        std::list<TTicket> ignored;
        if (!w.store().getAirports()->count(from) || pick(0, 3) == 0) from = pick(0, 1) ? 0 : anyAirport();
        const int to = anyAirport();
        const auto total = w.total(from, to);
        if (total) w.check(clampToInt(*total - pick(0, 1)), from, to, ignored);
    };

    // Slots: 40 airports, one taken out of the middle and one added at a
    // free number (mostly out of order) per round.
    for (int id = 0; id < 400; id += 10) ASSERT_EQ(0, w.addAirport(id));
    for (int i = 0; i < 120; ++i) w.addFlight(number++, pick(0, 3), anyAirport(), anyAirport());
    const int rounds = 140;  // three rebuilds or more
    for (int round = 0; round < rounds && w.mismatches() == 0; ++round) {
        int gone;
        do gone = anyAirport();
        while (gone == 0);
        ASSERT_EQ(0, w.removeAirport(gone));
        if (pick(0, 1)) query();
        // A flight first: when the copy is due, it rebuilds here, with
        // slots renumbered under a search that may be resumed.
        if (pick(0, 1)) {
            w.addFlight(number++, pick(0, 3), anyAirport(), anyAirport());
            query();
        }
        int id;
        do id = pick(0, 420);
        while (w.store().getAirports()->count(id));
        ASSERT_EQ(0, w.addAirport(id));
        query();
        for (int f = pick(2, 4); f > 0; --f) {
            if (pick(0, 1))
                w.addFlight(number++, pick(0, 3), id, anyAirport());
            else
                w.addFlight(number++, pick(0, 3), anyAirport(), id);
        }
        query();
    }
    const auto slots = w.networkProbe().counts();
    EXPECT_GE(slots.slotRebuilds, 3u);

    // The edge pool: 100 more airports with 33 flights each leave about
    // half of the pool behind in ranges that grew; a few of them removed
    // tip it over, and the next addition rebuilds. Then, round by round, one
    // of them is removed and a new one with 33 flights added.
    std::vector<int> hubs;
    int nextHub = 1000;
    auto addHub = [&] {
        const int hub = nextHub++;
        ASSERT_EQ(0, w.addAirport(hub));
        for (int k = 0; k < 33; ++k) {
            const int to = hubs.empty() ? anyAirport()
                                        : hubs[static_cast<std::size_t>(pick(0, static_cast<int>(hubs.size()) - 1))];
            w.addFlight(number++, pick(0, 3), hub, to);
        }
        hubs.push_back(hub);
    };
    for (int i = 0; i < 100; ++i) addHub();
    for (int i = 0; i < 10; ++i) query();
    const int hubRounds = 40;
    for (int round = 0; round < hubRounds && w.mismatches() == 0; ++round) {
        const std::size_t at = static_cast<std::size_t>(pick(0, static_cast<int>(hubs.size()) - 1));
        ASSERT_EQ(0, w.removeAirport(hubs[at]));
        hubs.erase(hubs.begin() + static_cast<std::ptrdiff_t>(at));
        query();
        addHub();
        query();
        query();
    }
    const auto all = w.networkProbe().counts();
    std::printf("[oracle] churn: %llu queries; %s\n", static_cast<unsigned long long>(w.queries()), all.text().c_str());
    EXPECT_GE(all.poolRebuilds, 1u);
    EXPECT_EQ(0u, w.mismatches()) << w.reportText();
}

// ---- route choices against the brute-force reference ----

// Random networks with edits between the queries, as above; every query also
// asks a random route-choice query (tests/support/OpDriver.h, checkChoices)
// and compares it with the enumeration of every loopless route.
robustness::OpDriver::Outcomes runChoices(const char* label, Days days, int seeds, std::uint64_t firstSeed,
                                          int span) {
    robustness::OpDriver::Outcomes seen;
    int failedSeeds = 0;
    for (int s = 0; s < seeds; ++s) {
        const std::uint64_t seed = firstSeed + static_cast<std::uint64_t>(s);
        World w(std::string(label) + " seed " + std::to_string(seed), robustness::Checks{true, true, true, true});
        RandomNetwork gen(seed, days, span);
        gen.seats = true;
        gen.build(w);
        const int steps = gen.pick(5, 20);
        for (int i = 0; i < steps && w.mismatches() == 0; ++i) {
            if (gen.chance(0.3))
                gen.mutate(w);
            else
                gen.queryGroup(w);
        }
        seen.add(w.outcomes());
        if (w.mismatches() != 0) {
            ++failedSeeds;
            ADD_FAILURE() << w.reportText();
        }
        if (failedSeeds >= 3) break;
    }
    EXPECT_EQ(0, failedSeeds) << label << ": networks with a difference";
    std::printf("[oracle] choices %s: %llu answers of two or more, %llu negative loops refused, %llu skipped, "
                "%llu for passengers some flight lacked seats for\n",
                label, static_cast<unsigned long long>(seen.choiceAnswers),
                static_cast<unsigned long long>(seen.choiceLoops), static_cast<unsigned long long>(seen.choiceSkipped),
                static_cast<unsigned long long>(seen.choiceSeatLimited));
    EXPECT_GT(seen.choiceAnswers, static_cast<std::uint64_t>(seeds));
    EXPECT_GT(seen.choiceSeatLimited, static_cast<std::uint64_t>(seeds / 10));
    EXPECT_GT(seen.choicePassengerRefusals, 0u);
    return seen;
}

TEST(ChoicesExactness, RandomNetworksDaysZeroToThree) {
    runChoices("days 0..3", Days::Small, scaled(600), 500000, 12);
}

TEST(ChoicesExactness, RandomNetworksWithoutZeroDays) {
    runChoices("days 1..3", Days::Positive, scaled(300), 800000, 12);
}

TEST(ChoicesExactness, RandomNetworksOneOrTwoDays) {
    runChoices("days 1..2", Days::OneOrTwo, scaled(600), 900000, 12);
}

TEST(ChoicesExactness, RandomNetworksMostlyTies) {
    runChoices("days 0..1", Days::ZeroOrOne, scaled(600), 600000, 12);
}

// Negative day counts: refused where a loop of negative total lies on the
// way, exact everywhere else.
TEST(ChoicesExactness, RandomNetworksWithNegativeDays) {
    const auto seen = runChoices("days -3..3", Days::WithNegative, scaled(600), 700000, 12);
    EXPECT_GT(seen.choiceLoops, 0u);
}

// A route through `via` is decided, at `via`, by the same tie rule as at an
// arrival: among the last day's airports with a flight into it, the one with
// fewest legs, then the smallest number. Layered networks make such ties on
// every query: the airports of one layer are reached on the same day, in an
// order that is not their numbers' (the flights into a layer are numbered
// upwards from its largest airport down, and a search meets them in number
// order), and many have a flight into `via` of one day; a few two-day
// flights give `via` a label a day early.
TEST(ChoicesExactness, ViaIsDecidedAmongItsLastDay) {
    std::mt19937_64 rng(20261209);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int checked = 0;
    for (int round = 0; round < 200; ++round) {
        DataAccess::TDataAccess store;
        ManagementFlight::TManagementFlight management(&store);
        oracle::Network net;
        const int layers = pick(2, 4), width = pick(2, 4);
        auto id = [&](int layer, int i) { return layer * 10 + i; };
        const int via = 90, arrival = 95;
        for (int layer = 0; layer < layers; ++layer)
            for (int i = 0; i < (layer == 0 ? 1 : width); ++i) {
                ASSERT_EQ(0, management.addAirport(id(layer, i), "A"));
                net[id(layer, i)];
            }
        for (int a : {via, arrival}) {
            ASSERT_EQ(0, management.addAirport(a, "A"));
            net[a];
        }
        int number = 1000;  // ascending while the airports descend
        auto add = [&](int from, int to, int days) {
            ASSERT_EQ(0, management.addFlight("F", ++number, days, from, to));
            const TFlightLink link{"F", days, from, to, 0};
            net[from][number] = link;
            net[to][number] = link;
        };
        for (int layer = 1; layer < layers; ++layer)
            for (int i = width - 1; i >= 0; --i)
                for (int j = (layer == 1 ? 0 : width - 1); j >= 0; --j)
                    if (layer == 1 || pick(0, 2) != 0) add(id(layer - 1, j), id(layer, i), pick(0, 4) == 0 ? 2 : 1);
        for (int layer = 1; layer < layers; ++layer)
            for (int i = width - 1; i >= 0; --i)
                if (pick(0, 1) == 0) add(id(layer, i), via, pick(0, 5) == 0 ? 2 : 1);
        add(via, arrival, 1);
        Choices::TChoices choices(&store);
        Choices::Query q;
        q.from = {id(0, 0)};
        q.to = {arrival};
        q.hasVia = true;
        q.via = via;
        const auto expected = oracle::literalFirst(oracle::enumerateRoutes(net, q, false));
        const Choices::FitAnswer got = choices.fit(q, INT_MAX);
        if (!expected) {
            EXPECT_NE(Choices::FitAnswer::Kind::Route, got.kind) << "round " << round;
            continue;
        }
        ++checked;
        ASSERT_EQ(Choices::FitAnswer::Kind::Route, got.kind) << "round " << round;
        EXPECT_TRUE(oracle::sameRoute(*expected, got.route)) << "round " << round;
    }
    EXPECT_GT(checked, 100);
}

// For N passengers a pair of airports is crossed by its first flight in the
// order (days, number) with N free seats. Three 1-day flights and a slower
// one without a capacity join the same two airports; seats are sold on them
// one at a time, and after each sale every passenger count is asked (the
// copy the choices keep must follow each count, of every flight of the pair).
TEST(ChoicesExactness, PassengersTakeThePairsFirstFlightWithTheSeats) {
    DataAccess::TDataAccess store;
    ManagementFlight::TManagementFlight management(&store);
    ArmoringTicket::TArmoringTicket tickets(&store);
    SeatBooking::TSeatBooking seats(&store, &tickets);
    for (int a : {1, 2, 3}) ASSERT_EQ(0, management.addAirport(a, "A"));
    ASSERT_EQ(0, management.addFlight("F", 10, 2, 1, 2));  // no capacity: seats without end
    std::map<int, int> free{{11, 2}, {12, 3}, {13, 5}};
    for (const auto& f : free) {
        ASSERT_EQ(0, management.addFlight("F", f.first, 1, 1, 2));
        ASSERT_EQ(SeatRule::Done, seats.setSeats(1, f.first, f.second).rule);
    }
    ASSERT_EQ(0, management.addFlight("F", 20, 1, 2, 3));
    Choices::TChoices choices(&store, &seats);
    std::mt19937_64 rng(7);
    for (int sale = 0; sale < 12; ++sale) {
        for (int n = 1; n <= 6; ++n) {
            int expected = 10;
            for (const auto& f : free)
                if (f.second >= n) {
                    expected = f.first;
                    break;
                }
            Choices::Query q;
            q.from = {1};
            q.to = {3};
            q.hasPassengers = true;
            q.passengers = n;
            const Choices::FitAnswer got = choices.fit(q, INT_MAX);
            ASSERT_EQ(Choices::FitAnswer::Kind::Route, got.kind);
            EXPECT_EQ(expected, got.route.legs.front().flight) << n << " passengers after " << sale << " sales";
        }
        std::vector<int> open;
        for (const auto& f : free)
            if (f.second > 0) open.push_back(f.first);
        if (open.empty()) break;
        const int flight = open[std::uniform_int_distribution<std::size_t>(0, open.size() - 1)(rng)];
        ASSERT_EQ(SeatRule::Done, seats.book({TLegRequest{flight, 1, 2}}, 1, nullptr).rule);
        --free[flight];
    }
}

// ---- the OpenFlights network ----

class OpenFlightsExactness : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        data = new openflights::Network(openflights::read(TAVRIK_OPENFLIGHTS_DIR));
        // No model: comparing every table after each of 66,770 additions
        // would take hours. The literal search is the reference here.
        world = new World("OpenFlights", robustness::Checks{false, true, false});
        world->setProbing(false);
        refused = openflights::enter(*data, world->management());
    }
    static void TearDownTestSuite() {
        delete world;
        delete data;
        world = nullptr;
        data = nullptr;
    }

    // Airports with at least one flight, ascending.
    static std::vector<int> servedAirports() {
        std::vector<int> served;
        for (const auto& a : *world->store().getAirports())
            if (!a.second.pAirport->getFlights()->empty()) served.push_back(a.first);
        return served;
    }

    static openflights::Network* data;
    static World* world;
    static int refused;
};

openflights::Network* OpenFlightsExactness::data = nullptr;
World* OpenFlightsExactness::world = nullptr;
int OpenFlightsExactness::refused = 0;

TEST_F(OpenFlightsExactness, LoadsWholeNetwork) {
    EXPECT_EQ(0, refused);
    EXPECT_GT(data->airports.size(), 7000u);
    EXPECT_GT(data->flights.size(), 60000u);
    EXPECT_EQ(data->airports.size(), world->store().getAirports()->size());
    std::size_t entries = 0;
    for (const auto& a : *world->store().getAirports()) entries += a.second.pAirport->getFlights()->size();
    EXPECT_EQ(2 * data->flights.size(), entries);
}

// Each oracle query takes about a second here, so only a sample: departures
// drawn at random, each with a few arrivals in a row (the library resumes),
// and the limits just under and at the total checked as well.
TEST_F(OpenFlightsExactness, SampledQueriesMatchOracle) {
    const std::vector<int> served = servedAirports();
    ASSERT_FALSE(served.empty());
    std::mt19937_64 rng(20240611);
    auto any = [&] { return served[std::uniform_int_distribution<std::size_t>(0, served.size() - 1)(rng)]; };

    const int departures = scaled(2);
    int routes = 0;
    for (int d = 0; d < departures; ++d) {
        const int from = any();
        const int arrivals = workScale() < 1 ? 1 : 2;
        for (int a = 0; a < arrivals; ++a) {
            const int to = any();
            std::list<TTicket> expected;
            const int code = world->check(INT_MAX, from, to, expected);
            if (code != 0) continue;
            ++routes;
            const std::int64_t total = routeTotal(world->oracleNetwork(), expected);
            // Over the limit by one day, then exactly at it: a resumed search.
            EXPECT_EQ(-7, world->booking().getRouteFlight(clampToInt(total - 1), from, to))
                << from << " -> " << to;
            EXPECT_EQ(0, world->booking().getRouteFlight(clampToInt(total), from, to)) << from << " -> " << to;
            EXPECT_EQ(expected, *world->booking().getTickets()) << from << " -> " << to;
        }
    }
    EXPECT_EQ(0u, world->mismatches()) << world->reportText();
    EXPECT_GT(routes, 0);
}

// The trade-off front's fewest-days point against the single fit: the same
// days always, and the same flights whenever the single fit's route has the
// fewest legs among the fewest-days routes (the route order's rule 4 is the
// single fit's tie-break). The points fall in days and rise in legs.
TEST_F(OpenFlightsExactness, FrontsFewestDaysPointIsTheSingleFit) {
    const std::vector<int> served = servedAirports();
    std::mt19937_64 rng(4711);
    auto any = [&] { return served[std::uniform_int_distribution<std::size_t>(0, served.size() - 1)(rng)]; };
    Choices::TChoices choices(&world->store());
    int compared = 0, sameLegs = 0;
    for (int attempt = 0; attempt < scaled(300); ++attempt) {
        Choices::Query q;
        q.from = {any()};
        q.to = {any()};
        if (world->booking().getRouteFlight(INT_MAX, q.from[0], q.to[0]) != 0) continue;
        const std::list<TTicket>& tickets = *world->booking().getTickets();
        std::vector<int> flights;  // in travel order
        for (auto it = tickets.rbegin(); it != tickets.rend(); std::advance(it, 2)) flights.push_back(it->flight);
        const std::int64_t total = routeTotal(world->oracleNetwork(), tickets);
        const std::vector<Choices::Route> front = choices.front(q, INT_MAX);
        ASSERT_FALSE(front.empty());
        const Choices::Route& fewest = front.back();
        EXPECT_EQ(total, fewest.days) << q.from[0] << " -> " << q.to[0];
        EXPECT_LE(fewest.legs.size(), flights.size());
        if (fewest.legs.size() == flights.size()) {
            ++sameLegs;
            std::vector<int> got;
            for (const Choices::Leg& l : fewest.legs) got.push_back(l.flight);
            EXPECT_EQ(flights, got) << q.from[0] << " -> " << q.to[0];
        }
        for (std::size_t i = 1; i < front.size(); ++i) {
            EXPECT_LT(front[i].days, front[i - 1].days);
            EXPECT_GT(front[i].legs.size(), front[i - 1].legs.size());
        }
        ++compared;
    }
    std::printf("[oracle] front on OpenFlights: %d queries, %d with the single fit's legs\n", compared, sameLegs);
    EXPECT_GT(sameLegs, compared / 2);
}

// The route choices' copy of the network follows edits and seat sales on
// the whole bundled network without being built again: after every edit
// its answers (for one and for two passengers) equal those of a copy built
// from scratch.
TEST(OpenFlightsChoicesCopy, FollowsEditsAndSeatsWithoutRebuilding) {
    const openflights::Network data = openflights::read(TAVRIK_OPENFLIGHTS_DIR);
    World w("OpenFlights choices", robustness::Checks{false, false, false});
    w.setProbing(false);
    ASSERT_EQ(0, openflights::enter(data, w.management()));
    IFreeSeats* free = World::freeSeatsOf(w.seatService());
    Choices::TChoices kept(&w.store(), free);
    std::vector<int> served;
    for (const auto& a : *w.store().getAirports())
        if (!a.second.pAirport->getFlights()->empty()) served.push_back(a.first);
    std::mt19937_64 rng(90210);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto any = [&] { return served[static_cast<std::size_t>(pick(0, static_cast<int>(served.size()) - 1))]; };
    auto text = [](const std::vector<Choices::Route>& routes) {
        std::ostringstream o;
        for (const Choices::Route& r : routes) {
            o << '[' << r.days << "d " << r.from;
            for (const Choices::Leg& l : r.legs) o << " -F" << l.flight << "-> " << l.to;
            o << "] ";
        }
        return o.str();
    };
    int compared = 0, limited = 0;
    std::vector<int> departures;
    for (int i = 0; i < 12; ++i) departures.push_back(any());
    for (int step = 0; step < scaled(60); ++step) {
        const int from = departures[static_cast<std::size_t>(pick(0, 11))];
        const int to = any();
        Choices::Query q;
        q.from = {from};
        q.to = {to};
        // An edit around the route of (from, to): one of its flights gone or
        // short of seats, a sale along it, or a new flight near it.
        const std::vector<Choices::Route> now = kept.alternatives(q, INT_MAX, 1);
        const int kind = pick(0, 3);
        if (!now.empty() && !now.front().legs.empty()) {
            const Choices::Leg& leg = now.front().legs[static_cast<std::size_t>(
                pick(0, static_cast<int>(now.front().legs.size()) - 1))];
            if (kind == 0) w.removeFlight(leg.from, leg.flight);
            if (kind == 1) w.setSeats(leg.from, leg.flight, pick(0, 2));
            if (kind == 2) w.sell(INT_MAX, from, to, pick(1, 2));
        }
        if (kind == 3) w.addFlight(900000 + step, pick(0, 2), from, any());
        q.hasPassengers = pick(0, 1) == 1;
        q.passengers = pick(1, 2);
        Choices::TChoices fresh(&w.store(), free);
        const std::vector<Choices::Route> a = kept.front(q, INT_MAX), b = fresh.front(q, INT_MAX);
        EXPECT_EQ(text(b), text(a)) << "front " << from << " -> " << to << " step " << step;
        const std::vector<Choices::Route> c = kept.alternatives(q, INT_MAX, 3), d = fresh.alternatives(q, INT_MAX, 3);
        EXPECT_EQ(text(d), text(c)) << "alternatives " << from << " -> " << to << " step " << step;
        Choices::Query r = q;
        r.to.clear();
        const std::vector<Choices::Reached> e = kept.reach(r, 2), f = fresh.reach(r, 2);
        EXPECT_EQ(e.size(), f.size()) << "reach from " << from << " step " << step;
        for (std::size_t i = 0; i < std::min(e.size(), f.size()); ++i)
            EXPECT_TRUE(e[i].airport == f[i].airport && e[i].days == f[i].days && e[i].legs == f[i].legs);
        ++compared;
        limited += q.hasPassengers && kind != 3;
    }
    EXPECT_EQ(1u, kept.builds());
    EXPECT_GT(limited, 0);
    EXPECT_EQ(0u, w.mismatches()) << w.reportText();
    std::printf("[oracle] choices copy on OpenFlights: %d edits followed, %d queries for passengers\n", compared,
                limited);
}

// Removing a flight of a found route changes the network's revision: the
// next query from that departure must not reuse the old search.
TEST_F(OpenFlightsExactness, QueryAfterRemovingAFlightOfTheRoute) {
    const std::vector<int> served = servedAirports();
    std::mt19937_64 rng(77);
    auto any = [&] { return served[std::uniform_int_distribution<std::size_t>(0, served.size() - 1)(rng)]; };
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int from = any();
        const int to = any();
        if (world->booking().getRouteFlight(INT_MAX, from, to) != 0) continue;
        const std::list<TTicket> before = *world->booking().getTickets();
        if (before.size() < 4) continue;
        // The last leg (from the departure airport), named by its departure end.
        const TTicket firstLeg = before.back();
        ASSERT_EQ(0, world->removeFlight(firstLeg.airport, firstLeg.flight));
        std::list<TTicket> expected;
        world->check(INT_MAX, from, to, expected);
        EXPECT_NE(before, expected);
        EXPECT_EQ(0u, world->mismatches()) << world->reportText();
        return;
    }
    FAIL() << "no route of two legs or more found among 50 random pairs";
}

}  // namespace
