#include "choices/LeanSearch.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <type_traits>

#include "fitting/SearchQueues.h"

namespace Choices {

namespace {

constexpr int kLegBits = 24;
constexpr std::uint64_t kUnreached = std::numeric_limits<std::uint64_t>::max();

// A spur's heap entry: (days + bound) << kLegBits | legs, and the state.
struct LeanEntry {
    std::uint64_t key;
    std::uint32_t state;
    bool operator<(const LeanEntry& o) const { return key < o.key || (key == o.key && state < o.state); }
};

struct Step {
    std::uint32_t pred;  // the state it leaves, kNone for a start
    std::uint32_t arc;
};

struct LeanSpace {
    std::vector<std::uint64_t> key;  // days << kLegBits | legs; kUnreached when not reached
    std::vector<Step> last;  // the last step into each state
    std::vector<std::uint32_t> touched;  // the states whose key is set
    std::vector<std::vector<std::uint32_t>> ring;  // Dial's buckets by days
    FitingFlight::Heap<LeanEntry> heap;             // the spurs' queue
    bool dirty = false;  // buckets or heap may hold entries of an unfinished search

    void begin(std::uint32_t states) {
        for (std::uint32_t s : touched) key[s] = kUnreached;
        touched.clear();
        if (key.size() < states) {
            key.resize(states, kUnreached);
            last.resize(states);
        }
        if (ring.size() < kDialClasses) ring.resize(kDialClasses);
        if (dirty) {
            for (auto& b : ring) b.clear();
            heap.clear();
        }
        dirty = true;
    }
    static std::int64_t days(std::uint64_t k) { return static_cast<std::int64_t>(k >> kLegBits); }
    static int legs(std::uint64_t k) { return static_cast<int>(k & ((std::uint64_t{1} << kLegBits) - 1)); }
};

LeanSpace& leanSpace() {
    thread_local LeanSpace s;
    return s;
}

}  // namespace

bool leanApplies(const Plan& p) {
    const Index& ix = *p.ix;
    return !p.negative && ix.zeros == 0 && ix.longOnes == 0 && p.states < (std::uint32_t{1} << kLegBits);
}

namespace {

Path leanPath(const Plan& p, const LeanSpace& l, std::uint32_t end) {
    Path path;
    path.days = LeanSpace::days(l.key[end]);
    for (std::uint32_t s = end;;) {
        path.states.push_back(s);
        const std::uint32_t from = l.last[s].pred;
        if (from == kNone) break;
        path.arcs.push_back(l.last[s].arc);
        if (l.last[s].arc != kTransition) ++path.legs;
        s = from;
    }
    std::reverse(path.states.begin(), path.states.end());
    std::reverse(path.arcs.begin(), path.arcs.end());
    (void)p;
    return path;
}


// A fit (out != null: the first route in the route order into `out`, false
// when there is none) or a reach (settled != null: every state within
// reachLimit days, in the order settled). With kSpur, a spur of the k best
// (`spur` says what it may not take): A* on days plus the potential, in a
// heap ordered by (that sum, legs, state), which settles each state's
// (days, legs) in order as the potential never falls by more than a
// step's days (a step that adds nothing to the sum adds a leg).
template <bool kSpur>
bool leanSearch(const Plan& p, const std::vector<Start>& starts, Path* out, std::int64_t reachLimit,
                std::vector<std::uint32_t>* settled, const LeanSpur* spur = nullptr) {
    LeanSpace& l = leanSpace();
    l.begin(p.states);
    const Index& ix = *p.ix;
    std::uint64_t* key = l.key.data();
    Step* last = l.last.data();
    const bool reach = settled != nullptr;
    const std::uint32_t targetBase = p.via ? p.n : 0;
    const char* target = p.target.data();
    const std::int64_t* potential = kSpur ? spur->potential : nullptr;
    const std::uint32_t spurState = kSpur ? spur->spur->state : kNone;
    auto isEnd = [&](std::uint32_t s) {
        if (s < targetBase || target[s - targetBase] == 0) return false;
        return !kSpur || !(s == spurState && spur->spur->noEnd);
    };
    auto blocked = [&](std::uint32_t s) { return kSpur && spur->blocks.has(s); };
    std::size_t pending = 0;
    std::int64_t first = kInfinite, lastPushed = 0;
    auto push = [&](std::uint32_t s, std::int64_t days, std::uint64_t k) {
        if constexpr (kSpur) {
            l.heap.push(LeanEntry{k + (static_cast<std::uint64_t>(potential[s]) << kLegBits), s});
        } else {
            (void)k;
            l.ring[static_cast<std::size_t>(days) % kDialClasses].push_back(s);
            ++pending;
            lastPushed = std::max(lastPushed, days);
        }
    };
    std::int64_t arrivalDays = kInfinite;
    for (const Start& s : starts) {
        if (kSpur && potential[s.state] == kInfinite) continue;
        const std::uint64_t k = static_cast<std::uint64_t>(s.days) << kLegBits | static_cast<std::uint64_t>(s.legs);
        if (key[s.state] == kUnreached) l.touched.push_back(s.state);
        key[s.state] = k;
        last[s.state] = Step{kNone, kNone};
        push(s.state, s.days, k);
        first = std::min(first, s.days);
        if (!reach && isEnd(s.state)) arrivalDays = std::min(arrivalDays, s.days);
    }
    bool viaPassed = false;
    const int passengers = p.passengers;
    // A spur's routes of more than `reachLimit` days are not wanted.
    const std::int64_t spurLimit = kSpur ? reachLimit : kInfinite;
    // The step from u (its label final, of `du` days) by arc `id` to v, with
    // v's key `kv` and the step's `ck`, no greater. Most steps improve
    // nothing: one comparison of keys ends them before this. (No step leads
    // back before `via` once it is passed: the states before it are not
    // relaxed from any more, and only they lead there.)
    auto better = [&](std::uint32_t u, std::int64_t du, std::uint32_t v, std::int64_t cand, std::uint64_t ck,
                      std::uint64_t kv, std::uint32_t id) {
        if (ck < kv) {
            if (blocked(v)) return;
            if (kSpur && (potential[v] == kInfinite || cand + potential[v] > spurLimit)) return;
            if (reach) {
                if (cand > reachLimit) return;
            } else if (cand >= arrivalDays) {
                if (!isEnd(v)) return;
            } else if (isEnd(v)) {
                arrivalDays = cand;
            }
            if (kv == kUnreached) l.touched.push_back(v);
            key[v] = ck;
            last[v] = Step{u, id};
            if (kSpur || LeanSpace::days(kv) != cand) push(v, cand, ck);
        } else {
            const Step cur = last[v];
            if (stepBefore(p, du, u, id, LeanSpace::days(key[cur.pred]), cur.pred, cur.arc)) last[v] = Step{u, id};
        }
    };
    auto relax = [&](std::uint32_t u, std::int64_t du, std::uint64_t ku, std::uint32_t v, int days, std::uint64_t legs,
                     std::uint32_t id) TAVRIK_INLINE {
        const std::uint64_t ck = ku + (static_cast<std::uint64_t>(days) << kLegBits) + legs;
        const std::uint64_t kv = key[v];
        if (ck > kv) return;
        better(u, du, v, du + days, ck, kv, id);
    };
    // The winning flights of each pair out of airport `a`, with the checks
    // the query needs compiled in.
    auto scanBest = [&](auto avoid, auto seats, std::uint32_t u, std::int64_t du, std::uint64_t ku, std::uint32_t a)
                        TAVRIK_INLINE {
        const std::uint32_t offset = u - a;
        const Best* bs = ix.bestBegin(a);
        const Best* end = bs + ix.bestCount(a);
        const int* free = ix.freeBegin(a);
        const BestFlight* flights = ix.flightsBegin(a);
        const char* avoided = p.avoided.data();
        for (const Best* b = bs; b != end; ++b) {
            if (decltype(avoid)::value && avoided[b->to]) continue;
            const std::uint32_t v = offset + b->to;
            if (decltype(seats)::value && free[b - bs] < passengers) {
                // The pair's winner lacks the seats: its other flights that
                // have them are offered instead.
                const BestFlight& f = flights[b - bs];
                if (f.count == 1) continue;  // the winner is the pair's one flight
                if (f.secondFree >= passengers) {
                    // The next in the pair's order has them: no later one can do better.
                    relax(u, du, ku, v, f.secondDays, 1, f.second);
                    continue;
                }
                for (std::uint32_t k = f.first; k != kNone; k = ix.arcs[k].sibling)
                    if (p.seated(ix.arcs[k])) relax(u, du, ku, v, ix.arcs[k].days, 1, k);
                continue;
            }
            const std::uint64_t ck = ku + (static_cast<std::uint64_t>(static_cast<std::uint32_t>(b->days)) << kLegBits) + 1;
            const std::uint64_t kv = key[v];
            if (ck > kv) continue;
            better(u, du, v, du + b->days, ck, kv, flights[b - bs].arc);
        }
    };
    auto spurBlocks = [&](std::uint32_t u, std::uint32_t id) {
        if (!kSpur || u != spurState) return false;
        const std::vector<std::uint32_t>& arcs = spur->spur->arcs;
        return std::find(arcs.begin(), arcs.end(), id) != arcs.end();
    };
    auto relaxAll = [&](std::uint32_t u) {
        const std::uint64_t ku = key[u];
        const std::int64_t du = LeanSpace::days(ku);
        const std::uint32_t a = p.airport(u);
        if (p.via && u < p.n && a == p.viaSlot) {
            if (!spurBlocks(u, kTransition)) relax(u, du, ku, u + p.n, 0, 0, kTransition);
            return;
        }
        // At the spur's state a pair's winner may be ruled out while its
        // other flights are not: every flight is looked at there.
        if (p.avoidedArcs.empty() && !(kSpur && u == spurState)) {
            using Yes = std::true_type;
            using No = std::false_type;
            if (p.anyAvoided) {
                if (passengers > 0) scanBest(Yes{}, Yes{}, u, du, ku, a);
                else scanBest(Yes{}, No{}, u, du, ku, a);
            } else {
                if (passengers > 0) scanBest(No{}, Yes{}, u, du, ku, a);
                else scanBest(No{}, No{}, u, du, ku, a);
            }
            return;
        }
        const std::uint32_t offset = u - a;
        for (std::uint32_t i : ix.out[a]) {
            const ArcData& arc = ix.arcs[i];
            if (p.avoided[arc.to]) continue;
            if (passengers > 0 && !p.seated(arc)) continue;
            if (!p.avoidedArcs.empty() && std::binary_search(p.avoidedArcs.begin(), p.avoidedArcs.end(), i)) continue;
            if (spurBlocks(u, i)) continue;
            relax(u, du, ku, offset + arc.to, arc.days, 1, i);
        }
    };
    if constexpr (kSpur) {
        // The first arrival taken from the heap is the answer: the heap's
        // order at an arrival (bound 0) is (days, legs, state).
        while (!l.heap.empty()) {
            const LeanEntry e = l.heap.front();
            l.heap.pop();
            const std::uint32_t u = e.state;
            const std::uint64_t ku = key[u];
            if (ku + (static_cast<std::uint64_t>(potential[u]) << kLegBits) != e.key) continue;  // stale
            if (isEnd(u)) {
                *out = leanPath(p, l, u);
                l.heap.clear();
                l.dirty = false;
                return true;
            }
            if (viaPassed && u < p.n) continue;
            relaxAll(u);
            if (p.via && u == p.viaSlot) viaPassed = true;
        }
        l.dirty = false;
        return false;
    }
    // As in dijkstraWith: once the labels under arrivalDays - 1 days are
    // relaxed, only flights straight into an arrival from a label of
    // arrivalDays - 1 days can still matter, taken from the arrivals' side.
    const bool earlyEnd = !reach && p.targetArcs <= kEarlyEndArcs;
    auto endAtArrivals = [&]() {
        const std::int64_t lastDays = arrivalDays - 1;
        if (p.via && key[p.viaSlot] != kUnreached && LeanSpace::days(key[p.viaSlot]) == lastDays && !viaPassed)
            relaxAll(p.viaSlot);  // `via` after it, reached at the same days
        std::uint32_t end = kNone;
        for (std::uint32_t t : p.targets) {
            const std::uint32_t ts = targetBase + t;
            for (const Into& into : ix.in[t]) {
                const std::uint32_t us = targetBase + into.from;
                const std::uint64_t ku = key[us];
                if (ku == kUnreached || LeanSpace::days(ku) != lastDays || lastDays + into.days > arrivalDays) continue;
                const std::uint32_t id = into.arc;
                if (!p.takes(id)) continue;
                relax(us, lastDays, ku, ts, into.days, 1, id);
            }
        }
        for (std::uint32_t t : p.targets) {
            const std::uint32_t ts = targetBase + t;
            if (key[ts] == kUnreached) continue;
            if (end == kNone || std::tie(key[ts], ts) < std::tie(key[end], end)) end = ts;
        }
        *out = leanPath(p, l, end);
    };
    // The same end on the way to `via`: once every label under `via`'s days
    // less one is relaxed, only 1-day flights straight into `via` from the
    // labels of the day before can still change its label. Those taken, it is
    // passed at once, and the labels before it left in the queue lead nowhere.
    auto passVia = [&](std::int64_t day) {
        if (LeanSpace::days(key[p.viaSlot]) == day + 1)
            for (const Into& into : ix.in[p.viaSlot]) {
                const std::uint64_t ku = key[into.from];
                if (into.days != 1 || ku == kUnreached || LeanSpace::days(ku) != day) continue;
                const std::uint32_t id = into.arc;
                if (!p.takes(id)) continue;
                relax(into.from, day, ku, p.viaSlot, 1, 1, id);
            }
        relaxAll(p.viaSlot);
        viaPassed = true;
    };
    bool found = false;
    std::int64_t day = first;
    for (; pending > 0 && !found; ++day) {
        if (reach && day > reachLimit) break;
        std::vector<std::uint32_t>& bucket = l.ring[static_cast<std::size_t>(day) % kDialClasses];
        // The bucket grows while it is read (`via`'s transition adds no day).
        for (std::size_t i = 0; i < bucket.size(); ++i) {
            --pending;
            const std::uint32_t u = bucket[i];
            if (LeanSpace::days(key[u]) != day) continue;
            if (p.via && !viaPassed && key[p.viaSlot] != kUnreached && LeanSpace::days(key[p.viaSlot]) <= day + 1)
                passVia(day);
            if (reach) {
                settled->push_back(u);
                if (day >= reachLimit) continue;
            } else if (earlyEnd && arrivalDays != kInfinite && day + 1 >= arrivalDays) {
                endAtArrivals();
                found = true;
                break;
            } else if (isEnd(u)) {
                // The first arrival in the route order among the final
                // labels of these days: fewest legs, then smallest slot.
                std::uint32_t end = u;
                for (std::size_t j = i + 1; j < bucket.size(); ++j) {
                    const std::uint32_t o = bucket[j];
                    if (LeanSpace::days(key[o]) == day && isEnd(o) && std::tie(key[o], o) < std::tie(key[end], end))
                        end = o;
                }
                *out = leanPath(p, l, end);
                found = true;
                break;
            }
            if (viaPassed && u < p.n) continue;
            relaxAll(u);
            if (p.via && u == p.viaSlot) viaPassed = true;
        }
        if (!found) bucket.clear();
    }
    // Buckets left with entries are emptied now, so the next search starts clean.
    for (std::int64_t d = std::max<std::int64_t>(first, day - 1); d <= lastPushed && d < day - 1 + kDialClasses; ++d)
        l.ring[static_cast<std::size_t>(d) % kDialClasses].clear();
    l.dirty = false;
    return found;
}

}  // namespace

bool leanFit(const Plan& p, const std::vector<Start>& starts, Path* out) {
    return leanSearch<false>(p, starts, out, -1, nullptr);
}

bool leanSpur(const Plan& p, const std::vector<Start>& starts, const LeanSpur& spur, std::int64_t limit, Path* out) {
    return leanSearch<true>(p, starts, out, limit, nullptr, &spur);
}

std::vector<LeanReached> leanReach(const Plan& p, const std::vector<Start>& starts, std::int64_t limit) {
    std::vector<std::uint32_t> settled;
    leanSearch<false>(p, starts, nullptr, limit, &settled);
    const LeanSpace& l = leanSpace();
    std::vector<LeanReached> out;
    out.reserve(settled.size());
    for (std::uint32_t s : settled)
        out.push_back(LeanReached{s, LeanSpace::days(l.key[s]), LeanSpace::legs(l.key[s]), l.last[s].pred == kNone});
    return out;
}

}  // namespace Choices
