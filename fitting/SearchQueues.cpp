#include "fitting/SearchQueues.h"

namespace FitingFlight {

namespace {

inline std::uint64_t bit(std::size_t i) { return std::uint64_t{1} << (i & 63); }

}  // namespace

void BucketQueue::reset(const SearchNetwork& network) {
    net = &network;
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

void BucketQueue::set(std::size_t row, std::uint32_t slot) {
    const std::size_t w0 = slot >> 6, w1 = w0 >> 6;
    level0[row * words0 + w0] |= bit(slot);
    level1[row * words1 + w1] |= bit(w0);
    level2[row * words2 + (w1 >> 6)] |= bit(w1);
    if (rowSize[row]++ == 0) nonEmpty[row >> 6] |= bit(row);
    ++queued;
}

void BucketQueue::clear(std::size_t row, std::uint32_t slot) {
    const std::size_t w0 = slot >> 6, w1 = w0 >> 6;
    std::uint64_t& word0 = level0[row * words0 + w0];
    word0 &= ~bit(slot);
    if (word0 == 0) {
        std::uint64_t& word1 = level1[row * words1 + w1];
        word1 &= ~bit(w0);
        if (word1 == 0) level2[row * words2 + (w1 >> 6)] &= ~bit(w1);
    }
    if (--rowSize[row] == 0) nonEmpty[row >> 6] &= ~bit(row);
    --queued;
}

std::uint32_t BucketQueue::lowest(std::size_t row) const {
    const std::uint64_t* top = level2.data() + row * words2;
    std::size_t i = 0;
    while (top[i] == 0) ++i;
    const std::size_t w1 = i * 64 + static_cast<std::size_t>(__builtin_ctzll(top[i]));
    const std::size_t w0 = w1 * 64 + static_cast<std::size_t>(__builtin_ctzll(level1[row * words1 + w1]));
    return static_cast<std::uint32_t>(w0 * 64 + static_cast<std::size_t>(__builtin_ctzll(level0[row * words0 + w0])));
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

void BucketQueue::push(std::uint32_t slot, std::int64_t day) {
    if (net->inOrder(slot))
        set(rowOf(day), slot);
    else
        apart.push(WideEntry{day, orderOf(net->idOf(slot)), slot});
}

void BucketQueue::decrease(std::uint32_t slot, std::int64_t oldDay, std::int64_t day) {
    if (net->inOrder(slot)) {
        clear(rowOf(oldDay), slot);
        set(rowOf(day), slot);
    } else {
        apart.push(WideEntry{day, orderOf(net->idOf(slot)), slot});
    }
}

bool BucketQueue::take(const Label* labels, std::uint32_t reached, std::uint32_t& slot) {
    const bool haveApart = liveTop(apart, labels, reached);
    if (queued == 0) {
        if (!haveApart) return false;
        slot = apart.front().slot;
        current = apart.front().total;
        apart.pop();
        return true;
    }
    // The next non-empty row at or after the current total, cyclically.
    const std::size_t start = rowOf(current);
    std::size_t row = rowSize[start] != 0 ? start : rows;
    std::size_t w = start >> 6;
    std::uint64_t bits = row == rows ? nonEmpty[w] & (~std::uint64_t{0} << (start & 63)) : 0;
    for (int i = 0; i < 4 && row == rows; ++i) {
        if (bits != 0) row = (w << 6) + static_cast<std::size_t>(__builtin_ctzll(bits));
        w = (w + 1) & 3;
        bits = nonEmpty[w];
    }
    if (row == rows) {
        bits = nonEmpty[start >> 6] & (bit(start) - 1);
        row = ((start >> 6) << 6) + static_cast<std::size_t>(__builtin_ctzll(bits));
    }
    const std::int64_t day = current + static_cast<std::int64_t>((row - start) & (rows - 1));
    const std::uint32_t low = lowest(row);
    if (haveApart) {
        const WideEntry& a = apart.front();
        if (a.total < day || (a.total == day && a.order < orderOf(net->idOf(low)))) {
            slot = a.slot;
            current = a.total;
            apart.pop();
            return true;
        }
    }
    slot = low;
    current = day;
    clear(row, low);
    return true;
}

}  // namespace FitingFlight
