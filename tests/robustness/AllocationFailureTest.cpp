// Every operation of the library run with its N-th allocation failing, for
// N = 1, 2, ... until the operation gets through without reaching N; once
// failing only the N-th allocation, once failing the N-th and every later
// one. After each failure:
//  - the network (airports with names, flight tables with every field and
//    booked count) and the current ticket list are as before the call, and
//    the store's invariants hold;
//  - the same operation run again without failures gives the same result,
//    network and ticket list as on an untouched copy, and so do a few route
//    queries after it (a failure must not leave a stale cached search).
// Operations that allocate nothing are checked to allocate nothing: they
// cannot fail half-way.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/robustness/FailingAllocator.h"
#include "choices/Choices.h"
#include "fitting/TFitingFlight.h"
#include "library/Network.h"
#include "tests/support/LibraryState.h"

namespace {

using robustness::World;

const std::string kLongAirport = "An airport name well past the small-string buffer";
const std::string kLongFlight = "A flight name well past the small-string buffer, too";

// What an operation gave back. Filled inside the armed window by moves only,
// so that the harness itself allocates nothing there.
struct Outcome {
    int code = 0;
    std::vector<tavrik::ReportedFlight> report;
};

struct Observed {
    int code;
    std::vector<model::Row> report;
    model::Airports network;
    std::vector<TTicket> tickets;
    std::string seats;
};

bool operator==(const Observed& a, const Observed& b) {
    return a.code == b.code && a.report == b.report && a.network == b.network && a.tickets == b.tickets &&
           a.seats == b.seats;
}

std::string describe(const Observed& o) {
    return "code " + std::to_string(o.code) + "\n report" + robustness::describe(o.report) + "\n tickets" +
           robustness::describe(o.tickets) + "\n network\n" + robustness::describe(o.network) + " seats\n" +
           o.seats;
}

Observed observe(World& w, const Outcome& out) {
    return Observed{out.code, out.report, robustness::networkOf(w.store), robustness::ticketsOf(w.booking),
                    robustness::describeSeats(w)};
}

// A network with long names (so that copying a name allocates), ties, a
// zero-day flight and flights in both directions.
void baseNetwork(World& w) {
    for (int a = 1; a <= 6; ++a) ASSERT_EQ(0, w.store.addAirport(a, kLongAirport + std::to_string(a)));
    struct F {
        int flight, days, from, to;
    };
    const F flights[] = {{10, 1, 1, 2}, {11, 1, 2, 3}, {12, 2, 1, 3}, {13, 0, 3, 4}, {14, 2, 4, 5},
                         {15, 5, 2, 5}, {16, 1, 5, 6}, {17, 1, 6, 1}, {18, 4, 3, 6}, {19, 3, 4, 1}};
    for (const F& f : flights)
        ASSERT_EQ(0, w.store.addFlight(kLongFlight + std::to_string(f.flight), f.flight, f.days, f.from, f.to));
}

// Enough airports added and removed that the route search's copy of the
// network has passed its share of dead slots: its next addition rebuilds it.
void wornNetwork(World& w) {
    baseNetwork(w);
    ASSERT_EQ(0, w.booking.getRouteFlight(100, 1, 6));  // the search builds its copy
    for (int a = 100; a < 180; ++a) ASSERT_EQ(0, w.store.addAirport(a, kLongAirport));
    for (int a = 100; a < 180; ++a) ASSERT_EQ(0, w.store.addFlight(kLongFlight, a, 1, 1, a));
    for (int a = 100; a < 180; ++a) ASSERT_EQ(0, w.store.removeAirport(a));
    ASSERT_EQ(0, w.booking.getRouteFlight(100, 1, 6));
}

// With a fitted route in the ticket list, booked once.
void bookedRoute(World& w) {
    baseNetwork(w);
    ASSERT_EQ(0, w.booking.getRouteFlight(100, 1, 6));
    ASSERT_EQ(0, w.booking.armoringTickets());
}

// Whether an operation must allocate (so its sweep must reach a failure
// point), must not (so it cannot fail half-way), or may either way.
enum class Allocates { yes, no, maybe };

struct Scenario {
    const char* name;
    std::function<void(World&)> setup;
    std::function<void(World&, Outcome&)> run;
    Allocates allocates = Allocates::yes;
};

// Runs only the scenarios whose name contains TAVRIK_ALLOC_ONLY, if set.
bool selected(const Scenario& s) {
    const char* only = std::getenv("TAVRIK_ALLOC_ONLY");
    return only == nullptr || std::string(s.name).find(only) != std::string::npos;
}

// Queries run after the operation on the swept world and on the untouched
// one alike; their codes and tickets must agree.
std::vector<std::pair<int, std::vector<TTicket>>> followUps(World& w) {
    const int queries[][3] = {{100, 1, 6}, {100, 2, 5}, {3, 1, 4}, {100, 4, 2}, {100, 1, 6}};
    std::vector<std::pair<int, std::vector<TTicket>>> results;
    for (const auto& q : queries) {
        const int code = w.booking.getRouteFlight(q[0], q[1], q[2]);
        results.emplace_back(code, robustness::ticketsOf(w.booking));
    }
    return results;
}

// Sweeps one operation in one mode; returns the number of failure points.
std::uint64_t sweep(const Scenario& s, bool persistent) {
    SCOPED_TRACE(std::string(s.name) + (persistent ? " (N-th and later fail)" : " (only the N-th fails)"));

    World untouched;
    s.setup(untouched);
    Outcome refOut;
    s.run(untouched, refOut);
    const Observed reference = observe(untouched, refOut);
    const auto referenceFollowUps = followUps(untouched);

    const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    const int partsBefore = result->total_part_count();
    std::uint64_t points = 0;
    for (std::uint64_t n = 1;; ++n) {
        if (n > 100000) {
            ADD_FAILURE() << "no end to the allocations after " << n;
            return points;
        }
        World w;
        s.setup(w);
        const model::Airports networkBefore = robustness::networkOf(w.store);
        const std::vector<TTicket> ticketsBefore = robustness::ticketsOf(w.booking);
        const std::string seatsBefore = robustness::describeSeats(w);

        Outcome out;
        bool threw = false;
        std::uint64_t failures;
        {
            failing::Armed armed(n, persistent);
            try {
                s.run(w, out);
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            failures = armed.finish();
        }

        if (failures == 0) {
            // Got through before the N-th allocation: the sweep is complete.
            EXPECT_FALSE(threw);
            const Observed done = observe(w, out);
            EXPECT_TRUE(done == reference) << "undisturbed run differs\n" << describe(done) << "\nexpected\n"
                                           << describe(reference);
            break;
        }
        ++points;
        SCOPED_TRACE("allocation " + std::to_string(n) + " failed");

        if (threw) {
            EXPECT_EQ(seatsBefore, robustness::describeSeats(w)) << "seats or bookings changed by a failed call";
            const model::Airports networkAfter = robustness::networkOf(w.store);
            EXPECT_TRUE(networkAfter == networkBefore) << "network changed by a failed call\n"
                                                       << robustness::describe(networkAfter) << "before\n"
                                                       << robustness::describe(networkBefore);
            EXPECT_EQ(ticketsBefore, robustness::ticketsOf(w.booking)) << "ticket list changed by a failed call";
        } else {
            // The library absorbed the failure itself: then the call must
            // have done exactly what an undisturbed call does.
            const Observed absorbed = observe(w, out);
            EXPECT_TRUE(absorbed == reference) << "a call that absorbed a failure differs\n" << describe(absorbed);
        }
        const std::string breach = robustness::invariantBreach(w.store);
        EXPECT_TRUE(breach.empty()) << breach;

        if (threw) {
            Outcome again;
            s.run(w, again);
            const Observed retried = observe(w, again);
            EXPECT_TRUE(retried == reference) << "the call run again differs\n" << describe(retried)
                                              << "\nexpected\n" << describe(reference);
        }
        EXPECT_EQ(referenceFollowUps, followUps(w)) << "route queries after the failure differ";
        if (result->total_part_count() != partsBefore) return points;  // one report per sweep is enough
    }
    return points;
}

void sweepAll(const char* group, const std::vector<Scenario>& scenarios, bool persistent) {
    std::uint64_t total = 0;
    for (const Scenario& s : scenarios) {
        if (!selected(s)) continue;
        const std::uint64_t points = sweep(s, persistent);
        std::printf("[alloc-failure] %-58s %s: %llu failure points\n", s.name,
                    persistent ? "N-th and later" : "N-th only     ", static_cast<unsigned long long>(points));
        if (s.allocates == Allocates::yes) {
            EXPECT_GT(points, 0u) << s.name << ": no allocation was made to fail (is the allocator replaced?)";
        } else if (s.allocates == Allocates::no) {
            EXPECT_EQ(0u, points) << s.name << " allocates, so it could fail half-way";
        }
        total += points;
    }
    std::printf("[alloc-failure] %s, %s: %llu failure points swept in %zu operations\n", group,
                persistent ? "N-th and later fail" : "only the N-th fails", static_cast<unsigned long long>(total),
                scenarios.size());
}

// ---- the operations ----

std::vector<Scenario> storeScenarios() {
    return {
        {"store.addAirport, new number", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addAirport(7, kLongAirport); }},
        {"store.addAirport, number taken", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addAirport(3, kLongAirport); }},
        {"store.addFlight, new flight", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addFlight(kLongFlight, 20, 1, 1, 4); }},
        {"store.addFlight, number taken at the arrival only", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addFlight(kLongFlight, 14, 1, 1, 5); }},
        {"store.addFlight, the search's copy due for a rebuild", wornNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addFlight(kLongFlight, 20, 1, 1, 4); }},
        {"store.addAirport, the search's copy due for a rebuild", wornNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addAirport(7, kLongAirport); }},
        {"store.addAirport, below every number", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addAirport(0, kLongAirport); }},
        {"store.addFlight, from an airport added below every number",
         [](World& w) {
             baseNetwork(w);
             ASSERT_EQ(0, w.store.addAirport(0, kLongAirport));
             ASSERT_EQ(0, w.store.addFlight(kLongFlight, 40, 0, 1, 0));
         },
         [](World& w, Outcome& o) { o.code = w.store.addFlight(kLongFlight, 41, 0, 0, 6); }},
        {"store.addFlight, a parallel flight that wins", bookedRoute,
         [](World& w, Outcome& o) { o.code = w.store.addFlight(kLongFlight, 9, 0, 5, 6); }},
        {"store.addFlight, to the same airport", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.store.addFlight(kLongFlight, 21, 1, 2, 2); }},
        {"store.removeFlight", bookedRoute, [](World& w, Outcome& o) { o.code = w.store.removeFlight(5, 14); },
         Allocates::no},
        {"store.removeAirport with flights", bookedRoute,
         [](World& w, Outcome& o) { o.code = w.store.removeAirport(3); }},
        {"store.removeAirport, absent", baseNetwork, [](World& w, Outcome& o) { o.code = w.store.removeAirport(9); },
         Allocates::no},
        {"store.armoringTicketList, all booked", bookedRoute,
         [](World& w, Outcome& o) { o.code = w.store.armoringTicketList(w.booking.getTickets()); }, Allocates::no},
        {"store.armoringTicketList, refused after two tickets",
         [](World& w) {
             bookedRoute(w);
             w.booking.getTickets()->push_back(TTicket{4, 99});
         },
         [](World& w, Outcome& o) { o.code = w.store.armoringTicketList(w.booking.getTickets()); }, Allocates::no},
    };
}

std::vector<Scenario> managementScenarios() {
    return {
        {"management.addAirport", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.management.addAirport(8, kLongAirport); }},
        {"management.addAirport, number taken", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.management.addAirport(1, kLongAirport); }},
        {"management.addFlight", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.management.addFlight(kLongFlight, 22, 0, 5, 2); }},
        {"management.addFlight, number taken at the arrival only", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.management.addFlight(kLongFlight, 16, 0, 2, 6); }},
        {"management.removeFlight", bookedRoute,
         [](World& w, Outcome& o) { o.code = w.management.removeFlight(1, 17); }, Allocates::no},
        {"management.removeAirport", bookedRoute,
         [](World& w, Outcome& o) { o.code = w.management.removeAirport(4); }},
    };
}

std::vector<Scenario> bookingScenarios() {
    return {
        {"getRouteFlight, first query of the service", baseNetwork,
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 6); }},
        {"getRouteFlight, first query after a network change",
         [](World& w) {
             bookedRoute(w);
             ASSERT_EQ(0, w.store.addFlight(kLongFlight, 30, 0, 1, 4));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 6); }},
        {"getRouteFlight, resumed search from the same departure",
         [](World& w) {
             baseNetwork(w);
             ASSERT_EQ(0, w.booking.getRouteFlight(100, 1, 2));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 6); }},
        {"getRouteFlight, arrival already settled",
         [](World& w) {
             baseNetwork(w);
             ASSERT_EQ(0, w.booking.getRouteFlight(100, 1, 6));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 3); }},
        {"getRouteFlight, new departure on a cached network",
         [](World& w) {
             baseNetwork(w);
             ASSERT_EQ(0, w.booking.getRouteFlight(100, 1, 6));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 2, 1); }},
        {"getRouteFlight, over the day limit keeps nothing",
         [](World& w) { bookedRoute(w); },
         // On a settled search a refusal needs no memory at all.
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(1, 1, 6); }, Allocates::maybe},
        {"getRouteFlight, no route",
         [](World& w) {
             bookedRoute(w);
             ASSERT_EQ(0, w.store.addAirport(40, kLongAirport));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 40); }},
        {"getRouteFlight, through an airport added below every number",
         [](World& w) {
             bookedRoute(w);
             ASSERT_EQ(0, w.store.addAirport(0, kLongAirport));
             ASSERT_EQ(0, w.store.addFlight(kLongFlight, 40, 0, 1, 0));
             ASSERT_EQ(0, w.store.addFlight(kLongFlight, 41, 0, 0, 6));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 6); }},
        {"getRouteFlight, day counts past the bitmap queue",
         [](World& w) {
             baseNetwork(w);
             ASSERT_EQ(0, w.store.addFlight(kLongFlight, 32, 300, 5, 2));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 6); }},
        {"a second route search made on a loaded store",
         [](World& w) { bookedRoute(w); },
         [](World& w, Outcome& o) {
             {
                 FitingFlight::TFitingFlight extra(&w.store);
                 std::list<TTicket> route;
                 o.code = extra.fitRoute(100, 2, 5, &route);
             }
             // A search that failed to be made, or is gone, must not be told
             // of this edit.
             if (o.code == 0) o.code = w.store.addFlight(kLongFlight, 42, 1, 2, 4);
         }},
        {"getRouteFlight, negative day counts",
         [](World& w) {
             baseNetwork(w);
             ASSERT_EQ(0, w.store.addFlight(kLongFlight, 31, -3, 5, 2));
         },
         [](World& w, Outcome& o) { o.code = w.booking.getRouteFlight(100, 1, 6); }},
        {"armoringTickets", bookedRoute, [](World& w, Outcome& o) { o.code = w.booking.armoringTickets(); }, Allocates::no},
        {"armoringTickets, refused after a change",
         [](World& w) {
             bookedRoute(w);
             ASSERT_EQ(0, w.store.removeFlight(6, 16));
         },
         [](World& w, Outcome& o) { o.code = w.booking.armoringTickets(); }, Allocates::no},
    };
}

std::vector<Scenario> reportScenarios() {
    return {
        {"copyRouteReport", bookedRoute,
         [](World& w, Outcome& o) { o.report = tavrik::copyRouteReport(w.booking, w.management); }},
        {"copyRouteReport, a flight gone since fitting",
         [](World& w) {
             bookedRoute(w);
             ASSERT_EQ(0, w.store.removeFlight(5, 16));
         },
         [](World& w, Outcome& o) { o.report = tavrik::copyRouteReport(w.booking, w.management); }},
        {"copyAirportReport", bookedRoute,
         [](World& w, Outcome& o) { o.report = tavrik::copyAirportReport(w.management, 3); }},
    };
}

// The whole-route operations of the library, run with a route already in the
// current list: a failure must book nothing and leave that list alone.
std::vector<Scenario> wholeRouteScenarios() {
    return {
        {"Network::fitAndBook", bookedRoute,
         [](World& w, Outcome& o) {
             tavrik::Network lib(w.management, w.booking);
             tavrik::FittedRoute fitted = lib.fitAndBook(100, 2, 1);
             o.code = fitted.result;
             o.report = std::move(fitted.legs);
         }},
        {"Network::fitRoute", bookedRoute,
         [](World& w, Outcome& o) {
             tavrik::Network lib(w.management, w.booking);
             tavrik::FittedRoute fitted = lib.fitRoute(100, 2, 1);
             o.code = fitted.result;
             o.report = std::move(fitted.legs);
         }},
    };
}


// Capacities on flights 10, 11 (one seat left), 13 (full) and 16, and one
// keyed booking of two passengers over 10 and 11.
void seatedNetwork(World& w) {
    bookedRoute(w);
    ASSERT_TRUE(w.seats.setSeats(1, 10, 5).done());
    ASSERT_TRUE(w.seats.setSeats(3, 11, 3).done());
    ASSERT_TRUE(w.seats.setSeats(3, 13, 1).done());
    ASSERT_TRUE(w.seats.setSeats(6, 16, 9).done());
    const std::string key = kLongFlight + " key";
    ASSERT_TRUE(w.seats.book({{10, 1, 2}, {11, 2, 3}}, 2, &key).done());
}

int ruleCode(const TSeatOutcome& o) { return static_cast<int>(o.rule) * 1000 + static_cast<int>(o.booking); }

std::vector<Scenario> seatScenarios() {
    const std::string key = kLongFlight + " key";
    return {
        {"seats.setSeats, a new capacity", seatedNetwork,
         [](World& w, Outcome& o) { o.code = ruleCode(w.seats.setSeats(4, 14, 7)); }},
        {"seats.setSeats, a new capacity at a new airport", seatedNetwork,
         [](World& w, Outcome& o) { o.code = ruleCode(w.seats.setSeats(4, 19, 7)); }},
        {"seats.setSeats, a changed capacity", seatedNetwork,
         [](World& w, Outcome& o) { o.code = ruleCode(w.seats.setSeats(2, 10, 4)); }, Allocates::no},
        {"seats.fitFor", seatedNetwork,
         [](World& w, Outcome& o) {
             std::list<TTicket> route;
             const TSeatOutcome r = w.seats.fitFor(100, 1, 6, 2, &route);
             o.code = r.fit * 100 + static_cast<int>(route.size());
         }},
        {"seats.book, keyed", seatedNetwork,
         [key](World& w, Outcome& o) {
             const std::string other = key + " 2";
             o.code = ruleCode(w.seats.book({{12, 1, 3}, {18, 3, 6}}, 3, &other));
         }},
        {"seats.fitAndBook", seatedNetwork,
         [](World& w, Outcome& o) { o.code = ruleCode(w.seats.fitAndBook(100, 1, 6, 1, nullptr)); }},
        {"seats.book, keyed, refused for want of seats", seatedNetwork,
         [key](World& w, Outcome& o) {
             const std::string other = key + " 3";
             o.code = ruleCode(w.seats.book({{11, 2, 3}}, 2, &other));
         }},
        {"seats.book, the key's retry", seatedNetwork,
         [key](World& w, Outcome& o) { o.code = ruleCode(w.seats.book({{10, 1, 2}, {11, 2, 3}}, 2, &key)); },
         Allocates::maybe},
        {"seats.cancel", seatedNetwork,
         [](World& w, Outcome& o) {
             bool now = false;
             o.code = ruleCode(w.seats.cancel(1, now)) + now;
         },
         Allocates::no},
        {"seats.cancel, a flight removed since", [](World& w) {
             seatedNetwork(w);
             ASSERT_EQ(0, w.store.removeFlight(2, 10));
         },
         [](World& w, Outcome& o) {
             bool now = false;
             o.code = ruleCode(w.seats.cancel(1, now)) + now;
         },
         Allocates::no},
        {"seats.bookingsOf", seatedNetwork,
         [](World& w, Outcome& o) {
             std::vector<std::int64_t> ids;
             o.code = ruleCode(w.seats.bookingsOf(3, 11, ids)) + static_cast<int>(ids.size());
         }},
        {"store.removeFlight holding a booking", seatedNetwork,
         [](World& w, Outcome& o) { o.code = w.store.removeFlight(2, 11); }, Allocates::no},
        {"store.removeAirport holding bookings", seatedNetwork,
         [](World& w, Outcome& o) { o.code = w.store.removeAirport(2); }},
        {"armoringTickets, a full flight on the route",
         [](World& w) {
             seatedNetwork(w);
             ASSERT_TRUE(w.seats.setSeats(5, 16, 1).done());
         },
         [](World& w, Outcome& o) { o.code = w.booking.armoringTickets(); }, Allocates::no},
    };
}

// The replacement must really be in force, or every sweep below would pass
// without failing anything.
TEST(AllocationFailure, ReplacedAllocatorFailsOnRequest) {
    {
        failing::Armed armed(2, false);
        int* first = new int(1);
        EXPECT_THROW((void)new int(2), std::bad_alloc);
        int* third = new (std::nothrow) int(3);
        EXPECT_EQ(1u, armed.finish());
        EXPECT_NE(nullptr, third);
        delete first;
        delete third;
    }
    {
        failing::Armed armed(1, true);
        EXPECT_EQ(nullptr, new (std::nothrow) int[4]);
        EXPECT_THROW((void)std::string(100, 'x'), std::bad_alloc);
        EXPECT_EQ(2u, armed.finish());
    }
    // Disarmed, nothing fails.
    std::vector<int> fine(1000, 1);
    EXPECT_EQ(1000u, fine.size());
}

// The typed operations of a network over the world's services: a batch load
// taken whole, one refused at its last item (everything it added taken away
// again, which must allocate nothing), a copy, a typed edit and a fit whose
// answer needs the second query (over the limit).
std::vector<Scenario> networkScenarios() {
    // Built once, outside the armed window.
    static const std::vector<tavrik::AirportItem> airports{
        {20, kLongAirport + "20"}, {21, kLongAirport + "21"}, {22, kLongAirport + "22"}};
    static const std::vector<tavrik::FlightItem> flights{{30, kLongFlight + "30", 1, 6, 20},
                                                         {31, kLongFlight + "31", 0, 20, 21},
                                                         {32, kLongFlight + "32", 2, 21, 1},
                                                         {33, kLongFlight + "33", 1, 22, 3}};
    static std::vector<tavrik::FlightItem> refusedAtEnd = [] {
        std::vector<tavrik::FlightItem> f = flights;
        f.push_back(tavrik::FlightItem{34, kLongFlight, 1, 22, 99});
        return f;
    }();
    auto refusalCode = [](const tavrik::Refusal& r) { return 100 + static_cast<int>(r.index); };
    return {
        {"Network::load, taken whole", wornNetwork,
         [](World& w, Outcome&) {
             tavrik::Network lib(w.management, w.booking);
             lib.load(airports, flights);
         }},
        {"Network::load, refused at its last item", bookedRoute,
         [refusalCode](World& w, Outcome& o) {
             tavrik::Network lib(w.management, w.booking);
             try {
                 lib.load(airports, refusedAtEnd);
             } catch (const tavrik::Refusal& r) {
                 o.code = refusalCode(r);
             }
         }},
        {"Network::copy", bookedRoute,
         [](World& w, Outcome& o) {
             tavrik::Network lib(w.management, w.booking);
             std::unique_ptr<tavrik::Network> twin = lib.copy();
             o.report = tavrik::copyAirportReport(twin->managementService(), 3);
         }},
        {"Network::insertFlight", wornNetwork,
         [](World& w, Outcome&) {
             tavrik::Network lib(w.management, w.booking);
             lib.insertFlight(40, kLongFlight, 3, 2, 6);
         }},
        {"Network::fit, over the limit", bookedRoute,
         [](World& w, Outcome& o) {
             tavrik::Network lib(w.management, w.booking);
             tavrik::FitAnswer answer = lib.fit(1, 1, 6);
             o.code = static_cast<int>(answer.kind) * 1000 + static_cast<int>(answer.fewestDays);
         }},
    };
}

// Route choices on a fresh copy: every kind of query, folded into one
// number. A failure anywhere in them (the copy, a search's per-thread
// workspace, an answer) must leave the next run of the same queries exact.
int choicesDigest(IDataAccess& store) {
    Choices::TChoices choices(&store);
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&](std::int64_t v) { h = (h ^ static_cast<std::uint64_t>(v)) * 1099511628211ull; };
    auto route = [&](const Choices::Route& r) {
        mix(r.from);
        mix(r.to);
        mix(r.days);
        for (const Choices::Leg& l : r.legs) mix(l.flight);
    };
    Choices::Query q;
    q.from = {1};
    q.to = {6};
    const Choices::FitAnswer plain = choices.fit(q, 100);
    mix(static_cast<int>(plain.kind));
    route(plain.route);
    for (const Choices::Route& r : choices.front(q, 100)) route(r);
    for (const Choices::Route& r : choices.alternatives(q, 100, 4)) route(r);
    Choices::Query via = q;
    via.hasVia = true;
    via.via = 4;
    route(choices.fit(via, 100).route);
    Choices::Query avoid = q;
    avoid.from = {2};
    avoid.to = {1};
    avoid.avoidAirports = {3};
    route(choices.fit(avoid, 100).route);
    Choices::Query from;
    from.from = {1};
    for (const Choices::Reached& r : choices.reach(from, 4)) {
        mix(r.airport);
        mix(r.days);
        mix(r.legs);
    }
    return static_cast<int>(h ^ (h >> 32));
}

// The base network with every flight of a day or more (its 0-day flight made
// a 1-day one), as the choices' lean search takes it.
void daysNetwork(World& w) {
    baseNetwork(w);
    ASSERT_EQ(0, w.store.removeFlight(3, 13));
    ASSERT_EQ(0, w.store.addFlight(kLongFlight + "13", 13, 1, 3, 4));
}

std::vector<Scenario> choicesScenarios() {
    return {
        {"route choices, a 0-day flight", baseNetwork,
         [](World& w, Outcome& o) { o.code = choicesDigest(w.store); }},
        {"route choices, every flight a day or more", daysNetwork,
         [](World& w, Outcome& o) { o.code = choicesDigest(w.store); }},
    };
}

TEST(AllocationFailure, ChoicesOnlyNth) { sweepAll("route choices", choicesScenarios(), false); }
TEST(AllocationFailure, ChoicesNthAndLater) { sweepAll("route choices", choicesScenarios(), true); }

TEST(AllocationFailure, StoreOnlyNth) { sweepAll("store", storeScenarios(), false); }
TEST(AllocationFailure, StoreNthAndLater) { sweepAll("store", storeScenarios(), true); }
TEST(AllocationFailure, ManagementOnlyNth) { sweepAll("flight management", managementScenarios(), false); }
TEST(AllocationFailure, ManagementNthAndLater) { sweepAll("flight management", managementScenarios(), true); }
TEST(AllocationFailure, BookingAndFittingOnlyNth) { sweepAll("booking and route fitting", bookingScenarios(), false); }
TEST(AllocationFailure, BookingAndFittingNthAndLater) {
    sweepAll("booking and route fitting", bookingScenarios(), true);
}
TEST(AllocationFailure, ReportCopiesOnlyNth) { sweepAll("report copies", reportScenarios(), false); }
TEST(AllocationFailure, ReportCopiesNthAndLater) { sweepAll("report copies", reportScenarios(), true); }
TEST(AllocationFailure, SeatsOnlyNth) { sweepAll("seats and bookings", seatScenarios(), false); }
TEST(AllocationFailure, SeatsNthAndLater) { sweepAll("seats and bookings", seatScenarios(), true); }
TEST(AllocationFailure, WholeRoutesOnlyNth) { sweepAll("whole routes", wholeRouteScenarios(), false); }
TEST(AllocationFailure, WholeRoutesNthAndLater) { sweepAll("whole routes", wholeRouteScenarios(), true); }
TEST(AllocationFailure, NetworkOnlyNth) { sweepAll("network", networkScenarios(), false); }
TEST(AllocationFailure, NetworkNthAndLater) { sweepAll("network", networkScenarios(), true); }

}  // namespace
