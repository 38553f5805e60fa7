#include "choices/Choices.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <tuple>
#include <type_traits>
#include <utility>

#include "choices/ChoiceNetwork.h"
#include "choices/LeanSearch.h"
#include "choices/SearchPlan.h"


namespace Choices {

namespace {


Plan prepare(const Index& ix, const Query& q, bool reach) {
    Plan p;
    p.ix = &ix;
    p.n = ix.n;
    auto slot = [&](int airport) {
        std::uint32_t s;
        if (!ix.slotOf(airport, s)) throw Refused(Problem::UnknownAirport, airport);
        return s;
    };
    if (q.from.empty()) throw Refused(Problem::NoAirports, 0);
    if (!reach && q.to.empty()) throw Refused(Problem::NoAirports, 1);
    p.target.assign(p.n, 0);
    p.avoided.assign(p.n, 0);
    for (int a : q.from) p.sources.push_back(slot(a));
    if (!reach)
        for (int a : q.to) {
            const std::uint32_t t = slot(a);
            if (!p.target[t]) {
                p.target[t] = 1;
                p.targets.push_back(t);
                p.targetArcs += ix.in[t].size();
            }
        }
    for (int a : q.avoidAirports) p.avoided[slot(a)] = 1;
    p.anyAvoided = !q.avoidAirports.empty();
    for (int f : q.avoidFlights) {
        auto it = ix.byFlight.find(f);
        if (it == ix.byFlight.end()) throw Refused(Problem::UnknownFlight, f);
        p.avoidedArcs.insert(p.avoidedArcs.end(), it->second.begin(), it->second.end());
    }
    if (q.hasVia) {
        if (reach) throw Refused(Problem::ViaInReach, q.via);
        p.viaSlot = slot(q.via);
        if (p.target[p.viaSlot] || std::find(p.sources.begin(), p.sources.end(), p.viaSlot) != p.sources.end())
            throw Refused(Problem::ViaIsEnd, q.via);
        p.via = true;
    }
    for (std::uint32_t s : p.sources)
        if (p.avoided[s]) throw Refused(Problem::AvoidedEnd, ix.ids[s]);
    if (!reach)
        for (int a : q.to)
            if (p.avoided[slot(a)]) throw Refused(Problem::AvoidedEnd, a);
    if (p.via && p.avoided[p.viaSlot]) throw Refused(Problem::AvoidedEnd, q.via);
    if (q.hasMaxLegs) {
        if (q.maxLegs < 0) throw Refused(Problem::NegativeLegLimit, q.maxLegs);
        p.hasMaxLegs = true;
        p.maxLegs = q.maxLegs;
    }
    if (q.hasPassengers) {
        if (q.passengers < 1) throw Refused(Problem::PassengerCount, q.passengers);
        p.passengers = q.passengers;
    }
    std::sort(p.sources.begin(), p.sources.end());
    p.sources.erase(std::unique(p.sources.begin(), p.sources.end()), p.sources.end());
    std::sort(p.avoidedArcs.begin(), p.avoidedArcs.end());
    p.states = p.via ? 2 * p.n : p.n;
    p.negative = ix.negative();
    return p;
}

struct Label {
    std::int64_t days;
    int legs;
    std::uint32_t pred;  // state (Dijkstra, queue) or label index (rounds)
    std::uint32_t arc;
    std::uint32_t stamp;
    bool done;
    bool queued;
};

struct RoundLabel {
    std::uint32_t state;
    std::uint32_t pred;  // index of the label it extends, kNone for a start
    std::uint32_t arc;
    std::int64_t days;
};

struct HeapItem {
    std::int64_t days;
    int legs;
    std::uint32_t state;
    bool operator>(const HeapItem& o) const {
        return std::tie(days, legs, state) > std::tie(o.days, o.legs, o.state);
    }
};

// The binary heap of (key, legs, state).
class HeapQueue {
public:
    static constexpr bool ordered() { return true; }
    template <class F>
    void remaining(F&&) const {}
    void reset(std::int64_t) { items.clear(); }
    void push(const HeapItem& item) {
        items.push_back(item);
        std::push_heap(items.begin(), items.end(), std::greater<HeapItem>());
    }
    bool pop(HeapItem& out) {
        if (items.empty()) return false;
        std::pop_heap(items.begin(), items.end(), std::greater<HeapItem>());
        out = items.back();
        items.pop_back();
        return true;
    }

private:
    std::vector<HeapItem> items;
};

// Dial's buckets, for day counts 0 .. kDialClasses - 1: a ring of buckets
// by total days. With zero-day flights a bucket is sorted by (legs, state)
// when its turn comes, and what they add to it meanwhile waits in a small
// heap: the binary heap's order. Without them, every label in a bucket is
// final when its turn comes (each step adds a day or more), so its order
// does not matter except for which arrival comes first (see `remaining`).
class DialQueue {
public:
    bool ordered() const { return sorting; }
    void setOrdered(bool on) { sorting = on; }
    // Calls f on the items of the current bucket not yet taken.
    template <class F>
    void remaining(F&& f) const {
        const std::vector<HeapItem>& b = ring[static_cast<std::size_t>(current % kDialClasses)];
        for (std::size_t i = pos; i < b.size(); ++i) f(b[i]);
    }
    void reset(std::int64_t start) {
        if (ring.size() < kDialClasses) ring.resize(kDialClasses);
        if (count > 0 || sorted)
            for (auto& b : ring) b.clear();
        extra.clear();
        count = 0;
        sorted = false;
        pos = 0;
        current = start;
    }
    void push(const HeapItem& item) {
        ++count;
        if (sorted && item.days == current) {
            extra.push_back(item);
            std::push_heap(extra.begin(), extra.end(), later);
        } else {
            ring[static_cast<std::size_t>(item.days % kDialClasses)].push_back(item);
        }
    }
    bool pop(HeapItem& out) {
        while (count > 0) {
            std::vector<HeapItem>& b = ring[static_cast<std::size_t>(current % kDialClasses)];
            if (!sorted) {
                if (sorting)
                    std::sort(b.begin(), b.end(), [](const HeapItem& x, const HeapItem& y) { return later(y, x); });
                pos = 0;
                sorted = true;
            }
            const bool inBucket = pos < b.size();
            if (inBucket || !extra.empty()) {
                if (!extra.empty() && (!inBucket || later(b[pos], extra.front()))) {
                    std::pop_heap(extra.begin(), extra.end(), later);
                    out = extra.back();
                    extra.pop_back();
                } else {
                    out = b[pos++];
                }
                --count;
                return true;
            }
            b.clear();
            sorted = false;
            ++current;
        }
        return false;
    }

private:
    static bool later(const HeapItem& x, const HeapItem& y) {
        return std::tie(x.legs, x.state) > std::tie(y.legs, y.state);
    }
    std::vector<std::vector<HeapItem>> ring;
    std::vector<HeapItem> extra;
    std::size_t count = 0;
    std::size_t pos = 0;
    bool sorted = false;
    bool sorting = true;
    std::int64_t current = 0;
};

// Per thread, reused by every search: labels are valid only where their
// stamp is the current epoch, so a search starts without clearing anything.
struct Workspace {
    std::vector<Label> labels;
    std::uint32_t epoch = 0;
    std::vector<std::uint32_t> blockedStamp;
    std::uint32_t blockEpoch = 0;
    bool anyBlocked = false;
    HeapQueue heapQueue;
    DialQueue dial;
    std::deque<std::uint32_t> fifo;
    std::vector<RoundLabel> rounds;

    void begin(std::uint32_t states) {
        if (labels.size() < states) labels.resize(states, Label{0, 0, kNone, kNone, 0, false, false});
        if (blockedStamp.size() < states) blockedStamp.resize(states, 0);
        if (++epoch == 0) {
            for (Label& l : labels) l.stamp = 0;
            epoch = 1;
        }
        fifo.clear();
        rounds.clear();
    }
    bool fresh(std::uint32_t s) const { return labels[s].stamp != epoch; }
    void block(const std::uint32_t* states, std::size_t count, std::uint32_t size) {
        if (blockedStamp.size() < size) blockedStamp.resize(size, 0);
        if (++blockEpoch == 0) {
            std::fill(blockedStamp.begin(), blockedStamp.end(), 0);
            blockEpoch = 1;
        }
        for (std::size_t i = 0; i < count; ++i) blockedStamp[states[i]] = blockEpoch;
        anyBlocked = count > 0;
    }
    bool blocked(std::uint32_t s) const { return blockedStamp[s] == blockEpoch; }
    Blocks blocks() const { return Blocks{blockedStamp.data(), blockEpoch, anyBlocked}; }
};

Workspace& workspace() {
    thread_local Workspace w;
    return w;
}

// Calls f(next state, arc, days, legs added) for every step the query allows
// out of `u`. `via` before it is passed moves on only through the transition.
template <class F>
void forEachStep(const Plan& p, const Workspace& w, const Spur& spur, std::uint32_t u, F&& f) {
    const std::uint32_t a = p.airport(u);
    const bool atSpur = u == spur.state;
    auto spurBlocks = [&](std::uint32_t arc) {
        return atSpur && std::find(spur.arcs.begin(), spur.arcs.end(), arc) != spur.arcs.end();
    };
    if (p.via && u < p.n && a == p.viaSlot) {
        const std::uint32_t v = u + p.n;
        if (!spurBlocks(kTransition) && !w.blocked(v) && (p.relevant.empty() || p.relevant[v]))
            f(v, kTransition, 0, 0);
        return;
    }
    const std::uint32_t offset = u - a;
    const Index& ix = *p.ix;
    if (p.avoidedArcs.empty() && !atSpur) {
        // Nothing rules out a single flight here: of parallel flights only
        // the one that would win is offered.
        const bool unblocked = !w.anyBlocked && p.relevant.empty();
        const Best* bs = ix.bestBegin(a);
        const int* free = ix.freeBegin(a);
        const BestFlight* flights = ix.flightsBegin(a);
        for (std::uint32_t i = 0, count = ix.bestCount(a); i < count; ++i) {
            const Best& b = bs[i];
            if (p.anyAvoided && p.avoided[b.to]) continue;
            const std::uint32_t v = offset + b.to;
            if (!unblocked && (w.blocked(v) || (!p.relevant.empty() && !p.relevant[v]))) continue;
            if (free[i] < p.passengers) {
                // The pair's winner lacks the seats: its other flights that
                // have them are offered instead.
                if (flights[i].count == 1) continue;
                for (std::uint32_t k = flights[i].first; k != kNone; k = ix.arcs[k].sibling)
                    if (p.seated(ix.arcs[k])) f(v, k, ix.arcs[k].days, 1);
                continue;
            }
            f(v, flights[i].arc, b.days, 1);
        }
        return;
    }
    for (std::uint32_t i : ix.out[a]) {
        const ArcData& arc = ix.arcs[i];
        if (p.avoided[arc.to]) continue;
        if (p.passengers > 0 && !p.seated(arc)) continue;
        const std::uint32_t v = offset + arc.to;
        if (w.blocked(v)) continue;
        if (!p.relevant.empty() && !p.relevant[v]) continue;
        if (!p.avoidedArcs.empty() && std::binary_search(p.avoidedArcs.begin(), p.avoidedArcs.end(), i)) continue;
        if (spurBlocks(i)) continue;
        f(v, i, arc.days, 1);
    }
}

Path pathFromLabels(const Plan& p, const Workspace& w, std::uint32_t end) {
    Path path;
    path.days = w.labels[end].days;
    for (std::uint32_t s = end;;) {
        path.states.push_back(s);
        const Label& l = w.labels[s];
        if (l.pred == kNone) break;
        path.arcs.push_back(l.arc);
        if (l.arc != kTransition) ++path.legs;
        s = l.pred;
    }
    std::reverse(path.states.begin(), path.states.end());
    std::reverse(path.arcs.begin(), path.arcs.end());
    (void)p;
    return path;
}

Path pathFromRounds(const Workspace& w, std::uint32_t label) {
    Path path;
    path.days = w.rounds[label].days;
    for (std::uint32_t i = label;;) {
        const RoundLabel& l = w.rounds[i];
        path.states.push_back(l.state);
        if (l.pred == kNone) break;
        path.arcs.push_back(l.arc);
        if (l.arc != kTransition) ++path.legs;
        i = l.pred;
    }
    std::reverse(path.states.begin(), path.states.end());
    std::reverse(path.arcs.begin(), path.arcs.end());
    return path;
}

bool endsHere(const Plan& p, const Spur& spur, std::uint32_t s) {
    return p.isTarget(s) && !(s == spur.state && spur.noEnd);
}

// Dijkstra's search on (days, legs) in lexicographic order, for day counts
// >= 0: the first route in the route order. Equal (days, legs) are settled
// in slot order, so the first arrival settled is the one of rule 3, and
// every step into a state comes from a state settled before it, so rule 4
// is decided by comparing the steps as they are relaxed. With `reachLimit`
// >= 0 it settles everything within that many days instead of stopping.
template <class Queue>
bool dijkstraWith(Queue& queue, const Plan& p, Workspace& w, const std::vector<Start>& starts, const Spur& spur,
                  Path* out, std::int64_t reachLimit, std::vector<std::uint32_t>* settled,
                  const std::int64_t* potential) {
    auto key = [&](std::uint32_t s, std::int64_t days) { return potential == nullptr ? days : days + potential[s]; };
    std::int64_t first = kInfinite;
    for (const Start& s : starts) first = std::min(first, key(s.state, s.days));
    queue.reset(first);
    for (const Start& s : starts) {
        if (potential != nullptr && potential[s.state] == kInfinite) continue;
        w.labels[s.state] = Label{s.days, s.legs, kNone, kNone, w.epoch, false, false};
        queue.push(HeapItem{key(s.state, s.days), s.legs, s.state});
    }
    // Without flights of 0 days every step adds a day or more: a label at
    // `reachLimit` days leads nowhere within it, and a label at the days of
    // the best arrival found so far that is no arrival itself leads to none
    // within them (the answer has those days or fewer). Neither is relaxed
    // (or pushed). `via`'s transition adds nothing but leads to no arrival.
    const bool dayPerStep = p.ix->zeros == 0;
    std::int64_t arrivalDays = kInfinite;
    for (const Start& s : starts)
        if (endsHere(p, spur, s.state)) arrivalDays = std::min(arrivalDays, s.days);
    // Once `via` before it has been taken, the states before it lead
    // nowhere any more: every route passes `via`, whose label is final.
    bool viaPassed = false;
    // The step from u by `arc` to v, u's label final.
    auto relax = [&](std::uint32_t u, std::int64_t du, int legsU, std::uint32_t v, std::uint32_t arc, int days,
                     int legs) TAVRIK_INLINE {
        if (viaPassed && v < p.n) return;
        const std::int64_t cand = du + days;
        const int candLegs = legsU + legs;
        Label& lv = w.labels[v];
        if (w.fresh(v) || cand < lv.days || (cand == lv.days && candLegs < lv.legs)) {
            if (!w.fresh(v) && lv.done) return;
            if (potential != nullptr && potential[v] == kInfinite) return;  // no arrival from there
            if (dayPerStep && settled == nullptr && cand >= arrivalDays) {
                if (!endsHere(p, spur, v)) return;
            } else if (settled == nullptr && cand < arrivalDays && endsHere(p, spur, v)) {
                arrivalDays = cand;
            }
            lv = Label{cand, candLegs, u, arc, w.epoch, false, false};
            queue.push(HeapItem{key(v, cand), candLegs, v});
        } else if (cand == lv.days && candLegs == lv.legs && !lv.done &&
                   stepBefore(p, du, u, arc, w.labels[lv.pred].days, lv.pred, lv.arc)) {
            lv.pred = u;
            lv.arc = arc;
        }
    };
    auto relaxAll = [&](std::uint32_t u) {
        const std::int64_t du = w.labels[u].days;
        const int legsU = w.labels[u].legs;
        forEachStep(p, w, spur, u, [&](std::uint32_t v, std::uint32_t arc, int days, int legs) TAVRIK_INLINE {
            relax(u, du, legsU, v, arc, days, legs);
        });
    };
    // The early end: once every label under arrivalDays - 1 days has been
    // relaxed, the labels of arrivalDays - 1 days are final (no step of 0
    // days can lower one), and only their flights straight into an arrival
    // can still give an arrival arrivalDays days or fewer, with fewer legs
    // or by the route order's last rule. Those flights are taken from the
    // arrivals' side (each arrival's arriving flights), which costs far less
    // than the flights of every airport reached in arrivalDays - 1 days.
    const bool earlyEnd = dayPerStep && potential == nullptr && settled == nullptr && p.targetArcs <= kEarlyEndArcs;
    auto endAtArrivals = [&]() {
        const std::int64_t last = arrivalDays - 1;
        if (p.via && !w.fresh(p.viaSlot) && !w.labels[p.viaSlot].done && w.labels[p.viaSlot].days <= last)
            relaxAll(p.viaSlot);  // `via` after it, reached at the same days
        const std::uint32_t offset = p.via ? p.n : 0;
        const Index& ix = *p.ix;
        std::uint32_t end = kNone;
        for (std::uint32_t t : p.targets) {
            const std::uint32_t ts = offset + t;
            if (w.blocked(ts)) continue;
            for (const Into& into : ix.in[t]) {
                const std::uint32_t us = offset + into.from;
                if (w.fresh(us)) continue;
                const Label& lu = w.labels[us];
                if (lu.days != last || lu.days + into.days > arrivalDays) continue;
                const std::uint32_t id = into.arc;
                if (!p.takes(id)) continue;
                if (spur.rulesOut(us, id)) continue;
                relax(us, lu.days, lu.legs, ts, id, into.days, 1);
            }
        }
        for (std::uint32_t t : p.targets) {
            const std::uint32_t ts = offset + t;
            if (w.fresh(ts) || !endsHere(p, spur, ts)) continue;
            const Label& l = w.labels[ts];
            if (end == kNone || std::tie(l.days, l.legs, ts) < std::tie(w.labels[end].days, w.labels[end].legs, end))
                end = ts;
        }
        *out = pathFromLabels(p, w, end);
    };
    HeapItem top;
    while (queue.pop(top)) {
        Label& lu = w.labels[top.state];
        if (lu.done || key(top.state, lu.days) != top.days || lu.legs != top.legs) continue;
        if (settled != nullptr) {
            if (lu.days > reachLimit) break;
            settled->push_back(top.state);
            if (dayPerStep && lu.days >= reachLimit) {
                lu.done = true;
                continue;
            }
        } else if (earlyEnd && arrivalDays != kInfinite && lu.days + 1 >= arrivalDays) {
            endAtArrivals();
            return true;
        } else if (endsHere(p, spur, top.state)) {
            // Unordered buckets: the first arrival in the route order among
            // the final labels of the same days.
            std::uint32_t end = top.state;
            if (!queue.ordered())
                queue.remaining([&](const HeapItem& other) {
                    const Label& l = w.labels[other.state];
                    if (l.done || key(other.state, l.days) != other.days || l.legs != other.legs ||
                        !endsHere(p, spur, other.state))
                        return;
                    if (std::tie(l.legs, other.state) < std::tie(w.labels[end].legs, end)) end = other.state;
                });
            *out = pathFromLabels(p, w, end);
            return true;
        }
        lu.done = true;
        if (viaPassed && top.state < p.n) continue;
        relaxAll(top.state);
        if (p.via && top.state == p.viaSlot) viaPassed = true;
    }
    return false;
}

// `potential`, when given, is a lower bound of the days from each state to
// an arrival that never falls by more than a step's days along a step (so
// the search settles in order of days plus bound, as A*); infinite where no
// arrival can be reached.
bool dijkstra(const Plan& p, Workspace& w, const std::vector<Start>& starts, const Spur& spur, Path* out,
              std::int64_t reachLimit = -1, std::vector<std::uint32_t>* settled = nullptr,
              const std::int64_t* potential = nullptr) {
    w.begin(p.states);
    if (potential == nullptr && p.ix->longOnes == 0) {
        w.dial.setOrdered(p.ix->zeros > 0);
        return dijkstraWith(w.dial, p, w, starts, spur, out, reachLimit, settled, potential);
    }
    return dijkstraWith(w.heapQueue, p, w, starts, spur, out, reachLimit, settled, potential);
}

[[noreturn]] void refuseLoop(const Plan& p, const Workspace& w, std::uint32_t v) {
    // Walking back as many steps as there are states ends on the loop.
    for (std::uint32_t i = 0; i < p.states && w.labels[v].pred != kNone; ++i) v = w.labels[v].pred;
    throw Refused(Problem::NegativeLoop, p.ix->ids[p.airport(v)]);
}

// The same order by a label-correcting search (a queue of changed states),
// for networks with negative day counts. A label with more legs than there
// are states can only come from a loop of negative total: refused. Without
// such loops the lexicographically least walk is loopless (every loop adds
// days >= 0, or legs), so the answer is exact. With `all` it labels every
// state and returns nothing.
bool labelCorrecting(const Plan& p, Workspace& w, const std::vector<Start>& starts, const Spur& spur, Path* out,
                     bool all = false) {
    w.begin(p.states);
    int baseLegs = 0;
    for (const Start& s : starts) {
        w.labels[s.state] = Label{s.days, s.legs, kNone, kNone, w.epoch, false, true};
        w.fifo.push_back(s.state);
        baseLegs = std::max(baseLegs, s.legs);
    }
    const std::int64_t legCap = static_cast<std::int64_t>(baseLegs) + p.states;
    while (!w.fifo.empty()) {
        const std::uint32_t u = w.fifo.front();
        w.fifo.pop_front();
        Label& lu = w.labels[u];
        lu.queued = false;
        const std::int64_t du = lu.days;
        const int legsU = lu.legs;
        forEachStep(p, w, spur, u, [&](std::uint32_t v, std::uint32_t arc, int days, int legs) {
            const std::int64_t cand = du + days;
            const int candLegs = legsU + legs;
            Label& lv = w.labels[v];
            if (w.fresh(v) || cand < lv.days || (cand == lv.days && candLegs < lv.legs)) {
                const bool queued = !w.fresh(v) && lv.queued;
                lv = Label{cand, candLegs, u, arc, w.epoch, false, true};
                if (candLegs > legCap) refuseLoop(p, w, v);
                if (!queued) w.fifo.push_back(v);
            } else if (cand == lv.days && candLegs == lv.legs &&
                       stepBefore(p, du, u, arc, w.labels[lv.pred].days, lv.pred, lv.arc)) {
                lv.pred = u;
                lv.arc = arc;
            }
        });
    }
    if (all) return false;
    std::uint32_t best = kNone;
    for (std::uint32_t s = 0; s < p.states; ++s) {
        if (w.fresh(s) || !endsHere(p, spur, s)) continue;
        const Label& l = w.labels[s];
        if (best == kNone || std::tie(l.days, l.legs) < std::tie(w.labels[best].days, w.labels[best].legs)) best = s;
    }
    if (best == kNone) return false;
    *out = pathFromLabels(p, w, best);
    return true;
}

// Rounds by legs (as in Bellman-Ford or RAPTOR): round r keeps, for every
// state whose fewest days with at most r more legs fell in round r, one label
// (the first in the route order among its steps). The arrivals' labels, as
// their days fall round by round, are the front's points. `starts` all have
// the same legs. With day counts >= 0, labels over `dayLimit` and labels that
// cannot beat the front found so far are dropped. Returns the points' label
// indices, ordered by legs.
std::vector<std::uint32_t> rounds(const Plan& p, Workspace& w, const std::vector<Start>& starts, const Spur& spur,
                                  int legLimit, bool hasLegLimit, std::int64_t dayLimit) {
    w.begin(p.states);
    auto& rl = w.rounds;
    std::vector<std::uint32_t> points;
    const int baseLegs = starts.empty() ? 0 : starts.front().legs;
    // Label fields reused: days = best days, legs = its round, pred = label index.
    auto offer = [&](std::uint32_t v, std::uint32_t pred, std::uint32_t arc, std::int64_t cand, int round) {
        Label& b = w.labels[v];
        if (w.fresh(v) || cand < b.days) {
            if (!w.fresh(v) && b.legs == round) {
                RoundLabel& l = rl[b.pred];
                l.pred = pred;
                l.arc = arc;
                l.days = cand;
            } else {
                b.pred = static_cast<std::uint32_t>(rl.size());
                rl.push_back(RoundLabel{v, pred, arc, cand});
            }
            b.days = cand;
            b.legs = round;
            b.stamp = w.epoch;
        } else if (cand == b.days && b.legs == round && pred != kNone) {
            const RoundLabel& cur = rl[b.pred];
            if (stepBefore(p, rl[pred].days, rl[pred].state, arc, rl[cur.pred].days, rl[cur.pred].state, cur.arc)) {
                RoundLabel& l = rl[b.pred];
                l.pred = pred;
                l.arc = arc;
            }
        }
    };
    // `via` before it moves on to `via` after it within the same round.
    auto transitions = [&](std::size_t begin, int round) {
        if (!p.via) return;
        const std::size_t end = rl.size();
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t u = rl[i].state;
            if (u != p.viaSlot) continue;
            if (u == spur.state && std::find(spur.arcs.begin(), spur.arcs.end(), kTransition) != spur.arcs.end())
                continue;
            const std::uint32_t v = u + p.n;
            if (w.blocked(v) || (!p.relevant.empty() && !p.relevant[v])) continue;
            offer(v, static_cast<std::uint32_t>(i), kTransition, rl[i].days, round);
        }
    };
    std::int64_t frontDays = kInfinite;
    int frontRound = -1;
    struct LastStep {
        std::uint32_t label;  // the round before's label it extends
        std::uint32_t to;
        std::uint32_t arc;
        int days;
    };
    std::vector<LastStep> lastSteps;
    auto collect = [&](std::size_t begin, int round) {
        std::uint32_t best = kNone;
        for (std::size_t i = begin; i < rl.size(); ++i) {
            const RoundLabel& l = rl[i];
            if (!endsHere(p, spur, l.state)) continue;
            if (best == kNone || std::tie(l.days, l.state) < std::tie(rl[best].days, rl[best].state))
                best = static_cast<std::uint32_t>(i);
        }
        if (best != kNone && rl[best].days < frontDays) {
            frontDays = rl[best].days;
            frontRound = round;
            points.push_back(best);
        }
    };
    for (const Start& s : starts) offer(s.state, kNone, kNone, s.days, 0);
    transitions(0, 0);
    collect(0, 0);
    std::size_t prevBegin = 0;
    for (int r = 1;; ++r) {
        if (hasLegLimit && static_cast<std::int64_t>(baseLegs) + r > legLimit) break;
        if (r > static_cast<int>(p.states) + 1) throw Refused(Problem::NegativeLoop, -1);  // not reached: checked before
        const std::size_t prevEnd = rl.size();
        auto step = [&](std::size_t i, std::uint32_t v, std::uint32_t arc, int days) {
            const std::int64_t cand = rl[i].days + days;
            if (!p.negative) {
                if (cand > dayLimit) return;
                if (frontRound >= 0) {
                    if (endsHere(p, spur, v)) {
                        if (cand > frontDays || (cand == frontDays && frontRound < r)) return;
                    } else if (cand >= frontDays) {
                        return;
                    }
                }
            }
            offer(v, static_cast<std::uint32_t>(i), arc, cand, r);
        };
        if (hasLegLimit && static_cast<std::int64_t>(baseLegs) + r == legLimit && !p.targets.empty() &&
            p.targetArcs <= kEarlyEndArcs) {
            // The last round: only its labels at an arrival count, so only
            // the flights into an arrival are taken, from the arrivals' side,
            // from the labels of the round before (all looked up before any
            // is offered, as an arrival may also be one of those).
            lastSteps.clear();
            const std::uint32_t offset = p.via ? p.n : 0;
            const Index& ix = *p.ix;
            for (std::uint32_t t : p.targets) {
                const std::uint32_t ts = offset + t;
                if (w.blocked(ts)) continue;
                for (const Into& into : ix.in[t]) {
                    const std::uint32_t us = offset + into.from;
                    if (w.fresh(us) || w.labels[us].legs != r - 1) continue;
                    const std::uint32_t id = into.arc;
                    if (!p.takes(id)) continue;
                    if (spur.rulesOut(us, id)) continue;
                    lastSteps.push_back(LastStep{w.labels[us].pred, ts, id, into.days});
                }
            }
            for (const LastStep& s : lastSteps) step(s.label, s.to, s.arc, s.days);
        } else {
            for (std::size_t i = prevBegin; i < prevEnd; ++i) {
                const std::uint32_t u = rl[i].state;
                if (p.via && u == p.viaSlot) continue;  // moves on only through the transition
                forEachStep(p, w, spur, u,
                            [&](std::uint32_t v, std::uint32_t arc, int days, int) { step(i, v, arc, days); });
            }
        }
        transitions(prevEnd, r);
        if (rl.size() == prevEnd) break;
        collect(prevEnd, r);
        prevBegin = prevEnd;
    }
    return points;
}

// Marks the states from which an arrival can be reached (for negative
// networks, where only loops on the way matter).
void markRelevant(Plan& p, bool reach) {
    p.relevant.assign(p.states, reach ? 1 : 0);
    if (reach) {
        p.relevantCount = p.states;
        return;
    }
    const Index& ix = *p.ix;
    std::vector<std::uint32_t> stack;
    auto mark = [&](std::uint32_t s) {
        if (!p.relevant[s]) {
            p.relevant[s] = 1;
            stack.push_back(s);
        }
    };
    for (std::uint32_t s = 0; s < p.states; ++s)
        if (p.isTarget(s) && !p.avoided[p.airport(s)]) mark(s);
    while (!stack.empty()) {
        const std::uint32_t v = stack.back();
        stack.pop_back();
        const std::uint32_t a = p.airport(v);
        const std::uint32_t offset = v - a;
        if (p.via && v >= p.n && a == p.viaSlot) mark(a);  // from `via` before it
        for (const Into& into : ix.in[a]) {
            const std::uint32_t arcIndex = into.arc;
            const std::uint32_t from = into.from;
            if (p.avoided[from]) continue;
            if (p.passengers > 0 && !p.seated(ix.arcs[arcIndex])) continue;
            if (!p.avoidedArcs.empty() && std::binary_search(p.avoidedArcs.begin(), p.avoidedArcs.end(), arcIndex))
                continue;
            if (p.via && offset == 0 && from == p.viaSlot) continue;  // `via` before it only moves on
            mark(offset + from);
        }
    }
    p.relevantCount = 0;
    for (char c : p.relevant) p.relevantCount += c != 0;
}

std::vector<Start> sourceStarts(const Plan& p) {
    std::vector<Start> starts;
    for (std::uint32_t s : p.sources) starts.push_back(Start{s, 0, 0});
    return starts;
}

// The first route in the route order from `starts` under the plan and the
// spur's blocks.
// With a potential (a spur of the k best), routes of more than `limit` days
// may be left unfound (none of them would be chosen).
bool best(const Plan& p, Workspace& w, const std::vector<Start>& starts, const Spur& spur, Path* out,
          const std::int64_t* potential = nullptr, std::int64_t limit = kInfinite) {
    if (p.hasMaxLegs) {
        const std::vector<std::uint32_t> points = rounds(p, w, starts, spur, p.maxLegs, true, kInfinite);
        if (points.empty()) return false;
        *out = pathFromRounds(w, points.back());
        return true;
    }
    if (p.negative) return labelCorrecting(p, w, starts, spur, out);
    if (leanApplies(p)) {
        if (spur.state == kNone && potential == nullptr && !w.anyBlocked) return leanFit(p, starts, out);
        if (potential != nullptr) return leanSpur(p, starts, LeanSpur{&spur, w.blocks(), potential}, limit, out);
    }
    return dijkstra(p, w, starts, spur, out, -1, nullptr, potential);
}

// For day counts >= 0: the fewest days from every state to an arrival, by
// one search backwards from the arrivals over the flights the query allows
// (with `via`: to the arrivals after it, and to `via` then on before it),
// stopped past `bound` days: states beyond get bound + 1. A lower bound for
// every narrower search, and consistent (it never falls by more than a
// step's days along a step), as the spurs' A* needs.
std::vector<std::int64_t> daysToArrival(const Plan& p, std::int64_t bound) {
    const Index& ix = *p.ix;
    std::vector<std::int64_t> h(p.states, kInfinite);
    // Days within the bound only matter (the rest end as bound + 1), so
    // with a small bound a bucket per day count replaces the heap.
    const bool buckets = bound >= 0 && bound < static_cast<std::int64_t>(kDialClasses);
    auto backwards = [&](std::uint32_t offset, const std::vector<std::pair<std::int64_t, std::uint32_t>>& seeds) {
        std::vector<std::pair<std::int64_t, std::uint32_t>> heap;
        // The buckets keep their room from one query to the next.
        thread_local std::vector<std::vector<std::uint32_t>> ring;
        for (auto& b : ring) b.clear();
        const auto greater = std::greater<std::pair<std::int64_t, std::uint32_t>>();
        auto push = [&](std::int64_t d, std::uint32_t v) {
            if (buckets) {
                if (d > bound) return;
                if (ring.size() <= static_cast<std::size_t>(d)) ring.resize(static_cast<std::size_t>(d) + 1);
                ring[static_cast<std::size_t>(d)].push_back(v);
            } else {
                heap.emplace_back(d, v);
                std::push_heap(heap.begin(), heap.end(), greater);
            }
        };
        auto relaxInto = [&](std::int64_t d, std::uint32_t v) {
            if (p.passengers == 0) {
                // Only the fewest days of each pair count here.
                for (const Index::From& pair : ix.inPairs[v]) {
                    const std::uint32_t u = pair.from;
                    if (p.avoided[u]) continue;
                    if (p.via && offset == 0 && u == p.viaSlot) continue;  // `via` before it only moves on
                    const std::int64_t cand = d + pair.days;
                    if (cand < h[offset + u]) {
                        h[offset + u] = cand;
                        push(cand, u);
                    }
                }
                return;
            }
            for (const Into& into : ix.in[v]) {
                const std::uint32_t u = into.from;
                if (p.avoided[u]) continue;
                if (p.passengers > 0 && !p.seated(ix.arcs[into.arc])) continue;
                if (p.via && offset == 0 && u == p.viaSlot) continue;  // `via` before it only moves on
                const std::int64_t cand = d + into.days;
                if (cand < h[offset + u]) {
                    h[offset + u] = cand;
                    push(cand, u);
                }
            }
        };
        for (const auto& seed : seeds) {
            if (seed.first >= h[offset + seed.second]) continue;
            h[offset + seed.second] = seed.first;
            push(seed.first, seed.second);
        }
        if (buckets) {
            // Every state ends at bound + 1 or below (see `beyond`); without
            // 0-day flights a step from a state of `bound` days gives more
            // than that, so those states are not relaxed.
            const std::size_t relaxed =
                static_cast<std::size_t>(bound) + (ix.zeros == 0 ? 0 : 1);
            for (std::size_t d = 0; d < std::min(ring.size(), relaxed); ++d)
                for (std::size_t k = 0; k < ring[d].size(); ++k) {
                    const std::uint32_t v = ring[d][k];
                    if (h[offset + v] == static_cast<std::int64_t>(d)) relaxInto(static_cast<std::int64_t>(d), v);
                }
            return;
        }
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), greater);
            const auto [d, v] = heap.back();
            heap.pop_back();
            if (d != h[offset + v]) continue;
            if (d > bound) break;
            relaxInto(d, v);
        }
    };
    std::vector<std::pair<std::int64_t, std::uint32_t>> seeds;
    for (std::uint32_t a = 0; a < p.n; ++a)
        if (p.target[a] && !p.avoided[a]) seeds.emplace_back(0, a);
    auto beyond = [&](std::uint32_t offset) {
        for (std::uint32_t a = 0; a < p.n; ++a)
            if (h[offset + a] > bound) h[offset + a] = bound + 1;
    };
    const std::uint32_t last = p.via ? p.n : 0;
    backwards(last, seeds);
    beyond(last);
    if (p.via) {
        backwards(0, {{h[p.n + p.viaSlot], p.viaSlot}});
        beyond(0);
    }
    return h;
}

// For negative networks: refuses the query when a loop of negative total
// lies on the way from a departure to an arrival.
void checkLoops(Plan& p, Workspace& w, bool reach) {
    if (!p.negative) return;
    markRelevant(p, reach);
    w.block(nullptr, 0, p.states);
    labelCorrecting(p, w, sourceStarts(p), Spur{}, nullptr, true);
}

Route toRoute(const Plan& p, const Path& path) {
    const Index& ix = *p.ix;
    Route r;
    r.from = ix.ids[p.airport(path.states.front())];
    r.to = ix.ids[p.airport(path.states.back())];
    r.days = path.days;
    for (std::uint32_t arc : path.arcs) {
        if (arc == kTransition) continue;
        const ArcData& a = ix.arcs[arc];
        r.legs.push_back(Leg{a.flight, ix.ids[a.from], ix.ids[a.to], a.days});
    }
    return r;
}

// The route order on paths (see Choices.h).
bool pathBefore(const Plan& p, const Path& a, const Path& b) {
    if (a.days != b.days) return a.days < b.days;
    if (a.legs != b.legs) return a.legs < b.legs;
    if (p.airport(a.states.back()) != p.airport(b.states.back()))
        return p.airport(a.states.back()) < p.airport(b.states.back());
    auto prefix = [&](const Path& x) {
        std::vector<std::int64_t> days(x.states.size(), 0);
        for (std::size_t i = 0; i < x.arcs.size(); ++i)
            days[i + 1] = days[i] + (x.arcs[i] == kTransition ? 0 : p.ix->arcs[x.arcs[i]].days);
        return days;
    };
    const std::vector<std::int64_t> da = prefix(a), db = prefix(b);
    std::size_t i = a.arcs.size(), j = b.arcs.size();
    while (i > 0 && j > 0) {
        --i;
        --j;
        const auto ka = std::make_tuple(da[i], p.airport(a.states[i]), p.flightOf(a.arcs[i]));
        const auto kb = std::make_tuple(db[j], p.airport(b.states[j]), p.flightOf(b.arcs[j]));
        if (ka != kb) return ka < kb;
    }
    if (i != j) return i < j;
    return p.airport(a.states.front()) < p.airport(b.states.front());
}

bool samePath(const Path& a, const Path& b) { return a.states == b.states && a.arcs == b.arcs; }

}  // namespace

TChoices::TChoices(IDataAccess* data, IFreeSeats* seats) : data(data), seats(seats) {
    data->addListener(this);
    if (seats != nullptr) {
        try {
            seats->addWatcher(this);
        } catch (...) {
            data->removeListener(this);
            throw;
        }
    }
}

TChoices::~TChoices() {
    if (seats != nullptr) seats->removeWatcher(this);
    data->removeListener(this);
}

// The copy is built by the first query and again by the first query after
// something left it stale; a change the copy was not told of (its revision
// differs from the store's) is caught the same way.
std::shared_ptr<const Index> TChoices::index() {
    std::lock_guard<std::mutex> lock(guard);
    if (!current || stale || current->revision != data->getRevision()) {
        current = buildIndex(*data, seats);
        stale = false;
        ++buildCount;
    }
    return current;
}

// ---- keeping the copy current (edits run alone: no query reads it) ----

Index* TChoices::editable() noexcept {
    if (!current || stale) return nullptr;
    // Edits never overlap queries (the caller's lock), so the copy is
    // changed in place.
    ++current->revision;
    return current.get();
}

// An edit that runs out of memory halfway leaves the copy to be rebuilt
// rather than failing the store's edit: the copy is a cache.
void TChoices::airportAdded(int airport) noexcept {
    Index* ix = editable();
    if (ix == nullptr) return;
    try {
        if (!ix->addAirport(airport)) stale = true;  // below a number seen: slots out of order
    } catch (...) {
        stale = true;
    }
}

void TChoices::airportRemoving(int airport, const std::map<int, TFlightLink>&) noexcept {
    Index* ix = editable();
    if (ix == nullptr) return;
    std::uint32_t slot;
    if (!ix->slotOf(airport, slot)) return;
    ix->removeAirport(slot);
    // Dead slots cost every search's per-state arrays: past the live ones,
    // the next query builds a compact copy.
    if (ix->dead > ix->slots.size() + 64) stale = true;
}

void TChoices::flightAdded(int flight, int days, int from, int to) noexcept {
    Index* ix = editable();
    if (ix == nullptr) return;
    std::uint32_t a, b;
    if (!ix->slotOf(from, a) || !ix->slotOf(to, b)) return;
    try {
        ix->addArc(flight, days, a, b, kNoLimit);
    } catch (...) {
        stale = true;
    }
}

void TChoices::flightRemoved(int flight, int, int from, int) noexcept {
    Index* ix = editable();
    if (ix == nullptr) return;
    std::uint32_t a;
    if (ix->slotOf(from, a)) ix->removeArc(flight, a);
}

void TChoices::freeSeatsChanged(int flight, int, int from, int, int free) noexcept {
    if (!current || stale) return;
    std::uint32_t a;
    if (!current->slotOf(from, a)) return;
    const std::uint32_t id = current->arcOf(flight, a);
    if (id != kNone) current->setFree(id, free);
}

// A network built whole was not told item by item: the next query builds the
// copy from the store.
void TChoices::networkBuilt() noexcept { stale = true; }

void TChoices::freeSeatsReplaced() noexcept { stale = true; }

FitAnswer TChoices::fit(const Query& query, int maxDays) {
    const std::shared_ptr<const Index> ix = index();
    Plan p = prepare(*ix, query, false);
    Workspace& w = workspace();
    checkLoops(p, w, false);
    w.block(nullptr, 0, p.states);
    Path path;
    FitAnswer answer;
    if (!best(p, w, sourceStarts(p), Spur{}, &path)) return answer;
    if (path.days > maxDays) {
        answer.kind = FitAnswer::Kind::OverLimit;
        answer.fewestDays = path.days;
        return answer;
    }
    answer.kind = FitAnswer::Kind::Route;
    answer.route = toRoute(p, path);
    return answer;
}

std::vector<Route> TChoices::front(const Query& query, int maxDays) {
    const std::shared_ptr<const Index> ix = index();
    Plan p = prepare(*ix, query, false);
    Workspace& w = workspace();
    checkLoops(p, w, false);
    w.block(nullptr, 0, p.states);
    std::vector<Route> out;
    if (!p.hasMaxLegs && leanApplies(p)) {
        // The fewest-days point is the fit's route, and every other point
        // has fewer legs: the rounds stop one leg short of it.
        Path fewest;
        if (!leanFit(p, sourceStarts(p), &fewest) || fewest.days > maxDays) return out;
        if (fewest.legs > 1)
            for (std::uint32_t label : rounds(p, w, sourceStarts(p), Spur{}, fewest.legs - 1, true, maxDays)) {
                const Path path = pathFromRounds(w, label);
                if (path.days <= maxDays) out.push_back(toRoute(p, path));
            }
        out.push_back(toRoute(p, fewest));
        return out;
    }
    const std::vector<std::uint32_t> points = rounds(p, w, sourceStarts(p), Spur{}, p.maxLegs, p.hasMaxLegs, maxDays);
    // Ordered by legs, so by falling days: the points within the limit are
    // the last ones.
    for (std::uint32_t label : points) {
        const Path path = pathFromRounds(w, label);
        if (path.days <= maxDays) out.push_back(toRoute(p, path));
    }
    return out;
}

// Yen's algorithm with Lawler's saving: each route found is a root (a prefix
// of an earlier route) and a spur, the first route in the route order from
// the root's last state that leaves it by a step no earlier route with the
// same root takes and that avoids the root's other states. The routes
// found are loopless, as the spurs are; the next route is the first of the
// candidates in the route order. Position -1 is "before the departure": its
// spur starts from the departures no earlier route started from.
std::vector<Route> TChoices::alternatives(const Query& query, int maxDays, int k) {
    if (k <= 0 || k > kMaxAlternatives) throw Refused(Problem::CountOutOfRange, k, kMaxAlternatives);
    const std::shared_ptr<const Index> ix = index();
    Plan p = prepare(*ix, query, false);
    Workspace& w = workspace();
    checkLoops(p, w, false);
    struct Found {
        Path path;
        int deviation;
    };
    std::vector<Found> chosen, candidates;
    {
        w.block(nullptr, 0, p.states);
        Path first;
        if (!best(p, w, sourceStarts(p), Spur{}, &first) || first.days > maxDays) return {};
        chosen.push_back(Found{first, -1});
    }
    // The spurs search towards the arrivals (A*) where day counts allow;
    // the bound keeps the backward search to the first route's days.
    const std::vector<std::int64_t> toArrival =
        p.negative || p.hasMaxLegs ? std::vector<std::int64_t>{} : daysToArrival(p, chosen.front().path.days);
    std::size_t arrivals = 0;
    for (char t : p.target) arrivals += t != 0;
    auto known = [&](const Path& path) {
        for (const Found& f : chosen)
            if (samePath(f.path, path)) return true;
        for (const Found& f : candidates)
            if (samePath(f.path, path)) return true;
        return false;
    };
    // A spur's route is worth finding only within maxDays and, once as
    // many candidates as routes still to choose are at hand, within the
    // days of the last of those: a route of more days would be chosen after
    // all of them.
    std::vector<std::int64_t> candidateDays;
    auto spurLimit = [&]() -> std::int64_t {
        const std::size_t need = static_cast<std::size_t>(k) - chosen.size();
        if (candidates.size() < need) return maxDays;
        candidateDays.clear();
        for (const Found& f : candidates) candidateDays.push_back(f.path.days);
        std::nth_element(candidateDays.begin(), candidateDays.begin() + static_cast<std::ptrdiff_t>(need - 1),
                         candidateDays.end());
        return std::min<std::int64_t>(maxDays, candidateDays[need - 1]);
    };
    while (static_cast<int>(chosen.size()) < k) {
        const Found last = chosen.back();
        const Path& P = last.path;
        for (int i = last.deviation; i < static_cast<int>(P.states.size()); ++i) {
            std::vector<Start> starts;
            Spur spur;
            std::int64_t rootDays = 0;
            int rootLegs = 0;
            if (i < 0) {
                for (std::uint32_t s : p.sources) {
                    bool used = false;
                    for (const Found& f : chosen) used = used || f.path.states.front() == s;
                    if (!used) starts.push_back(Start{s, 0, 0});
                }
                if (starts.empty()) continue;
                w.block(nullptr, 0, p.states);
            } else {
                const std::size_t at = static_cast<std::size_t>(i);
                for (std::size_t j = 0; j < at; ++j) {
                    if (P.arcs[j] == kTransition) continue;
                    rootDays += ix->arcs[P.arcs[j]].days;
                    ++rootLegs;
                }
                spur.state = P.states[at];
                for (const Found& f : chosen) {
                    const Path& Q = f.path;
                    if (Q.states.size() <= at || !std::equal(P.states.begin(), P.states.begin() + i + 1, Q.states.begin()) ||
                        !std::equal(P.arcs.begin(), P.arcs.begin() + i, Q.arcs.begin()))
                        continue;
                    if (Q.arcs.size() > at)
                        spur.arcs.push_back(Q.arcs[at]);
                    else
                        spur.noEnd = true;
                }
                w.block(P.states.data(), at, p.states);
                // A spur that may not end where it starts, with no other
                // arrival to go to, has nothing to find (it would only
                // search the whole network for it).
                if (spur.noEnd && arrivals == 1 && p.isTarget(spur.state)) continue;
                starts.push_back(Start{spur.state, rootDays, rootLegs});
            }
            const std::int64_t limit = spurLimit();
            if (!toArrival.empty()) {
                // No route from the spur's starts within the limit: nothing to search.
                std::int64_t least = kInfinite;
                for (const Start& s : starts)
                    if (toArrival[s.state] != kInfinite) least = std::min(least, s.days + toArrival[s.state]);
                if (least > limit) continue;
            }
            Path tail;
            if (!best(p, w, starts, spur, &tail, toArrival.empty() ? nullptr : toArrival.data(), limit)) continue;
            Path whole;
            if (i > 0) {
                whole.states.assign(P.states.begin(), P.states.begin() + i);
                whole.arcs.assign(P.arcs.begin(), P.arcs.begin() + i);
            }
            whole.states.insert(whole.states.end(), tail.states.begin(), tail.states.end());
            whole.arcs.insert(whole.arcs.end(), tail.arcs.begin(), tail.arcs.end());
            whole.days = tail.days;  // the spur started from the root's days and legs
            whole.legs = rootLegs + tail.legs;
            if (whole.days > maxDays || known(whole)) continue;
            candidates.push_back(Found{std::move(whole), i});
        }
        if (candidates.empty()) break;
        std::size_t next = 0;
        for (std::size_t c = 1; c < candidates.size(); ++c)
            if (pathBefore(p, candidates[c].path, candidates[next].path)) next = c;
        chosen.push_back(std::move(candidates[next]));
        candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(next));
    }
    std::vector<Route> out;
    for (const Found& f : chosen) out.push_back(toRoute(p, f.path));
    return out;
}

std::vector<Reached> TChoices::reach(const Query& query, int maxDays) {
    if (maxDays < 0) throw Refused(Problem::NegativeReachDays, maxDays);
    const std::shared_ptr<const Index> ix = index();
    Plan p = prepare(*ix, query, true);
    Workspace& w = workspace();
    checkLoops(p, w, true);
    w.block(nullptr, 0, p.states);
    std::vector<Reached> out;
    auto byOrder = [](const Reached& a, const Reached& b) {
        return std::tie(a.days, a.legs, a.airport) < std::tie(b.days, b.legs, b.airport);
    };
    if (!p.hasMaxLegs && leanApplies(p)) {
        const std::vector<LeanReached> settled = leanReach(p, sourceStarts(p), maxDays);
        out.reserve(settled.size());
        // Settled in order of days: each day's airports are put in order
        // alone, by (legs, slot) in one number (slots follow airport numbers).
        std::vector<std::uint64_t> day;
        for (std::size_t i = 0; i < settled.size();) {
            const std::int64_t days = settled[i].days;
            day.clear();
            for (; i < settled.size() && settled[i].days == days; ++i) {
                if (settled[i].start) continue;  // a departure
                day.push_back(static_cast<std::uint64_t>(settled[i].legs) << 32 | settled[i].state);
            }
            std::sort(day.begin(), day.end());
            for (std::uint64_t d : day)
                out.push_back(Reached{ix->ids[static_cast<std::uint32_t>(d)], days, static_cast<int>(d >> 32)});
        }
        return out;
    }
    std::vector<char> isSource(p.n, 0);
    for (std::uint32_t s : p.sources) isSource[s] = 1;
    auto add = [&](std::uint32_t s, std::int64_t days, int legs) {
        if (!isSource[s] && days <= maxDays) out.push_back(Reached{ix->ids[s], days, legs});
    };
    if (p.hasMaxLegs) {
        rounds(p, w, sourceStarts(p), Spur{}, p.maxLegs, true, maxDays);
        for (std::uint32_t s = 0; s < p.states; ++s)
            if (!w.fresh(s)) add(s, w.labels[s].days, w.labels[s].legs);
    } else if (p.negative) {
        // checkLoops has just labelled every state from the departures.
        for (std::uint32_t s = 0; s < p.states; ++s)
            if (!w.fresh(s)) add(s, w.labels[s].days, w.labels[s].legs);
    } else {
        std::vector<std::uint32_t> settled;
        dijkstra(p, w, sourceStarts(p), Spur{}, nullptr, maxDays, &settled);
        for (std::uint32_t s : settled) add(s, w.labels[s].days, w.labels[s].legs);
    }
    std::sort(out.begin(), out.end(), byOrder);
    return out;
}

}  // namespace Choices
