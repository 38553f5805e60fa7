// Seeded random operations on the library and on the independent model, with
// everything compared after every operation (see tests/support/OpDriver.h).
//
// The operation count is a floor for the whole suite: 1,000,000 in a normal
// build, and the edit-heavy, query-heavy and queue-switching runs another
// third of it. The sanitizer build runs a tenth of it (the instrumented
// library and the literal checks of seats and route choices are many times
// slower there; the normal build carries the count), and the added runs at
// the size that still takes the copy of the network through its rebuilds and
// queue kinds (an eighth of the normal build's).
// TAVRIK_DIFFERENTIAL_OPS overrides the total.
//
// Every run also prints what the route search's copy of the network went
// through (rebuilds, out-of-order airports, queue kinds; see
// tests/support/NetworkProbe.h), and how often a booking or route report met a
// ticket whose flight number had been given to another flight.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/OpDriver.h"

namespace {

using robustness::Mix;
using robustness::NetworkProbe;
using robustness::OpDriver;
using robustness::RandomSource;
using robustness::Ranges;

std::uint64_t totalBudget() {
    if (const char* env = std::getenv("TAVRIK_DIFFERENTIAL_OPS")) return std::strtoull(env, nullptr, 10);
#ifdef TAVRIK_ROBUSTNESS_SANITIZED
    return 100000;
#else
    return 1000000;
#endif
}

// The share of the edit-heavy, query-heavy and queue-switching runs.
double added(double share) {
#ifdef TAVRIK_ROBUSTNESS_SANITIZED
    return share * 1.25;
#else
    return share;
#endif
}

struct Seen {
    OpDriver::Outcomes outcomes;
    NetworkProbe::Counts network;
    std::uint64_t runs = 0;
    std::uint64_t runsWithReusedNumber = 0;
};

// Runs `share` of the total budget in runs of `perRun` operations, one seed
// per run, and fails on any mismatch.
Seen runShare(const char* label, Ranges ranges, double share, std::uint64_t firstSeed) {
    const std::uint64_t total = static_cast<std::uint64_t>(static_cast<double>(totalBudget()) * share);
    const std::uint64_t perRun = 20000;
    std::uint64_t ops = 0, mismatches = 0, runs = 0;
    OpDriver::Outcomes seen;
    Seen all;
    for (std::uint64_t seed = firstSeed; ops < total; ++seed, ++runs) {
        OpDriver driver(ranges);
        RandomSource source(seed);
        const std::uint64_t n = std::min(perRun, total - ops);
        for (std::uint64_t i = 0; i < n; ++i) driver.step(source);
        ops += driver.operations();
        mismatches += driver.mismatches();
        seen.add(driver.outcomes());
        all.network.add(driver.probeCounts());
        if (driver.outcomes().reusedNumbers > 0) ++all.runsWithReusedNumber;
        for (const std::string& report : driver.reports()) ADD_FAILURE() << "seed " << seed << ": " << report;
    }
    std::printf("[differential] %s: %llu operations in %llu seeded runs, %llu mismatches\n", label,
                static_cast<unsigned long long>(ops), static_cast<unsigned long long>(runs),
                static_cast<unsigned long long>(mismatches));
    std::printf("[differential]   routes fitted %llu (3+ legs %llu), lists booked %llu, bookings refused %llu, "
                "flights added %llu, airports removed %llu\n",
                static_cast<unsigned long long>(seen.routes), static_cast<unsigned long long>(seen.longRoutes),
                static_cast<unsigned long long>(seen.booked), static_cast<unsigned long long>(seen.bookingRefused),
                static_cast<unsigned long long>(seen.flightsAdded),
                static_cast<unsigned long long>(seen.airportsRemoved));
    std::printf("[differential]   reused flight numbers met by a booking or report %llu (in %llu of %llu runs), "
                "winning parallel flights taken over %llu\n",
                static_cast<unsigned long long>(seen.reusedNumbers),
                static_cast<unsigned long long>(all.runsWithReusedNumber), static_cast<unsigned long long>(runs),
                static_cast<unsigned long long>(seen.takeovers));
    std::printf("[differential]   %s\n", all.network.text().c_str());
    std::printf("[differential]   seats: sold %llu, refused %llu, cancelled %llu, keyed retries %llu\n",
                static_cast<unsigned long long>(seen.seatsSold), static_cast<unsigned long long>(seen.seatsRefused),
                static_cast<unsigned long long>(seen.cancelled), static_cast<unsigned long long>(seen.retries));
    EXPECT_EQ(0u, mismatches);
    if (ranges.mix != Mix::QueryHeavy) {
        EXPECT_GT(seen.seatsSold, 0u);
        EXPECT_GT(seen.seatsRefused, 0u);
        EXPECT_GT(seen.cancelled, 0u);
        EXPECT_GT(seen.retries, 0u);
    }
    // A run that never fits a long route or never books proves little.
    EXPECT_GT(seen.longRoutes, 0u);
    EXPECT_GT(seen.booked, 0u);
    EXPECT_GT(seen.bookingRefused, 0u);
    // A fitted flight whose number went to another flight before booking
    // or reporting, and a parallel flight taking over the route's.
    EXPECT_GT(seen.reusedNumbers, 0u);
    EXPECT_GT(seen.takeovers, 0u);
    EXPECT_GE(ops, total);
    all.outcomes = seen;
    all.runs = runs;
    return all;
}

// Dense small network: many refused numbers, zero-day flights, equal totals.
TEST(Differential, SmallDenseNetwork) {
    runShare("small dense network, days 0..3", Ranges{-2, 8, 6, 0, 3}, 0.45, 1000);
}

// Days 0 and 1 only: nearly every route has rivals of the same total, so
// the tie rules decide the tickets.
TEST(Differential, MostlyTies) { runShare("ties, days 0..1", Ranges{-2, 8, 6, 0, 1}, 0.25, 2000); }

// More airports than flight numbers per airport can join: longer routes and
// deeper resumed searches.
TEST(Differential, WiderNetwork) { runShare("wider network, days 0..5", Ranges{0, 24, 12, 0, 5}, 0.22, 3000); }

// Negative day counts: the search then runs to its end and may find loops.
TEST(Differential, NegativeDays) {
    runShare("negative days -2..3", Ranges{-2, 8, 6, -2, 3}, 0.05, 4000);
    runShare("negative days -3..1", Ranges{-1, 5, 4, -3, 1}, 0.03, 5000);
}

// One to three edits before every query: the search's copy of the network
// is changed far more often than it is read, airports come and go until it
// is rebuilt, and each query finds a different network than the last.
TEST(Differential, EditHeavy) {
    const Seen dense =
        runShare("edit-heavy, days 0..3", Ranges{-2, 8, 6, 0, 3, Mix::EditHeavy}, added(0.08), 6000);
    const Seen wide =
        runShare("edit-heavy, wider network, days 0..5", Ranges{0, 24, 12, 0, 5, Mix::EditHeavy}, added(0.06), 7000);
    const Seen negative =
        runShare("edit-heavy, negative days -2..3", Ranges{-2, 8, 6, -2, 3, Mix::EditHeavy}, added(0.03), 8000);
    for (const Seen* s : {&dense, &wide, &negative}) {
        EXPECT_GT(s->network.slotRebuilds, 0u);
        EXPECT_GT(s->network.outOfOrderAdded, 0u);
        // Every seeded run met a reused flight number.
        EXPECT_EQ(s->runs, s->runsWithReusedNumber);
    }
}

// Runs of queries, mostly from one departure, between rare edits: stopped
// searches are resumed across the edits they survive.
TEST(Differential, QueryHeavy) {
    runShare("query-heavy, days 0..3", Ranges{-2, 8, 6, 0, 3, Mix::QueryHeavy}, added(0.06), 9000);
    runShare("query-heavy, wider network, days 0..5", Ranges{0, 24, 12, 0, 5, Mix::QueryHeavy}, added(0.05), 10000);
}

// Now and then a day count of 17, 100, 255, 256, 300, -1, 65536 or near
// INT_MAX: as such flights come and go, the search switches between the
// bitmap queue (with more or fewer rows), the packed heap and the wide heap.
TEST(Differential, QueueKindsSwitchBackAndForth) {
    Ranges editHeavy{-2, 8, 6, 0, 3, Mix::EditHeavy};
    editHeavy.spikeOneIn = 6;
    Ranges queryHeavy{0, 24, 12, 0, 5, Mix::QueryHeavy};
    queryHeavy.spikeOneIn = 30;
    for (const Seen& s : {runShare("edit-heavy, spiked days", editHeavy, added(0.04), 11000),
                          runShare("query-heavy, spiked days", queryHeavy, added(0.03), 12000)}) {
        EXPECT_GT(s.network.kindChanges, 0u);
        for (std::uint64_t edits : s.network.editsIn) EXPECT_GT(edits, 0u);
    }
}

}  // namespace

namespace {

// Half of every kind of edit, query and report through the typed operations
// of tavrik::Network: refusal rules and their numbers, removals that tell
// whether there was something to remove, fit answers (route, over the limit
// with the fewest days, no route) against the literal search, batch loads
// taken whole or refused at their first bad item with nothing left, and
// copies equal to the network, booked counts included; and, at restarts, the
// model's whole network loaded in one call into a fresh network (built
// whole), which the run then goes on with.
TEST(Differential, TypedOperations) {
    Ranges typed{-2, 8, 6, 0, 3};
    typed.typed = true;
    Ranges typedEditHeavy{-1, 6, 5, -1, 3, Mix::EditHeavy};
    typedEditHeavy.typed = true;
    std::uint64_t wholeLoads = 0, wholeRefused = 0;
    for (const Seen& s : {runShare("typed operations", typed, added(0.06), 13000),
                          runShare("typed operations, edit-heavy", typedEditHeavy, added(0.04), 14000)}) {
        wholeLoads += s.outcomes.wholeLoads;
        wholeRefused += s.outcomes.wholeLoadsRefused;
        EXPECT_GT(s.outcomes.typedRoutes, 0u);
        EXPECT_GT(s.outcomes.typedOverLimit, 0u);
        EXPECT_GT(s.outcomes.loadsTaken, 0u);
        EXPECT_GT(s.outcomes.loadsRefused, 0u);
    }
    // The whole network in one call (the restarts of the even mix).
    std::printf("[differential] whole networks loaded in one call: %llu taken, %llu refused\n",
                static_cast<unsigned long long>(wholeLoads), static_cast<unsigned long long>(wholeRefused));
    EXPECT_GT(wholeLoads, 0u);
    EXPECT_GT(wholeRefused, 0u);
}

// Close and reopen as an operation: half of the restarts write the network
// to a folder and open it again, and the model goes on from where it was.
TEST(Differential, CloseAndReopen) {
    Ranges ranges{-2, 8, 6, 0, 3};
    ranges.reopen = true;
    ranges.typed = true;
    std::uint64_t reopens = 0, ops = 0;
    for (std::uint64_t seed = 15000; ops < static_cast<std::uint64_t>(static_cast<double>(totalBudget()) *
                                                                          added(0.08));
         ++seed) {
        OpDriver driver(ranges);
        RandomSource source(seed);
        for (int i = 0; i < 20000; ++i) driver.step(source);
        ops += driver.operations();
        reopens += driver.reopens();
        EXPECT_EQ(0u, driver.mismatches());
        for (const std::string& report : driver.reports()) ADD_FAILURE() << "seed " << seed << ": " << report;
    }
    std::printf("[differential] close and reopen: %llu operations, %llu reopens\n",
                static_cast<unsigned long long>(ops), static_cast<unsigned long long>(reopens));
    EXPECT_GT(reopens, 2u);
}

// Two networks driven at once with the same airport and flight numbers, each
// against its own model, their operations interleaved at random: a change
// that reached the other network, or a search or ticket list shared between
// them, shows as a mismatch of the other's model.
TEST(Differential, TwoNetworksNeverSeeEachOthersChanges) {
    const std::uint64_t total = static_cast<std::uint64_t>(static_cast<double>(totalBudget()) * added(0.04));
    Ranges ranges{-2, 8, 6, 0, 3, Mix::EditHeavy};
    ranges.typed = true;
    std::uint64_t ops = 0;
    for (std::uint64_t seed = 15000; ops < total; ++seed) {
        OpDriver first(ranges, robustness::Checks{}, "first network");
        OpDriver second(ranges, robustness::Checks{}, "second network");
        RandomSource one(seed), two(seed ^ 0x9e3779b97f4a7c15ULL), turns(seed + 1);
        for (int i = 0; i < 10000; ++i) {
            if (turns.pick(0, 1) == 0)
                first.step(one);
            else
                second.step(two);
        }
        ops += first.operations() + second.operations();
        for (const OpDriver* d : {&first, &second}) {
            EXPECT_EQ(0u, d->mismatches());
            for (const std::string& report : d->reports()) ADD_FAILURE() << "seed " << seed << ": " << report;
        }
        EXPECT_GT(first.outcomes().flightsAdded + second.outcomes().flightsAdded, 0u);
    }
    std::printf("[differential] two networks: %llu operations\n", static_cast<unsigned long long>(ops));
}

}  // namespace
