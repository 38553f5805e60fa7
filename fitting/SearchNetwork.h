#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
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

// Thresholds of the search's copy; the defaults suit every network, tests
// lower them so that small networks take the same paths as large ones.
struct SearchTuning {
    // An airport's edges get a hash index (arrival slot -> edge) once it has
    // this many; below that a scan of its few edges is cheaper.
    std::uint32_t indexFrom = 16;
    // Idle search states kept for later queries; one beyond this many is
    // freed when its query ends (0: as many as the machine has threads).
    std::uint32_t idleStates = 0;
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
// Every change costs time independent of the degree of the airports it
// touches (amortised, expected): an airport with many edges has a hash index
// from arrival slot to edge, and the flights of a pair that has several are
// kept ordered by (days, number) beside the edge, so that the next best one
// takes over without a look at the store. Removing an airport costs its
// flights. Dead slots, out-of-order slots and abandoned pool ranges pile up;
// when they pass a fixed share of the whole, and the edits since the last
// rebuild have done at least a fixed share of the work a rebuild does (its
// slots and flights), the next addition compacts the copy from itself.
// Only the first build reads the store's tables.
// So the rebuild's cost is spread over edits in proportion to it, and what
// piles up stays within a constant factor of the network.
//
// Beside each flight lies its free seats (kNoLimit for a flight without a
// capacity; every flight starts so), which the seat service sets through
// setFree: a search for N passengers reads the count of the edge's flight
// beside the edge and, when that flight lacks the seats, walks the pair's
// ordered flights to the first that has them.
//
// Additions give the strong guarantee (an allocation failure changes
// nothing); removals allocate nothing. Reading is safe from several threads
// at once while nothing changes it.
class SearchNetwork final {
public:
    explicit SearchNetwork(SearchTuning tuning = {}) : tuning(tuning) {}

    // ---- reading ----
    std::uint32_t slotCount() const { return static_cast<std::uint32_t>(ids.size()); }
    std::size_t liveCount() const { return live; }
    int idOf(std::uint32_t slot) const { return ids[slot]; }
    bool inOrder(std::uint32_t slot) const { return ordered[slot] != 0; }
    // No live airport is out of slot order.
    bool allInOrder() const { return outOfOrder == 0; }
    // The slot of a present airport; false if absent.
    bool findSlot(int airport, std::uint32_t& slot) const;
    // The slot is a present airport's (not one a removed airport left dead).
    bool isLive(std::uint32_t slot) const {
        std::uint32_t back;
        return slot < ids.size() && findSlot(ids[slot], back) && back == slot;
    }
    const Edge* edgesBegin(std::uint32_t slot) const { return pool.data() + ranges[slot].begin; }
    const Edge* edgesEnd(std::uint32_t slot) const { return pool.data() + ranges[slot].begin + ranges[slot].size; }
    // The flight number of the edge from `from` to `to`, which must exist.
    int flightOf(std::uint32_t from, std::uint32_t to) const;
    std::size_t flightCount() const { return flights; }
    // Empty when the indexes agree with the edges, else the first
    // difference (for tests): every indexed airport's edges are in the hash
    // index at their places and nothing else is; every edge of several
    // flights has its ordered set, of that many flights, led by the edge's.
    std::string indexBreach() const;
    // The flights of the edge from `from` to `to` as (days, number), in
    // order; empty for an edge of one flight or none (for tests).
    std::vector<std::pair<int, int>> parallelFlights(std::uint32_t from, std::uint32_t to) const;
    // The flight number of an edge between edgesBegin and edgesEnd, and how
    // many flights join its two airports that way.
    int flightOfEdge(const Edge* e) const { return poolInfo[static_cast<std::size_t>(e - pool.data())].flight; }
    std::uint32_t flightsOfEdge(const Edge* e) const {
        return poolInfo[static_cast<std::size_t>(e - pool.data())].flights;
    }

    // Free seats of an edge's flight (kNoLimit: no capacity).
    static constexpr int kNoLimit = INT_MAX;
    // Free seats of an edge's flight (free) and of the pair's second flight
    // (alt; kNoAlt when the edge has one flight).
    struct EdgeSeats {
        int free;
        int alt;
        int altDays;  // the second flight's days
    };
    static constexpr int kNoAlt = INT_MIN;
    int freeOfEdge(const Edge* e) const { return poolSeats[static_cast<std::size_t>(e - pool.data())].free; }
    // The seats of the edges of a slot, in the order of its edges.
    const EdgeSeats* seatsBegin(std::uint32_t slot) const { return poolSeats.data() + ranges[slot].begin; }
    // Of the flights joining `from` to the edge's arrival that way, the
    // first in (days, number) with at least `passengers` free seats: what
    // the search takes over the flights that have them. False: none has.
    bool keptFlight(std::uint32_t from, const Edge* e, int passengers, int& flight, int& days) const {
        const std::size_t i = static_cast<std::size_t>(e - pool.data());
        const EdgeSeats& seats = poolSeats[i];
        if (seats.free >= passengers) {
            flight = poolInfo[i].flight;
            days = e->days;
            return true;
        }
        if (seats.alt >= passengers) {
            flight = poolInfo[i].altFlight;
            days = seats.altDays;
            return true;
        }
        return seats.alt != kNoAlt && keptBeyond(from, e, passengers, flight, days);
    }
    // keptFlight past the second flight of the pair.
    bool keptBeyond(std::uint32_t from, const Edge* e, int passengers, int& flight, int& days) const;
    // The edge from `from` to `to`, or null.
    const Edge* edgeBetween(std::uint32_t from, std::uint32_t to) const {
        const std::size_t e = findEdge(from, to);
        return e == kNone ? nullptr : pool.data() + e;
    }

    bool negativeDays() const { return negatives > 0; }
    // A lower bound of the day counts of the flights arriving at a slot
    // (INT_MAX: none ever since the last rebuild). A removal leaves it as it
    // is: lower than the fewest days left is still a bound.
    int leastInto(std::uint32_t slot) const { return leastIn[slot]; }
    QueueKind queueKind() const;
    // Rows of the bitmap queue: a power of two above every day count.
    std::uint32_t bucketCount() const { return std::uint32_t{1} << largestClass(); }
    // Changes whenever the queue kind or the bucket count may have changed,
    // or the slots were renumbered; a search begun before is then stale.
    std::uint64_t layoutVersion() const { return layout; }

    // ---- changing ----
    // Replaces the copy with one built from the store's table.
    void rebuild(const std::map<int, TAirportLink>& airports);
    // Rebuilds the copy from itself, not the store: dead slots dropped, the
    // live ones renumbered in airport-number order, the pool packed; the
    // ordered flights of parallel edges are kept as they are.
    void compact();
    // True when the waste has grown past its share and the work of the
    // edits since the last rebuild pays for one: an addition, once made,
    // then compacts the copy.
    bool wantsRebuild() const;
    // Of the two shares that may run over, the dead and out-of-order slots
    // (the other is the edge pool's abandoned ranges).
    bool slotsOverShare() const;
    void addAirport(int airport);
    void removeAirport(int airport, const std::map<int, TFlightLink>& flights) noexcept;
    void addFlight(int flight, int days, int from, int to);
    // When it was the last flight of its edge the edge goes; when it was the
    // edge's flight among others, the best one left takes over.
    void removeFlight(int flight, int days, int from, int to) noexcept;
    // The free seats of a flight of the copy (nothing if it is not there);
    // allocates nothing.
    void setFree(int flight, int days, int from, int to, int free) noexcept;
    // Every flight without a capacity again.
    void clearFree() noexcept;
    // Forgets everything (frees the memory), keeping the tuning.
    void clear() noexcept;

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
    // Indexes the edges of `from` as they will lie from `begin` on, and the
    // new edge to `to` after them; on failure takes back what it put in.
    void indexRange(std::uint32_t from, std::size_t begin, std::uint32_t to);
    static std::uint64_t pairKey(std::uint32_t from, std::uint32_t to) {
        return std::uint64_t{from} << 32 | to;
    }
    static std::uint64_t idKey(int from, int to) {
        return pairKey(static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to));
    }
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    void noteLayout(QueueKind kindBefore, std::uint32_t bucketsBefore) noexcept;

    std::vector<int> ids;                 // airport number of each slot
    std::vector<std::uint8_t> ordered;    // slot order agrees with number order
    std::vector<Range> ranges;            // edges of each slot in `pool`
    std::vector<std::uint32_t> room;      // pool entries each slot's range may fill
    std::vector<int> leastIn;             // see leastInto
    std::vector<Edge> pool;
    // Beside each pool entry: the edge's flight number and how many flights
    // join the same two airports that way (when the last goes, so does the
    // edge, without a look at the store).
    // For an edge of several flights, the second of the pair in (days,
    // number) is kept here too (alt*): when the edge's own flight lacks the
    // seats, that one mostly has them, and no set is looked up.
    struct EdgeInfo {
        int flight;
        std::uint32_t flights;
        int altFlight = 0;
    };
    std::vector<EdgeInfo> poolInfo;
    // Beside each pool entry too, on its own so that a search for seats
    // reads 8 bytes more per edge: the free seats of the edge's flight and
    // of its stand-in.
    std::vector<EdgeSeats> poolSeats;
    std::unordered_map<int, std::uint32_t> slots;  // present airports only
    // Airports with at least tuning.indexFrom edges (once indexed, until the
    // next rebuild): (slot, arrival slot) -> pool entry.
    std::vector<std::uint8_t> indexed;
    std::unordered_map<std::uint64_t, std::uint32_t> edgeIndex;
    // Edges of two flights or more: (airport, arrival airport) -> their
    // flights as (days, number), the first being the edge's, each with its
    // free seats. Keyed by numbers, not slots, so that a rebuild keeps them.
    using Parallels = std::map<std::pair<int, int>, int>;
    std::unordered_map<std::uint64_t, Parallels> parallels;
    // Copies the set's second flight into the edge's alt* fields.
    static void noteSecond(EdgeInfo& info, EdgeSeats& seats, const Parallels& set) noexcept;
    SearchTuning tuning;
    std::size_t flights = 0;       // flights between airports of the copy
    std::size_t work = 0;          // edits' work since the last rebuild
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
