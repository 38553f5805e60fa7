#pragma once

// The search's labels and the three queues it can take airports from. Every
// queue hands out the reached, not yet included airport with the smallest
// (total, airport number); they differ only in how they find it.
//
// A queue's operations:
//   reset(net)                 empty, sized for the network
//   push(slot, day)            an airport reached for the first time
//   decrease(slot, old, day)   a queued airport's total went down
//   take(labels, reached, slot) takes the minimum; false if none is left
// Heaps are lazy: an entry whose total no longer matches its label, or whose
// airport is already included, is dropped when it comes to the top.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fitting/SearchNetwork.h"

namespace FitingFlight {

// The search's record of one airport. mark < base: unreached; base: reached;
// base + 1: included. A new search only raises base, so it costs nothing per
// airport.
// The last leg's flight is not kept: it is the flight of the edge from
// `prev`, which cannot change while the search is valid (an edit at an
// included airport ends it).
struct Label {
    std::int64_t day;
    std::uint32_t mark;
    std::uint32_t prev;  // slot the last leg leaves from (the departure: itself)
};

// Airport numbers as unsigned values in the same order.
inline std::uint32_t orderOf(int airport) { return static_cast<std::uint32_t>(airport) ^ 0x80000000u; }

// 4-ary min-heap.
template <class Entry>
class Heap final {
public:
    bool empty() const { return items.empty(); }
    const Entry& front() const { return items.front(); }
    void clear() { items.clear(); }
    void push(Entry e) {
        std::size_t i = items.size();
        items.push_back(e);
        while (i > 0) {
            const std::size_t parent = (i - 1) / 4;
            if (!(e < items[parent])) break;
            items[i] = items[parent];
            i = parent;
        }
        items[i] = e;
    }
    void pop() {
        const Entry last = items.back();
        items.pop_back();
        const std::size_t n = items.size();
        if (n == 0) return;
        std::size_t i = 0;
        for (;;) {
            const std::size_t child = 4 * i + 1;
            if (child >= n) break;
            std::size_t best = child;
            const std::size_t end = std::min(child + 4, n);
            for (std::size_t c = child + 1; c < end; ++c)
                if (items[c] < items[best]) best = c;
            if (!(items[best] < last)) break;
            items[i] = items[best];
            i = best;
        }
        items[i] = last;
    }

private:
    std::vector<Entry> items;
};

// (total, airport number) in one 64-bit key: totals below 2^32, >= 0.
struct PackedEntry {
    std::uint64_t key;
    std::uint32_t slot;
    std::int64_t day() const { return static_cast<std::int64_t>(key >> 32); }
    bool operator<(const PackedEntry& o) const { return key < o.key; }
    static PackedEntry make(std::int64_t day, std::uint32_t order, std::uint32_t slot) {
        return PackedEntry{static_cast<std::uint64_t>(day) << 32 | order, slot};
    }
};

struct WideEntry {
    std::int64_t total;
    std::uint32_t order;
    std::uint32_t slot;
    std::int64_t day() const { return total; }
    bool operator<(const WideEntry& o) const { return total < o.total || (total == o.total && order < o.order); }
    static WideEntry make(std::int64_t day, std::uint32_t order, std::uint32_t slot) {
        return WideEntry{day, order, slot};
    }
};

// Drops stale entries from the top; true if a live one is left.
template <class Entry>
bool liveTop(Heap<Entry>& heap, const Label* labels, std::uint32_t reached) {
    while (!heap.empty()) {
        const Entry& e = heap.front();
        const Label& l = labels[e.slot];
        if (l.mark == reached && l.day == e.day()) return true;
        heap.pop();
    }
    return false;
}

// A heap of (total, airport number) entries: PackedEntry or WideEntry.
template <class Entry>
class HeapQueue final {
public:
    void reset(const SearchNetwork& network) {
        net = &network;
        heap.clear();
    }
    void push(std::uint32_t slot, std::int64_t day) { heap.push(Entry::make(day, orderOf(net->idOf(slot)), slot)); }
    void decrease(std::uint32_t slot, std::int64_t, std::int64_t day) { push(slot, day); }
    // The search works on the queue itself.
    HeapQueue& cursor() { return *this; }
    void finish() {}
    bool take(const Label* labels, std::uint32_t reached, std::uint32_t& slot) {
        if (!liveTop(heap, labels, reached)) return false;
        slot = heap.front().slot;
        heap.pop();
        return true;
    }

private:
    const SearchNetwork* net = nullptr;
    Heap<Entry> heap;
};

using PackedHeapQueue = HeapQueue<PackedEntry>;
using WideHeapQueue = HeapQueue<WideEntry>;

// For day counts in 0..255: one set of airports per total, as bitmaps over
// slots, rows taken modulo a power of two above the largest day count.
// Every queued total lies in [current, current + largest day count], so the
// totals in the queue never share a row. Within a row the lowest slot is the
// smallest airport number, since ordered slots follow number order; each row
// is a bitmap with a bit per slot and a bit per non-empty word of those, and
// past 16,384 slots a third level (a bit per non-empty word of the second),
// so the lowest slot is found in a few word reads wherever it lies, and a
// non-empty-row mask finds the next total. Below that size the second level
// has at most four words, read in turn, and keeping a third would only cost
// a write per airport reached.
// Airports out of slot order (added below the largest number) wait in a
// small heap beside the bitmaps, and the smaller of the two minima wins.
// Day counts are >= 0 here, so an included airport is never improved.
//
// The search works on a Cursor: the queue's sizes and places copied into a
// local object, which the compiler keeps in registers (writes to the labels
// could otherwise alias the queue's counters and force a reload of each on
// every step). The cursor's counters go back to the queue when it finishes;
// the bitmaps and row sizes it writes in place, so a search cut short by an
// exception leaves what the next reset needs to wipe.
class BucketQueue final {
public:
    class Cursor;
    void reset(const SearchNetwork& network);
    Cursor cursor();

private:
    friend class Cursor;
    // Zeroes a row's bits, reading only its non-empty words.
    void wipe(std::size_t row);

    const SearchNetwork* net = nullptr;
    bool allOrdered = true;  // no airport needs the side heap
    bool deep = false;       // the third level is kept
    std::uint32_t rows = 0;     // rows in use: a power of two above every day count
    std::uint32_t rowRoom = 0;  // rows allocated
    std::size_t words0 = 0, words1 = 0, words2 = 0;  // words per row at each level (room)
    std::vector<std::uint64_t> level0, level1, level2;
    std::vector<std::uint32_t> rowSize;
    std::uint64_t nonEmpty[4] = {};  // one bit per row (at most 256 rows)
    std::size_t queued = 0;          // airports in the bitmaps
    std::int64_t current = 0;        // total of the last airport taken
    Heap<WideEntry> apart;           // airports out of slot order
};

inline std::uint64_t queueBit(std::size_t i) { return std::uint64_t{1} << (i & 63); }

// Second-level words a shallow row has at most (read in turn).
constexpr std::size_t kShallowWords = 4;

class BucketQueue::Cursor final {
public:
    explicit Cursor(BucketQueue& q)
        : q(q), net(q.net), l0(q.level0.data()), l1(q.level1.data()), l2(q.level2.data()),
          sizes(q.rowSize.data()), w0s(q.words0), w1s(q.words1), w2s(q.words2), rows(q.rows),
          queued(q.queued), current(q.current), allOrdered(q.allOrdered), deep(q.deep) {
        for (int i = 0; i < 4; ++i) nonEmpty[i] = q.nonEmpty[i];
    }
    // Hands the counters back to the queue.
    void finish() {
        q.queued = queued;
        q.current = current;
        for (int i = 0; i < 4; ++i) q.nonEmpty[i] = nonEmpty[i];
    }

    void push(std::uint32_t slot, std::int64_t day) {
        if (allOrdered || net->inOrder(slot))
            set(rowOf(day), slot);
        else
            q.apart.push(WideEntry{day, orderOf(net->idOf(slot)), slot});
    }
    void decrease(std::uint32_t slot, std::int64_t oldDay, std::int64_t day) {
        if (allOrdered || net->inOrder(slot)) {
            clear(rowOf(oldDay), slot);
            set(rowOf(day), slot);
        } else {
            q.apart.push(WideEntry{day, orderOf(net->idOf(slot)), slot});
        }
    }
    bool take(const Label* labels, std::uint32_t reached, std::uint32_t& slot);

private:
    std::size_t rowOf(std::int64_t day) const {
        return static_cast<std::size_t>(static_cast<std::uint64_t>(day) & (rows - 1));
    }
    void set(std::size_t row, std::uint32_t slot) {
        const std::size_t w0 = slot >> 6, w1 = w0 >> 6;
        l0[row * w0s + w0] |= queueBit(slot);
        l1[row * w1s + w1] |= queueBit(w0);
        if (deep) l2[row * w2s + (w1 >> 6)] |= queueBit(w1);
        if (sizes[row]++ == 0) nonEmpty[row >> 6] |= queueBit(row);
        ++queued;
    }
    void clear(std::size_t row, std::uint32_t slot) {
        const std::size_t w0 = slot >> 6, w1 = w0 >> 6;
        std::uint64_t& word0 = l0[row * w0s + w0];
        word0 &= ~queueBit(slot);
        if (word0 == 0) {
            std::uint64_t& word1 = l1[row * w1s + w1];
            word1 &= ~queueBit(w0);
            if (deep && word1 == 0) l2[row * w2s + (w1 >> 6)] &= ~queueBit(w1);
        }
        if (--sizes[row] == 0) nonEmpty[row >> 6] &= ~queueBit(row);
        --queued;
    }
    std::uint32_t lowest(std::size_t row) const {
        std::size_t w1;
        if (deep) {
            const std::uint64_t* top = l2 + row * w2s;
            std::size_t i = 0;
            while (top[i] == 0) ++i;
            w1 = i * 64 + static_cast<std::size_t>(__builtin_ctzll(top[i]));
        } else {
            const std::uint64_t* mid = l1 + row * w1s;
            w1 = 0;
            while (mid[w1] == 0) ++w1;
        }
        const std::size_t w0 = w1 * 64 + static_cast<std::size_t>(__builtin_ctzll(l1[row * w1s + w1]));
        return static_cast<std::uint32_t>(w0 * 64 + static_cast<std::size_t>(__builtin_ctzll(l0[row * w0s + w0])));
    }

    BucketQueue& q;
    const SearchNetwork* net;
    std::uint64_t* l0;
    std::uint64_t* l1;
    std::uint64_t* l2;
    std::uint32_t* sizes;
    std::size_t w0s, w1s, w2s;
    std::uint32_t rows;
    std::size_t queued;
    std::int64_t current;
    bool allOrdered, deep;
    std::uint64_t nonEmpty[4];
};

inline BucketQueue::Cursor BucketQueue::cursor() { return Cursor(*this); }

inline bool BucketQueue::Cursor::take(const Label* labels, std::uint32_t reached, std::uint32_t& slot) {
    const bool haveApart = !allOrdered && liveTop(q.apart, labels, reached);
    if (queued == 0) {
        if (!haveApart) return false;
        slot = q.apart.front().slot;
        current = q.apart.front().total;
        q.apart.pop();
        return true;
    }
    // The next non-empty row at or after the current total, cyclically.
    const std::size_t start = rowOf(current);
    std::size_t row = sizes[start] != 0 ? start : rows;
    std::size_t w = start >> 6;
    std::uint64_t bits = row == rows ? nonEmpty[w] & (~std::uint64_t{0} << (start & 63)) : 0;
    for (int i = 0; i < 4 && row == rows; ++i) {
        if (bits != 0) row = (w << 6) + static_cast<std::size_t>(__builtin_ctzll(bits));
        w = (w + 1) & 3;
        bits = nonEmpty[w];
    }
    if (row == rows) {
        bits = nonEmpty[start >> 6] & (queueBit(start) - 1);
        row = ((start >> 6) << 6) + static_cast<std::size_t>(__builtin_ctzll(bits));
    }
    const std::int64_t day = current + static_cast<std::int64_t>((row - start) & (rows - 1));
    const std::uint32_t low = lowest(row);
    if (haveApart) {
        const WideEntry& a = q.apart.front();
        if (a.total < day || (a.total == day && a.order < orderOf(net->idOf(low)))) {
            slot = a.slot;
            current = a.total;
            q.apart.pop();
            return true;
        }
    }
    slot = low;
    current = day;
    clear(row, low);
    return true;
}

}  // namespace FitingFlight
