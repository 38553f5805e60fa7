// libFuzzer target: the input's bytes decode into the operations of the
// random-operation test (tests/support/OpDriver.h), run on the library and on the
// model alike; any difference aborts with a description. The first byte
// chooses the number ranges (among them negative day counts), the mix of
// edits and queries (even, edit-heavy, query-heavy) and whether day counts
// now and then jump to values that switch the search's queue kind.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/support/OpDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const robustness::Ranges ranges[] = {
        {-2, 8, 6, 0, 3},   // small and dense
        {-2, 8, 6, 0, 1},   // mostly equal totals
        {0, 24, 12, 0, 5},  // wider, longer routes
        {-2, 8, 6, -2, 3},  // negative day counts
    };
    static const robustness::Mix mixes[] = {robustness::Mix::Even, robustness::Mix::EditHeavy,
                                            robustness::Mix::QueryHeavy};
    robustness::Ranges chosen = ranges[data[0] % 4];
    chosen.mix = mixes[data[0] / 4 % 3];
    if (data[0] / 12 % 2 != 0) chosen.spikeOneIn = 6;
    robustness::OpDriver driver(chosen);
    robustness::ByteSource source(data + 1, size - 1);
    // Bounded, so that one input never runs long.
    while (!source.exhausted() && driver.operations() < 1500) driver.step(source);
    if (driver.mismatches() != 0) {
        for (const auto& report : driver.reports()) std::fprintf(stderr, "mismatch: %s\n", report.c_str());
        std::abort();
    }
    return 0;
}
