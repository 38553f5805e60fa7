#include "fitting/SearchQueues.h"

namespace FitingFlight {

void BucketQueue::reset(const SearchNetwork& network) {
    net = &network;
    allOrdered = network.allInOrder();
    const std::uint32_t wantRows = network.bucketCount();
    const std::size_t w0 = std::max<std::size_t>(1, (network.slotCount() + 63) / 64);
    // Only rows in use can hold bits; the rows kept beyond them are zero.
    for (std::size_t row = 0; row < rows; ++row) {
        if (rowSize[row] == 0) continue;
        wipe(row);
        rowSize[row] = 0;
    }
    if (wantRows > rowRoom || w0 > words0) {
        // More rows or more slots than the room allows: room for the most
        // rows seen and half as many words again, so that a day count
        // coming and going, or slots added a few at a time, do not make
        // every query allocate. Marked empty first, so that a failed
        // allocation leaves a queue that the next reset builds again.
        const std::uint32_t newRows = std::max(wantRows, rowRoom);
        const std::size_t n0 = words0 == 0 ? w0 : std::max(w0, words0 + words0 / 2);
        rows = 0;
        rowRoom = 0;
        words0 = 0;
        const std::size_t n1 = (n0 + 63) / 64, n2 = (n1 + 63) / 64;
        level0.assign(newRows * n0, 0);
        level1.assign(newRows * n1, 0);
        level2.assign(newRows * n2, 0);
        rowSize.assign(newRows, 0);
        rowRoom = newRows;
        words0 = n0;
        words1 = n1;
        words2 = n2;
    }
    deep = words1 > kShallowWords;
    rows = wantRows;
    std::fill(std::begin(nonEmpty), std::end(nonEmpty), 0);
    queued = 0;
    current = 0;
    apart.clear();
}

void BucketQueue::wipe(std::size_t row) {
    std::uint64_t* mid = level1.data() + row * words1;
    std::uint64_t* low = level0.data() + row * words0;
    auto wipeMid = [&](std::size_t w1) {
        for (std::uint64_t bits1 = mid[w1]; bits1 != 0; bits1 &= bits1 - 1)
            low[w1 * 64 + static_cast<std::size_t>(__builtin_ctzll(bits1))] = 0;
        mid[w1] = 0;
    };
    if (!deep) {
        for (std::size_t w1 = 0; w1 < words1; ++w1) wipeMid(w1);
        return;
    }
    std::uint64_t* top = level2.data() + row * words2;
    for (std::size_t i = 0; i < words2; ++i) {
        for (std::uint64_t bits2 = top[i]; bits2 != 0; bits2 &= bits2 - 1)
            wipeMid(i * 64 + static_cast<std::size_t>(__builtin_ctzll(bits2)));
        top[i] = 0;
    }
}

}  // namespace FitingFlight
