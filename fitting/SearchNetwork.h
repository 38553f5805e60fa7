#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "store/IDataAccess.h"
#include "store/TAirportLink.h"
#include "store/TFlightLink.h"

namespace FitingFlight {

// How the search keeps the airports it has reached but not yet included.
enum class QueueKind {
    Buckets,     // every day count in 0..255: one bitmap of airports per total
    PackedHeap,  // day counts >= 0 and every total below 2^32: 64-bit heap keys
    WideHeap,    // anything else (negative day counts, huge totals)
};

// One departing edge of an airport: of all its flights to one arrival
// airport, the one that can win (fewest days, smallest number among equals).
// Relaxing the flights of a pair one by one in ascending flight number ends
// in exactly this edge's total and flight, since an equal total never
// replaces an earlier one.
// Only what relaxing reads, 8 bytes; the flight number lies in a parallel
// array, read when a route is written out or the network is edited.
struct Edge {
    std::uint32_t to;  // slot of the arrival airport
    int days;
};

// The route search's copy of the store's network, kept current edit by edit.
//
// Each airport has a slot. Slots are handed out in the order airports arrive,
// so a slot's place agrees with the airport number's order only as long as
// airports arrive in ascending number; an airport added below the largest
// number seen is marked out of order (the bitmap queue keeps such airports
// apart). A removed airport leaves a dead slot behind. Each slot's edges lie
// in one range of a shared pool; a range that fills up moves to the end of
// the pool with twice the room.
//
// Every change costs time in the degree of the airports it touches. Dead
// slots, out-of-order slots and abandoned pool ranges pile up; when they pass
// a fixed share of the whole, the next addition rebuilds the copy from the
// store, which keeps the cost amortised per edit.
//
// Additions give the strong guarantee (an allocation failure changes
// nothing); removals allocate nothing. Reading is safe from several threads
// at once while nothing changes it.
class SearchNetwork final {
public:
    // ---- reading ----
    std::uint32_t slotCount() const { return static_cast<std::uint32_t>(ids.size()); }
    std::size_t liveCount() const { return live; }
    int idOf(std::uint32_t slot) const { return ids[slot]; }
    bool inOrder(std::uint32_t slot) const { return ordered[slot] != 0; }
    // No live airport is out of slot order.
    bool allInOrder() const { return outOfOrder == 0; }
    // The slot of a present airport; false if absent.
    bool findSlot(int airport, std::uint32_t& slot) const;
    const Edge* edgesBegin(std::uint32_t slot) const { return pool.data() + ranges[slot].begin; }
    const Edge* edgesEnd(std::uint32_t slot) const { return pool.data() + ranges[slot].begin + ranges[slot].size; }
    // The flight number of the edge from `from` to `to`, which must exist.
    int flightOf(std::uint32_t from, std::uint32_t to) const;
    // The flight number of an edge between edgesBegin and edgesEnd, and how
    // many flights join its two airports that way.
    int flightOfEdge(const Edge* e) const { return poolInfo[static_cast<std::size_t>(e - pool.data())].flight; }
    std::uint32_t flightsOfEdge(const Edge* e) const {
        return poolInfo[static_cast<std::size_t>(e - pool.data())].flights;
    }

    bool negativeDays() const { return negatives > 0; }
    QueueKind queueKind() const;
    // Rows of the bitmap queue: a power of two above every day count.
    std::uint32_t bucketCount() const { return std::uint32_t{1} << largestClass(); }
    // Changes whenever the queue kind or the bucket count may have changed,
    // or the slots were renumbered; a search begun before is then stale.
    std::uint64_t layoutVersion() const { return layout; }

    // ---- changing ----
    // Replaces the copy with one built from the store's table.
    void rebuild(const std::map<int, TAirportLink>& airports);
    // True when the waste has grown past its share and the next addition
    // should rebuild instead.
    bool wantsRebuild() const;
    void addAirport(int airport);
    void removeAirport(int airport, const std::map<int, TFlightLink>& flights) noexcept;
    void addFlight(int flight, int days, int from, int to);
    // The flight is already gone from the store. When it was the last flight
    // of its edge the edge goes; when it was the edge's flight among others,
    // the best one left in the store's table of `from` takes over.
    void removeFlight(int flight, int days, int from, int to, IDataAccess& store) noexcept;

private:
    struct Range {
        std::uint32_t begin = 0;
        std::uint32_t size = 0;
    };

    // Day counts by bit length (0 for a count of 0), and negative ones apart.
    static int dayClass(int days);
    int largestClass() const;
    void countDays(int days, int delta) noexcept;
    // Index in the pool of the edge from `from` to `to`, or kNone.
    std::size_t findEdge(std::uint32_t from, std::uint32_t to) const noexcept;
    void eraseEdge(std::uint32_t from, std::size_t edge) noexcept;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    void noteLayout(QueueKind kindBefore, std::uint32_t bucketsBefore) noexcept;

    std::vector<int> ids;                 // airport number of each slot
    std::vector<std::uint8_t> ordered;    // slot order agrees with number order
    std::vector<Range> ranges;            // edges of each slot in `pool`
    std::vector<std::uint32_t> room;      // pool entries each slot's range may fill
    std::vector<Edge> pool;
    // Beside each pool entry: the edge's flight number and how many flights
    // join the same two airports that way (when the last goes, so does the
    // edge, without a look at the store).
    struct EdgeInfo {
        int flight;
        std::uint32_t flights;
    };
    std::vector<EdgeInfo> poolInfo;
    std::unordered_map<int, std::uint32_t> slots;  // present airports only
    std::size_t live = 0;
    std::size_t deadSlots = 0;
    std::size_t outOfOrder = 0;
    std::size_t wastedEdges = 0;   // pool entries no range uses any more
    bool haveLargest = false;
    int largestOrdered = 0;        // largest number among ordered slots
    std::size_t negatives = 0;
    std::size_t classes[32] = {};
    std::uint64_t layout = 0;
};

}  // namespace FitingFlight
