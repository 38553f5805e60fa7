// libFuzzer target: the input's bytes decode into the operations of the
// random-operation test (common/OpDriver.h), run on the library and on the
// model alike; any difference aborts with a description. The first byte
// chooses the number ranges, among them negative day counts.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/robustness/common/OpDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const robustness::Ranges ranges[] = {
        {-2, 8, 6, 0, 3},   // small and dense
        {-2, 8, 6, 0, 1},   // mostly equal totals
        {0, 24, 12, 0, 5},  // wider, longer routes
        {-2, 8, 6, -2, 3},  // negative day counts
    };
    robustness::OpDriver driver(ranges[data[0] % 4]);
    robustness::ByteSource source(data + 1, size - 1);
    // Bounded, so that one input never runs long.
    while (!source.exhausted() && driver.operations() < 1500) driver.step(source);
    if (driver.mismatches() != 0) {
        for (const auto& report : driver.reports()) std::fprintf(stderr, "mismatch: %s\n", report.c_str());
        std::abort();
    }
    return 0;
}
