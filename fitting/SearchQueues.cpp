#include "fitting/SearchQueues.h"

namespace FitingFlight {

void BucketQueue::reset(const SearchNetwork& network) {
    net = &network;
    allOrdered = network.allInOrder();
    const std::uint32_t wantRows = network.bucketCount();
    const std::size_t w0 = std::max<std::size_t>(1, (network.slotCount() + 63) / 64);
    if (wantRows != rows || w0 != words0) {
        // Marked empty first, so that a failed allocation leaves a queue that
        // the next reset builds again.
        rows = 0;
        words0 = 0;
        const std::size_t w1 = (w0 + 63) / 64, w2 = (w1 + 63) / 64;
        level0.assign(wantRows * w0, 0);
        level1.assign(wantRows * w1, 0);
        level2.assign(wantRows * w2, 0);
        rowSize.assign(wantRows, 0);
        rows = wantRows;
        words0 = w0;
        words1 = w1;
        words2 = w2;
    } else {
        for (std::size_t row = 0; row < rows; ++row) {
            if (rowSize[row] == 0) continue;
            wipe(row);
            rowSize[row] = 0;
        }
    }
    std::fill(std::begin(nonEmpty), std::end(nonEmpty), 0);
    queued = 0;
    current = 0;
    apart.clear();
}

void BucketQueue::wipe(std::size_t row) {
    std::uint64_t* top = level2.data() + row * words2;
    std::uint64_t* mid = level1.data() + row * words1;
    std::uint64_t* low = level0.data() + row * words0;
    for (std::size_t i = 0; i < words2; ++i) {
        for (std::uint64_t bits2 = top[i]; bits2 != 0; bits2 &= bits2 - 1) {
            const std::size_t w1 = i * 64 + static_cast<std::size_t>(__builtin_ctzll(bits2));
            for (std::uint64_t bits1 = mid[w1]; bits1 != 0; bits1 &= bits1 - 1)
                low[w1 * 64 + static_cast<std::size_t>(__builtin_ctzll(bits1))] = 0;
            mid[w1] = 0;
        }
        top[i] = 0;
    }
}

}  // namespace FitingFlight
