#pragma once

// What the route choices' searches share (internal to choices/): a query
// checked against the copy of the network (Plan), the routes and starts
// they work on, the spurs of the k best, and the tie rule between steps.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include "choices/ChoiceNetwork.h"

// The relaxation of a step, called for every flight a search looks at:
// inlined into the loops over the flights.
#if defined(__GNUC__)
#define TAVRIK_INLINE __attribute__((always_inline))
#else
#define TAVRIK_INLINE
#endif

namespace Choices {

// The step from `via` before it to `via` after it: no flight, no leg, no day.
constexpr std::uint32_t kTransition = kNone - 1;
constexpr std::int64_t kInfinite = std::numeric_limits<std::int64_t>::max();

// A search ends early from the arrivals' side only while they have at most
// this many arriving flights in all (past it, the usual end is cheaper).
constexpr std::size_t kEarlyEndArcs = 4096;

// A query checked against the index. States: one per airport, or with `via`
// two (state s + n is airport s after `via` was passed).
struct Plan {
    const Index* ix = nullptr;
    std::uint32_t n = 0;
    std::uint32_t states = 0;
    bool via = false;
    std::uint32_t viaSlot = 0;
    std::vector<std::uint32_t> sources;  // airport slots, ascending
    std::vector<char> target;            // per airport slot
    std::vector<std::uint32_t> targets;  // the arrival airports' slots, each once
    std::size_t targetArcs = 0;          // the flights into them
    std::vector<char> avoided;           // per airport slot
    bool anyAvoided = false;
    std::vector<std::uint32_t> avoidedArcs;  // sorted
    bool hasMaxLegs = false;
    int maxLegs = 0;
    int passengers = 0;  // 0: seats are not asked for
    bool negative = false;
    // Negative networks only: the states from which an arrival can be
    // reached; loops elsewhere cannot be part of a route.
    std::vector<char> relevant;
    std::uint32_t relevantCount = 0;

    std::uint32_t airport(std::uint32_t state) const { return state < n ? state : state - n; }
    bool isTarget(std::uint32_t state) const {
        return (via ? state >= n : true) && target[airport(state)] != 0;
    }
    int flightOf(std::uint32_t arc) const {
        return arc == kTransition ? std::numeric_limits<int>::min() : ix->numbers[arc];
    }
    // The flight may carry the query's passengers.
    bool seated(const ArcData& arc) const { return arc.free >= passengers; }
    // The query lets a search take flight `arc`: it has the seats and is not
    // avoided.
    bool takes(std::uint32_t arc) const {
        if (passengers > 0 && !seated(ix->arcs[arc])) return false;
        return avoidedArcs.empty() || !std::binary_search(avoidedArcs.begin(), avoidedArcs.end(), arc);
    }
};

// A route as the searches see it: states[i] --arcs[i]--> states[i + 1].
struct Path {
    std::vector<std::uint32_t> states;
    std::vector<std::uint32_t> arcs;
    std::int64_t days = 0;
    int legs = 0;
};

struct Start {
    std::uint32_t state;
    std::int64_t days;
    int legs;
};

// Where a search of the k best begins to differ from earlier routes: the
// first steps out of `state` that it may not take.
struct Spur {
    std::uint32_t state = kNone;
    std::vector<std::uint32_t> arcs;  // arc indices or kTransition
    bool noEnd = false;               // the route may not end at `state`
    // The step out of `from` by `arc` is one of those ruled out.
    bool rulesOut(std::uint32_t from, std::uint32_t arc) const {
        return from == state && std::find(arcs.begin(), arcs.end(), arc) != arcs.end();
    }
};

// The states a search may not enter (the root of a spur of the k best):
// those whose stamp is the current epoch.
struct Blocks {
    const std::uint32_t* stamp = nullptr;
    std::uint32_t epoch = 0;
    bool any = false;
    bool has(std::uint32_t s) const { return any && stamp[s] == epoch; }
};

// Rule 4 of the route order for the last step into one state: true when the
// step from a label of `days` at state `from` by `arc` comes before the
// current one.
inline bool stepBefore(const Plan& p, std::int64_t days, std::uint32_t from, std::uint32_t arc, std::int64_t curDays,
                std::uint32_t curFrom, std::uint32_t curArc) {
    return std::make_tuple(days, p.airport(from), p.flightOf(arc)) <
           std::make_tuple(curDays, p.airport(curFrom), p.flightOf(curArc));
}

}  // namespace Choices
