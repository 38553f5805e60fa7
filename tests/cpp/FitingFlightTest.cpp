#include <gtest/gtest.h>

#include <climits>
#include <list>
#include <map>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "fitting/TFitingFlight.h"
#include "store/TDataAccess.h"

using FitingFlight::TFitingFlight;

namespace {

using Tickets = std::vector<TTicket>;

class Fitting : public ::testing::Test {
protected:
    DataAccess::TDataAccess store;
    TFitingFlight fitting{&store};
    std::list<TTicket> route;

    void airports(std::initializer_list<int> numbers) {
        for (int n : numbers) ASSERT_EQ(0, store.addAirport(n, "a"));
    }
    void flight(int number, int days, int from, int to) {
        ASSERT_EQ(0, store.addFlight("f", number, days, from, to));
    }
    int fit(int maxDays, int from, int to) { return fitting.fitRoute(maxDays, from, to, &route); }
    Tickets tickets() const { return Tickets(route.begin(), route.end()); }
    // A route left over from an earlier call, to see that refusals empty it.
    void stale() { route.assign({{7, 7}, {8, 8}}); }
};

}  // namespace

TEST_F(Fitting, ChainWrittenFromArrivalBackTwoTicketsPerLeg) {
    airports({1, 2, 3});
    flight(21, 2, 1, 2);
    flight(22, 3, 2, 3);
    EXPECT_EQ(0, fit(5, 1, 3));
    EXPECT_EQ((Tickets{{3, 22}, {2, 22}, {2, 21}, {1, 21}}), tickets());
    stale();
    EXPECT_EQ(-3, fit(4, 1, 3));
    EXPECT_TRUE(route.empty());
}

TEST_F(Fitting, DirectFlightWinsOnlyWhenStrictlyShorterOrEqualAndIncludedFirst) {
    airports({1, 2, 3});
    flight(21, 2, 1, 2);
    flight(22, 3, 2, 3);
    flight(30, 6, 1, 3);
    EXPECT_EQ(0, fit(100, 1, 3));
    EXPECT_EQ((Tickets{{3, 22}, {2, 22}, {2, 21}, {1, 21}}), tickets());
    ASSERT_EQ(0, store.removeFlight(1, 30));
    flight(30, 5, 1, 3);
    // Equal totals: the leg from airport 1, included first, came first.
    EXPECT_EQ(0, fit(100, 1, 3));
    EXPECT_EQ((Tickets{{3, 30}, {1, 30}}), tickets());
}

TEST_F(Fitting, ParallelFlightsTakeTheSmallerNumber) {
    airports({1, 2});
    flight(8, 2, 1, 2);
    flight(4, 2, 1, 2);
    flight(6, 1, 2, 1);
    EXPECT_EQ(0, fit(2, 1, 2));
    EXPECT_EQ((Tickets{{2, 4}, {1, 4}}), tickets());
}

TEST_F(Fitting, FlightsArrivingAtTheDepartureAreNotUsedToLeaveIt) {
    airports({1, 2});
    flight(5, 1, 2, 1);
    stale();
    EXPECT_EQ(-4, fit(100, 1, 2));
    EXPECT_TRUE(route.empty());
    EXPECT_EQ(0, fit(100, 2, 1));
    EXPECT_EQ((Tickets{{1, 5}, {2, 5}}), tickets());
}

TEST_F(Fitting, CodesComeInTheOrderOfTheChecks) {
    airports({1, 2, 3});
    flight(21, 2, 1, 2);
    stale();
    EXPECT_EQ(-1, fit(100, 9, 8));
    EXPECT_TRUE(route.empty());
    EXPECT_EQ(-1, fit(100, 9, 1));
    EXPECT_EQ(-2, fit(100, 1, 9));
    // Unreachable arrival: -4 unless the limit is below -1, then -3.
    EXPECT_EQ(-4, fit(100, 1, 3));
    EXPECT_EQ(-4, fit(-1, 1, 3));
    EXPECT_EQ(-3, fit(-2, 1, 3));
    EXPECT_EQ(-3, fit(INT_MIN, 1, 3));
    // Departure equal to arrival: no legs.
    stale();
    EXPECT_EQ(0, fit(0, 2, 2));
    EXPECT_TRUE(route.empty());
    EXPECT_EQ(-3, fit(-1, 2, 2));
}

TEST_F(Fitting, UnconnectedAirportsDoNotDisturbAndNothingIsInserted) {
    airports({-5, 1, 2, 3, 50, 60});
    flight(1, 4, 50, 60);
    flight(21, 2, 1, 2);
    flight(22, 3, 2, 3);
    flight(2, 0, -5, 60);
    EXPECT_EQ(0, fit(5, 1, 3));
    EXPECT_EQ((Tickets{{3, 22}, {2, 22}, {2, 21}, {1, 21}}), tickets());
    EXPECT_EQ(6u, store.getAirports()->size());
}

TEST_F(Fitting, MinusOneIsAnOrdinaryAirportAndFlightNumber) {
    airports({-1, 0, 2, 5, 6});
    flight(-1, 1, -1, 0);
    flight(-1, 1, 5, 6);  // same number, other pair
    flight(7, 1, 0, 2);
    flight(8, 1, 2, -1);
    EXPECT_EQ(0, fit(2, -1, 2));
    EXPECT_EQ((Tickets{{2, 7}, {0, 7}, {0, -1}, {-1, -1}}), tickets());
    EXPECT_EQ(0, fit(1, 2, -1));
    EXPECT_EQ((Tickets{{-1, 8}, {2, 8}}), tickets());
}

TEST_F(Fitting, ZeroDayFlightsChooseByTotalThenNumberAtEveryStep) {
    // 5 is reached at total 1 before 2 is reached (through 5) at the same
    // total; 2 must then be included after 5 although its number is smaller.
    airports({1, 2, 5, 9});
    flight(1, 1, 1, 5);
    flight(2, 0, 5, 2);
    flight(3, 1, 5, 9);
    flight(4, 0, 2, 9);
    EXPECT_EQ(0, fit(1, 1, 9));
    // 9 is first reached from 5 (total 2), then improved through 2 (total 1).
    EXPECT_EQ((Tickets{{9, 4}, {2, 4}, {2, 2}, {5, 2}, {5, 1}, {1, 1}}), tickets());
}

TEST_F(Fitting, ZeroDayFlightQueuesASmallerNumberBehindTheOnesAlreadyTaken) {
    // Airports spread over several 64-airport words. At total 1 the search
    // takes 100 and 150; 150's zero-day flight then reaches 5 at total 1,
    // which must come before 180, although 5 lies before everything taken.
    for (int n = 0; n < 200; ++n) ASSERT_EQ(0, store.addAirport(n, "a"));
    flight(1, 1, 0, 100);
    flight(2, 1, 0, 150);
    flight(3, 1, 0, 180);
    flight(4, 0, 150, 5);
    flight(5, 1, 5, 199);
    flight(6, 1, 180, 199);
    EXPECT_EQ(0, fit(2, 0, 199));
    EXPECT_EQ((Tickets{{199, 5}, {5, 5}, {5, 4}, {150, 4}, {150, 2}, {0, 2}}), tickets());
}

TEST_F(Fitting, TotalsBeyondTheIntRangeExceedAnyLimit) {
    airports({1, 2, 3});
    flight(1, INT_MAX, 1, 2);
    flight(2, INT_MAX, 2, 3);
    EXPECT_EQ(-3, fit(INT_MAX, 1, 3));
    EXPECT_EQ(0, fit(INT_MAX, 1, 2));
}

TEST_F(Fitting, NegativeDayCountsFollowTheGreedyRuleAndAlwaysEnd) {
    airports({1, 2, 3});
    flight(1, 1, 1, 2);
    flight(2, -1, 2, 1);  // a loop that keeps improving
    flight(3, 5, 1, 3);
    // Airport 1 is improved through 2 after it was included; the route to 3
    // was fixed when 1 relaxed first.
    EXPECT_EQ(0, fit(10, 1, 3));
    EXPECT_EQ((Tickets{{3, 3}, {1, 3}}), tickets());
    // A total of -1 is an ordinary total, not "unreached".
    EXPECT_EQ(0, fit(-1, 2, 1));
    EXPECT_EQ((Tickets{{1, 2}, {2, 2}}), tickets());
}

TEST_F(Fitting, NegativeLoopMakesTheWalkBackEndWithNoRoute) {
    // Four airports allow three relaxations: 1, 2, then 3, whose flight back
    // to 2 improves 2 (already included) to -3 through 3, while 3 keeps its
    // label through 2: the walk back from 3 or 2 circles between them.
    airports({1, 2, 3, 4});
    flight(1, 1, 1, 2);
    flight(2, 1, 2, 3);
    flight(3, -5, 3, 2);
    stale();
    EXPECT_EQ(-4, fit(100, 1, 3));
    EXPECT_TRUE(route.empty());
    EXPECT_EQ(-4, fit(100, 1, 2));
    // Without the fourth airport, 3 is chosen last and never relaxed.
    ASSERT_EQ(0, store.removeAirport(4));
    EXPECT_EQ(0, fit(100, 1, 3));
    EXPECT_EQ((Tickets{{3, 2}, {2, 2}, {2, 1}, {1, 1}}), tickets());
}

TEST_F(Fitting, EveryChangeOfTheNetworkIsSeenByTheNextQuery) {
    airports({1, 2, 3});
    flight(21, 2, 1, 2);
    flight(22, 3, 2, 3);
    ASSERT_EQ(0, fit(100, 1, 3));
    ASSERT_EQ(0, fit(100, 1, 2));  // resumes the same search
    flight(5, 1, 1, 3);
    EXPECT_EQ(0, fit(100, 1, 3));
    EXPECT_EQ((Tickets{{3, 5}, {1, 5}}), tickets());
    ASSERT_EQ(0, store.removeAirport(3));
    EXPECT_EQ(-2, fit(100, 1, 3));
    ASSERT_EQ(0, store.addAirport(3, "back"));
    EXPECT_EQ(-4, fit(100, 1, 3));
    ASSERT_EQ(0, store.addAirport(0, "smaller number shifts every index"));
    ASSERT_EQ(0, store.addFlight("g", 9, 1, 2, 3));
    EXPECT_EQ(0, fit(100, 1, 3));
    EXPECT_EQ((Tickets{{3, 9}, {2, 9}, {2, 21}, {1, 21}}), tickets());
}

TEST_F(Fitting, ResumedQueriesGiveWhatFreshSearchesGive) {
    // A grid with ties everywhere; every query from 0 after the first resumes.
    for (int i = 0; i < 16; ++i) ASSERT_EQ(0, store.addAirport(i, "g"));
    int number = 0;
    for (int i = 0; i < 16; ++i) {
        if (i % 4 != 3) {
            ASSERT_EQ(0, store.addFlight("r", number++, (i % 3), i, i + 1));
        }
        if (i < 12) {
            ASSERT_EQ(0, store.addFlight("d", number++, 1, i, i + 4));
        }
    }
    std::vector<Tickets> resumed;
    for (int to = 15; to >= 0; --to) {
        ASSERT_EQ(0, fit(100, 0, to));
        resumed.push_back(tickets());
    }
    std::size_t k = 0;
    for (int to = 15; to >= 0; --to, ++k) {
        TFitingFlight fresh(&store);
        ASSERT_EQ(0, fresh.fitRoute(100, 0, to, &route));
        EXPECT_EQ(resumed[k], tickets()) << "to " << to;
    }
}

TEST_F(Fitting, IdleSearchStatesAreBoundedAndGoWithTheLastAirport) {
    FitingFlight::SearchTuning tuning;
    tuning.idleStates = 2;
    TFitingFlight bounded(&store, tuning);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(0, store.addAirport(i, "s"));
    for (int i = 0; i < 199; ++i) ASSERT_EQ(0, store.addFlight("c", i, 1 + i % 3, i, i + 1));
    std::vector<std::thread> threads;
    std::vector<int> codes(8, 1);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            std::list<TTicket> mine;
            for (int q = 0; q < 20; ++q) codes[t] = bounded.fitRoute(INT_MAX, t, 199 - q, &mine);
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(std::vector<int>(8, 0), codes);
    EXPECT_LE(bounded.idleStates(), 2u);
    EXPECT_EQ(200u, bounded.copySlots());

    // Every airport gone: no copy and no state is kept.
    for (int i = 0; i < 200; ++i) ASSERT_EQ(0, store.removeAirport(i));
    EXPECT_EQ(0u, bounded.idleStates());
    EXPECT_EQ(0u, bounded.copySlots());
    // The next query builds the copy from what the store holds then.
    airports({5, 6});
    flight(1, 4, 5, 6);
    std::list<TTicket> again;
    EXPECT_EQ(0, bounded.fitRoute(INT_MAX, 5, 6, &again));
    EXPECT_EQ((Tickets{{6, 1}, {5, 1}}), Tickets(again.begin(), again.end()));
    EXPECT_EQ(2u, bounded.copySlots());
}

// The free seats the copy keeps beside its flights follow every edit: a
// flight's count moves with it when its edge takes over from a removed one,
// when its range moves or the copy compacts, and keptFlight names the first
// flight of the pair in (days, number) with the seats asked for.
TEST(SearchNetworkSeats, KeptFlightFollowsEditsCountsAndCompaction) {
    FitingFlight::SearchTuning tuning;
    tuning.indexFrom = 2;  // small degrees go through the hash index too
    FitingFlight::SearchNetwork net(tuning);
    struct Flight {
        int days, from, to, free;
    };
    std::map<int, Flight> flights;  // by number, unique in the whole network here
    std::mt19937 rng(5);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int a = 0; a < 6; ++a) net.addAirport(a);
    int checks = 0, standIns = 0;
    for (int step = 0; step < 4000; ++step) {
        const int op = pick(0, 9), number = pick(0, 39);
        auto f = flights.find(number);
        if (op < 4 && f == flights.end()) {
            const Flight added{pick(0, 2), pick(0, 2), pick(0, 2), FitingFlight::SearchNetwork::kNoLimit};
            net.addFlight(number, added.days, added.from, added.to);
            flights.emplace(number, added);
        } else if (op < 6 && f != flights.end()) {
            net.removeFlight(number, f->second.days, f->second.from, f->second.to);
            flights.erase(f);
        } else if (op < 9 && f != flights.end()) {
            f->second.free = pick(0, 3);
            net.setFree(number, f->second.days, f->second.from, f->second.to, f->second.free);
        } else if (op == 9) {
            net.compact();
        }
        ASSERT_EQ("", net.indexBreach()) << "step " << step;
        for (std::uint32_t u = 0; u < net.slotCount(); ++u) {
            for (const FitingFlight::Edge* e = net.edgesBegin(u); e != net.edgesEnd(u); ++e) {
                for (int passengers = 1; passengers <= 3; ++passengers) {
                    std::pair<int, int> want{INT_MAX, INT_MAX};  // (days, number)
                    for (const auto& [n, x] : flights)
                        if (x.from == net.idOf(u) && x.to == net.idOf(e->to) && x.free >= passengers)
                            want = std::min(want, std::make_pair(x.days, n));
                    int flight = -1, days = -1;
                    const bool kept = net.keptFlight(u, e, passengers, flight, days);
                    ASSERT_EQ(want.second != INT_MAX, kept) << "step " << step;
                    if (kept) {
                        ASSERT_EQ(want, std::make_pair(days, flight)) << "step " << step;
                    }
                    standIns += kept && flight != net.flightOfEdge(e);
                    ++checks;
                }
            }
        }
    }
    EXPECT_GT(checks, 10000);
    EXPECT_GT(standIns, 500);  // the stand-ins were asked for, not only the edges' own flights
}
