// The fast route search against the literal one (tests/support/LiteralFitting.h)
// on many seeded random networks and on the OpenFlights network: every code
// and every ticket list must be exactly the same, through TArmoringTicket
// (codes shifted by -4) and through TFitingFlight itself.
//
// The random networks are small on purpose: few airports in a narrow range of
// numbers (negative ones and -1 included), few flight numbers shared by
// unrelated airports, day counts 0..3, so that equal totals, zero-day flights
// and parallel flights are everywhere and every tie rule gets decided.
// Flights and airports come and go between queries, and queries from one
// departure follow each other, since the library resumes its last search.
//
// TAVRIK_ORACLE_SCALE (a positive number, default 1) scales the amount of
// work; sanitizer and coverage builds default to less.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/OpenFlightsNetwork.h"
#include "fitting/TFitingFlight.h"
#include "flights/TManagementFlight.h"
#include "store/TDataAccess.h"
#include "tests/support/LiteralFitting.h"
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

std::string ticketsText(const std::list<TTicket>& tickets) {
    std::ostringstream out;
    out << "[";
    for (const TTicket& t : tickets) out << " {" << t.airport << "," << t.flight << "}";
    out << " ]";
    return out.str();
}

int clampToInt(std::int64_t v) {
    return static_cast<int>(std::min<std::int64_t>(INT_MAX, std::max<std::int64_t>(INT_MIN, v)));
}

// The sum of the day counts of a route as the oracle wrote it: the second
// ticket of each leg is the flight's entry at its departure airport.
std::int64_t routeTotal(const oracle::Network& net, const std::list<TTicket>& route) {
    std::int64_t total = 0;
    bool departureEntry = false;
    for (const TTicket& t : route) {
        if (departureEntry) total += net.at(t.airport).at(t.flight).days;
        departureEntry = !departureEntry;
    }
    return total;
}

// One store seen by both entry points of the library, the operations applied
// to it (for failure messages) and the oracle's copy of it.
class World {
public:
    explicit World(std::string name) : name(std::move(name)) {}

    int addAirport(int airport) {
        const int r = management.addAirport(airport, "A" + std::to_string(airport));
        note("addAirport(" + std::to_string(airport) + ") -> " + std::to_string(r));
        return r;
    }
    int addFlight(int flight, int days, int from, int to) {
        const int r = management.addFlight("F" + std::to_string(flight), flight, days, from, to);
        note("addFlight(" + std::to_string(flight) + ", days " + std::to_string(days) + ", " +
             std::to_string(from) + " -> " + std::to_string(to) + ") -> " + std::to_string(r));
        return r;
    }
    int removeFlight(int airport, int flight) {
        const int r = management.removeFlight(airport, flight);
        note("removeFlight(" + std::to_string(airport) + ", " + std::to_string(flight) + ") -> " + std::to_string(r));
        return r;
    }
    int removeAirport(int airport) {
        const int r = management.removeAirport(airport);
        note("removeAirport(" + std::to_string(airport) + ") -> " + std::to_string(r));
        return r;
    }
    // Books the current list: counts change, routes must not.
    void book() {
        const int r = booking.armoringTickets();
        note("armoringTickets() -> " + std::to_string(r));
    }

    const oracle::Network& oracleNetwork() {
        if (stale) {
            net = oracle::snapshot(store);
            stale = false;
        }
        return net;
    }

    // Runs one query through the oracle and both library entry points and
    // records any difference. Returns the oracle's code and fills `expected`.
    int check(int maxDays, int from, int to, std::list<TTicket>& expected) {
        const int code = oracle::literalFitRoute(oracleNetwork(), maxDays, from, to, expected);

        const int viaBooking = booking.getRouteFlight(maxDays, from, to);
        const std::list<TTicket> bookingList = *booking.getTickets();

        // A list holding something beforehand, which a refusal must empty.
        std::list<TTicket> direct{TTicket{424242, 7}};
        const int viaFitting = fitting.fitRoute(maxDays, from, to, &direct);

        const int expectedBooking = code == 0 ? 0 : code - 4;
        std::ostringstream query;
        query << "fitRoute(maxDays " << maxDays << ", " << from << " -> " << to << ")";
        if (logging) log.push_back(query.str() + " -> oracle " + std::to_string(code));
        ++queries;
        if (viaBooking != expectedBooking || bookingList != expected || viaFitting != code || direct != expected) {
            ++mismatches;
            if (mismatches <= 3) {
                ADD_FAILURE() << name << ": " << query.str() << "\n  oracle:          " << code << " "
                              << ticketsText(expected) << "\n  getRouteFlight:  " << viaBooking << " "
                              << ticketsText(bookingList) << "\n  TFitingFlight:   " << viaFitting << " "
                              << ticketsText(direct) << "\n" << history();
            }
        }
        return code;
    }

    // The oracle's smallest total for a query, if it has a route within int
    // range (nullopt: none, or beyond INT_MAX).
    std::optional<std::int64_t> total(int from, int to) {
        std::list<TTicket> route;
        if (check(INT_MAX, from, to, route) != 0) return std::nullopt;
        return routeTotal(oracleNetwork(), route);
    }

    std::string history() const {
        std::string text = "  operations so far:\n";
        const std::size_t start = log.size() > 400 ? log.size() - 400 : 0;
        for (std::size_t i = start; i < log.size(); ++i) text += "    " + log[i] + "\n";
        return text;
    }

    DataAccess::TDataAccess store;
    ManagementFlight::TManagementFlight management{&store};
    ArmoringTicket::TArmoringTicket booking{&store};
    FitingFlight::TFitingFlight fitting{&store};
    bool logging = true;
    int queries = 0;
    int mismatches = 0;

private:
    void note(std::string line) {
        stale = true;
        if (logging) log.push_back(std::move(line));
    }

    std::string name;
    std::vector<std::string> log;
    oracle::Network net;
    bool stale = true;
};

// How a random network draws its day counts.
enum class Days {
    Small,          // 0..3
    ZeroOrOne,      // 0..1, mostly ties
    WithNegative,   // -3..3, about a third negative
    Wide,           // 0..2 and 255..258: too wide for the bitmap queue, ties kept
    HugePositive,   // near INT_MAX and small ones
    HugeBothSigns,  // near INT_MAX and near INT_MIN
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
        }
        return 0;
    }

    // An airport number: mostly one that exists, sometimes any in (or just
    // beyond) the range, which may be absent.
    int airport(World& w) {
        const auto& airports = *w.store.getAirports();
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
        const int airports = static_cast<int>(w.store.getAirports()->size());
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
        const int kind = pick(0, 9);
        if (kind <= 3) {
            // Removes an existing flight through either of its airports.
            const int at = airport(w);
            const auto* table = w.store.getFlights(at);
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
        } else {
            w.book();
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

private:
    std::mt19937_64 rng;
    Days days;
    int idLow, idHigh, flightLow, flightHigh;
};

// Builds `seeds` random networks and runs changes and query groups on each.
void runRandom(const char* label, Days days, int seeds, std::uint64_t firstSeed, int span = 14) {
    int totalQueries = 0;
    int failedSeeds = 0;
    for (int s = 0; s < seeds; ++s) {
        const std::uint64_t seed = firstSeed + static_cast<std::uint64_t>(s);
        World w(std::string(label) + " seed " + std::to_string(seed));
        RandomNetwork gen(seed, days, span);
        gen.build(w);
        const int steps = gen.pick(10, 40);
        for (int i = 0; i < steps && w.mismatches == 0; ++i) {
            if (gen.chance(0.3))
                gen.mutate(w);
            else
                gen.queryGroup(w);
        }
        totalQueries += w.queries;
        if (w.mismatches != 0) ++failedSeeds;
        if (failedSeeds >= 3) break;  // the first failures carry the detail
    }
    EXPECT_EQ(0, failedSeeds) << label << ": networks with a difference";
    // The loop must really have compared something.
    EXPECT_GT(totalQueries, seeds * 3);
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
    EXPECT_EQ(0, w.booking.getRouteFlight(INT_MAX, -1, 0));
    EXPECT_EQ(-3, w.check(INT_MAX, -1, 1, route));
    EXPECT_EQ(-7, w.booking.getRouteFlight(INT_MAX, -1, 1));
    EXPECT_TRUE(w.booking.getTickets()->empty());

    // 2 * INT_MAX + INT_MIN = INT_MAX - 1, back in range.
    EXPECT_EQ(0, w.check(INT_MAX - 1, -1, 2, route));
    EXPECT_EQ(-3, w.check(INT_MAX - 2, -1, 2, route));

    // Two legs of INT_MIN days: below INT_MIN, so under every limit.
    EXPECT_EQ(0, w.check(INT_MIN, 1, 3, route));
    EXPECT_EQ(0, w.booking.getRouteFlight(INT_MIN, 1, 3));
    EXPECT_EQ(4u, w.booking.getTickets()->size());
    EXPECT_EQ(0, w.mismatches);
}

// ---- the OpenFlights network ----

class OpenFlightsExactness : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        data = new openflights::Network(openflights::read(TAVRIK_OPENFLIGHTS_DIR));
        world = new World("OpenFlights");
        world->logging = false;
        refused = openflights::enter(*data, world->management);
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
        for (const auto& a : *world->store.getAirports())
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
    EXPECT_EQ(data->airports.size(), world->store.getAirports()->size());
    std::size_t entries = 0;
    for (const auto& a : *world->store.getAirports()) entries += a.second.pAirport->getFlights()->size();
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
            EXPECT_EQ(-7, world->booking.getRouteFlight(clampToInt(total - 1), from, to))
                << from << " -> " << to;
            EXPECT_EQ(0, world->booking.getRouteFlight(clampToInt(total), from, to)) << from << " -> " << to;
            EXPECT_EQ(expected, *world->booking.getTickets()) << from << " -> " << to;
        }
    }
    EXPECT_EQ(0, world->mismatches);
    EXPECT_GT(routes, 0);
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
        if (world->booking.getRouteFlight(INT_MAX, from, to) != 0) continue;
        const std::list<TTicket> before = *world->booking.getTickets();
        if (before.size() < 4) continue;
        // The last leg (from the departure airport), named by its departure end.
        const TTicket firstLeg = before.back();
        ASSERT_EQ(0, world->removeFlight(firstLeg.airport, firstLeg.flight));
        std::list<TTicket> expected;
        world->check(INT_MAX, from, to, expected);
        EXPECT_NE(before, expected);
        EXPECT_EQ(0, world->mismatches);
        return;
    }
    FAIL() << "no route of two legs or more found among 50 random pairs";
}

}  // namespace
