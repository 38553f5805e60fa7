#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "fitting/IFitingFlight.h"
#include "fitting/day_link.h"
#include "store/IDataAccess.h"

namespace FitingFlight {

// Dijkstra's search over the store's network with the following exact rules,
// which decide every tie:
//  - airports are included in order of (total days, airport number);
//  - including an airport relaxes its departing flights in ascending flight
//    number; a flight's arrival takes the new total only when it is strictly
//    smaller than the one it has (an equal total never replaces an earlier
//    one), whether or not that airport is already included;
//  - at most N - 1 airports are included (N = number of airports).
// With day counts >= 0 no included airport can improve any more, so the
// search stops as soon as the arrival airport is included, and a later query
// from the same departure airport resumes it where it stopped. With a
// negative day count anywhere in the network it runs to its end, following
// the same greedy rule; the walk back then gives -4 if it is longer than N
// legs (a loop of improved airports).
//
// Between calls it keeps a compact copy of the network, which it rebuilds
// when the store's revision changes, and the last search. In the copy each
// airport (in ascending number) keeps one edge per arrival airport: of its
// parallel flights only the one with the fewest days, the smallest number
// among equals. Relaxing the flights one by one in ascending number ends in
// exactly that edge's total and flight, since an equal total never replaces,
// so the search does the same work once per pair of airports.
class TFitingFlight : public IFitingFlight {
public:
    explicit TFitingFlight(IDataAccess* data);
    ~TFitingFlight() override;

    int fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) override;

private:
    // What relaxing needs, 8 bytes; the rest of an edge is in `flight` and
    // `source`, read only when a route is written out.
    struct Edge {
        std::uint32_t to;  // dense index of the arrival airport
        int days;
    };
    struct Network {
        std::uint64_t revision = 0;
        bool valid = false;
        bool negativeDays = false;
        // No total can reach 2^32 (all days >= 0 and N * largest < 2^32),
        // so (total, airport) fits one 64-bit heap key.
        bool packedKeys = true;
        // All day counts lie in [0, bucketCount): the search can use one
        // bitmap of airports per total instead of a heap (see advanceBuckets).
        bool bucketed = false;
        std::uint32_t bucketCount = 1;  // a power of two
        std::vector<int> ids;               // airport numbers, ascending
        std::vector<std::uint32_t> first;   // departing edges of i: [first[i], first[i+1])
        std::vector<Edge> edges;
        std::vector<int> flight;            // flight number of each edge
        std::vector<std::uint32_t> source;  // dense index of each edge's departure airport
    };
    // The search's record of one airport. mark < base: unreached; base:
    // reached; base + 1: included. A new search only raises base, so it costs
    // nothing per airport.
    struct Label {
        std::int64_t day;
        std::uint32_t mark;
        std::uint32_t via;  // edge of the last leg (unused for the departure)
    };
    // Heap entry ordered by (total, airport); the packed form is the total in
    // the high half and the dense index in the low half of one key.
    struct PackedEntry {
        std::uint64_t key;
        std::int64_t day() const { return static_cast<std::int64_t>(key >> 32); }
        std::uint32_t airport() const { return static_cast<std::uint32_t>(key); }
        bool operator<(const PackedEntry& o) const { return key < o.key; }
        static PackedEntry make(std::int64_t day, std::uint32_t airport) {
            return PackedEntry{(static_cast<std::uint64_t>(day) << 32) | airport};
        }
    };
    struct WideEntry {
        std::int64_t d;
        std::uint32_t a;
        std::int64_t day() const { return d; }
        std::uint32_t airport() const { return a; }
        bool operator<(const WideEntry& o) const { return d < o.d || (d == o.d && a < o.a); }
        static WideEntry make(std::int64_t day, std::uint32_t airport) { return WideEntry{day, airport}; }
    };
    // 4-ary min-heap.
    template <class Entry>
    struct Heap {
        std::vector<Entry> items;
        void push(Entry e);
        void pop();
    };

    // fitRoute without emptying the list on refusal.
    int search(int maxDays, int from, int to, std::list<TTicket>* route);
    bool airportExists(int airport);
    void refreshNetwork();
    int indexOf(int airport) const;
    void startSearch(std::uint32_t source);
    // Runs the search until `target` is included or the search has ended.
    template <class Entry>
    void advanceSearch(Heap<Entry>& heap, std::uint32_t target);
    // The same search with the queue kept as one bitmap of airports per total
    // (totals modulo bucketCount): taking the lowest set bit of the lowest
    // non-empty total is exactly the heap's (total, airport) minimum.
    void advanceBuckets(std::uint32_t target);
    // Relaxes the departing flights of u, telling the queue about every
    // airport reached for the first time and every improved one.
    template <class OnReached, class OnImproved>
    void relax(std::uint32_t u, OnReached&& reachedFirst, OnImproved&& improved);
    void enqueue(std::uint32_t airport, std::int64_t day);
    void dequeue(std::uint32_t airport, std::int64_t day);
    day_link linkOf(std::uint32_t airport) const;

    IDataAccess* data;
    Network net;

    // The last search.
    bool searchValid = false;
    bool searchEnded = false;
    std::uint32_t sourceIndex = 0;
    std::size_t included = 0;
    std::uint32_t base = 0;
    std::vector<Label> labels;
    Heap<PackedEntry> packedHeap;
    Heap<WideEntry> wideHeap;
    std::vector<std::uint64_t> bucketBits;  // bucketCount rows of bucketWords
    std::vector<std::uint32_t> bucketSize;  // airports queued per row
    std::size_t bucketWords = 0;
    std::size_t bucketsQueued = 0;
    std::int64_t bucketDay = 0;     // the total being taken
    std::size_t bucketCursor = 0;   // no queued airport of bucketDay lies below this word
};

}  // namespace FitingFlight
