// Seeded random operations on the library and on the independent model, with
// everything compared after every operation (see common/OpDriver.h).
//
// The operation count is a floor for the whole suite: 1,000,000 in a normal
// build. The sanitizer build runs half of it (the instrumented library
// is many times slower). TAVRIK_DIFFERENTIAL_OPS overrides the total.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/robustness/common/OpDriver.h"

namespace {

using robustness::OpDriver;
using robustness::RandomSource;
using robustness::Ranges;

std::uint64_t totalBudget() {
    if (const char* env = std::getenv("TAVRIK_DIFFERENTIAL_OPS")) return std::strtoull(env, nullptr, 10);
#ifdef TAVRIK_ROBUSTNESS_SANITIZED
    return 500000;
#else
    return 1000000;
#endif
}

// Runs `share` of the total budget in runs of `perRun` operations, one seed
// per run, and fails on any mismatch.
void runShare(const char* label, Ranges ranges, double share, std::uint64_t firstSeed) {
    const std::uint64_t total = static_cast<std::uint64_t>(static_cast<double>(totalBudget()) * share);
    const std::uint64_t perRun = 20000;
    std::uint64_t ops = 0, mismatches = 0, runs = 0;
    OpDriver::Outcomes seen;
    for (std::uint64_t seed = firstSeed; ops < total; ++seed, ++runs) {
        OpDriver driver(ranges);
        RandomSource source(seed);
        const std::uint64_t n = std::min(perRun, total - ops);
        for (std::uint64_t i = 0; i < n; ++i) driver.step(source);
        ops += driver.operations();
        mismatches += driver.mismatches();
        seen.routes += driver.outcomes().routes;
        seen.longRoutes += driver.outcomes().longRoutes;
        seen.booked += driver.outcomes().booked;
        seen.bookingRefused += driver.outcomes().bookingRefused;
        seen.flightsAdded += driver.outcomes().flightsAdded;
        seen.airportsRemoved += driver.outcomes().airportsRemoved;
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
    EXPECT_EQ(0u, mismatches);
    // A run that never fits a long route or never books proves little.
    EXPECT_GT(seen.longRoutes, 0u);
    EXPECT_GT(seen.booked, 0u);
    EXPECT_GT(seen.bookingRefused, 0u);
    EXPECT_GE(ops, total);
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

}  // namespace
