#pragma once

// The route choices' copy of the store's network: airports by slot, every
// flight with its free seats, and per airport the winning flight to each
// neighbour. Built from the store once, then kept current edit by edit
// (see TChoices).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "fitting/IFreeSeats.h"
#include "store/IDataAccess.h"

namespace Choices {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// One flight of the copy, by its arc id.
struct ArcData {
    std::uint32_t from;  // slot of the departure airport; kNone for an id not in use
    std::uint32_t to;    // slot of the arrival airport
    int days;
    int flight;
    int free;  // free seats, kNoLimit without a capacity
    std::uint32_t sibling;  // the next flight joining the same two airports that way, or kNone
};

// Of the flights from one airport to another, the one a search takes when
// it may take any (fewest days, then smallest flight number): what the
// search reads (8 bytes, so that a scan of an airport's entries reads as
// little as it can), and beside it that flight's free seats, read only by
// queries for passengers, and (BestFlight) which flight that is.
struct Best {
    std::uint32_t to;
    int days;
};
struct BestFlight {
    std::uint32_t arc;
    std::uint32_t first;  // every flight of the pair: first, then each one's sibling
    std::uint32_t count;  // how many flights the pair has
    // The first of the others in the same order, kNone if there is none:
    // what a search for passengers takes when the winner lacks the seats
    // and this one has them.
    std::uint32_t second;
    int secondDays;
    int secondFree;
};

// A flight as its arrival airport lists it.
struct Into {
    std::uint32_t from;
    int days;
    std::uint32_t arc;
};

constexpr int kNoLimit = std::numeric_limits<int>::max();

// Day counts the searches' buckets take (flights of more days are counted
// apart: searches over them use a heap).
constexpr std::uint32_t kDialClasses = 1024;

// The store's network as the searches read it: airports in ascending number
// (so comparing slots compares numbers; a removed airport leaves a dead slot
// that nothing leads to), each with its departing and arriving flights by
// arc id, parallel flights included, in no particular order (every search
// decides ties by the flights' numbers, not by their places).
struct Index {
    // The store's revision this copy stands for: each edit it is told of
    // moves it on by one, as the store's own.
    std::uint64_t revision = 0;
    std::uint32_t n = 0;
    std::vector<int> ids;
    std::unordered_map<int, std::uint32_t> slots;  // live airports only
    std::vector<ArcData> arcs;
    std::vector<int> numbers;  // each arc's flight number, for the ties the searches decide by it
    std::vector<std::uint32_t> unused;  // ids of `arcs` free for reuse
    std::vector<std::vector<std::uint32_t>> out;  // per slot, departing arc ids
    std::vector<std::vector<Into>> in;            // per slot, arriving flights
    // Per slot, one entry per departure airport with a flight here: the
    // fewest days of those flights (the pair's winner's), for the searches
    // backwards that need no more than that.
    struct From {
        std::uint32_t from;
        int days;
    };
    std::vector<std::vector<From>> inPairs;
    // Per slot, one entry per arrival airport, in one range of a shared pool
    // (`best`, and `bestFlight` beside it): a range that fills up moves to
    // the end of the pool with twice the room, and the pool is packed again
    // (slot by slot, each range as long as it is) once the ranges it left
    // behind pass half of it. A search reads the entries of an airport
    // from one place, and those of neighbouring slots lie near each other.
    struct Range {
        std::uint32_t begin = 0;
        std::uint32_t size = 0;
        std::uint32_t room = 0;
    };
    std::vector<Range> bestRange;
    std::vector<Best> best;
    std::vector<int> bestFree;
    std::vector<BestFlight> bestFlight;
    std::size_t wasted = 0;  // pool entries no range uses
    std::unordered_map<int, std::vector<std::uint32_t>> byFlight;
    std::size_t negatives = 0;  // flights of fewer than 0 days
    std::size_t zeros = 0;      // flights of 0 days
    std::size_t longOnes = 0;   // flights of kDialClasses days or more
    std::size_t dead = 0;       // slots of removed airports
    bool anyAirport = false;
    int largest = 0;            // the largest airport number any slot had

    bool negative() const { return negatives > 0; }
    const Best* bestBegin(std::uint32_t slot) const { return best.data() + bestRange[slot].begin; }
    std::uint32_t bestCount(std::uint32_t slot) const { return bestRange[slot].size; }
    const int* freeBegin(std::uint32_t slot) const { return bestFree.data() + bestRange[slot].begin; }
    const BestFlight* flightsBegin(std::uint32_t slot) const { return bestFlight.data() + bestRange[slot].begin; }
    void appendBest(std::uint32_t slot, const Best& b, int free, const BestFlight& f);
    void eraseBest(std::uint32_t slot, std::uint32_t i);
    // Every range packed, slot by slot.
    void pack();
    bool slotOf(int airport, std::uint32_t& slot) const {
        auto it = slots.find(airport);
        if (it == slots.end()) return false;
        slot = it->second;
        return true;
    }
    // False when the airport cannot take a slot in number order.
    bool addAirport(int airport);
    void removeAirport(std::uint32_t slot);
    void addArc(int flight, int days, std::uint32_t from, std::uint32_t to, int free);
    void removeArc(int flight, std::uint32_t from);
    // The free seats of a flight, also where it wins its pair.
    void setFree(std::uint32_t id, int free);
    // The arc id of flight `flight` from slot `from`, or kNone.
    std::uint32_t arcOf(int flight, std::uint32_t from) const;
    void countDays(int days, int delta);
    // The pair's second flight (see BestFlight), from its chain.
    void findSecond(BestFlight& b);
    // The days of the pair from `from` into `to` in `inPairs`.
    void setPairDays(std::uint32_t from, std::uint32_t to, int days);
};

// A copy of the store's network with the seat service's free seats (all
// without end when `seats` is null).
std::shared_ptr<Index> buildIndex(IDataAccess& store, IFreeSeats* seats);

}  // namespace Choices
