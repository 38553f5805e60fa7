#pragma once

// The route choices' search for the common case. Where every flight takes
// 1 .. kDialClasses - 1 days, a fit, reach, the front's fewest-days point and
// the spurs of the k best run on lean labels: (days, legs) packed into one
// 64-bit key per state (so one comparison orders them, and ends most steps),
// the last step into each state in an array of its own that only an
// improvement writes, and Dial's buckets holding bare states (each step adds
// a day or more, so a label is final when its bucket's turn comes, and a
// state needs one entry per day count it takes); the spurs, ordered by days
// plus a bound, take a heap. The order, the ties and the ends are those of
// the general searches in Choices.cpp, which networks with 0-day, negative or
// longer flights keep.

#include <cstdint>
#include <vector>

#include "choices/SearchPlan.h"

namespace Choices {

// The lean search applies: day counts from 1 to kDialClasses - 1, and room
// for the legs in a key.
bool leanApplies(const Plan& p);

// The first route in the route order from `starts` into `out`; false when
// there is none.
bool leanFit(const Plan& p, const std::vector<Start>& starts, Path* out);

// A spur of the k best: what it may not take, and the lower bound of the
// days to an arrival that orders its search (as A*; never null).
struct LeanSpur {
    const Spur* spur;
    Blocks blocks;
    const std::int64_t* potential;
};
// The spur's first route into `out`; routes of more than `limit` days may be
// left unfound.
bool leanSpur(const Plan& p, const std::vector<Start>& starts, const LeanSpur& spur, std::int64_t limit, Path* out);

// A state reach settled, with its fewest days and then fewest legs.
struct LeanReached {
    std::uint32_t state;
    std::int64_t days;
    int legs;
    bool start;  // one of the starts
};
// Every state within `limit` days of `starts`, in order of days.
std::vector<LeanReached> leanReach(const Plan& p, const std::vector<Start>& starts, std::int64_t limit);

}  // namespace Choices
