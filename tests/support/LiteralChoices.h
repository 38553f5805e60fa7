#pragma once

// The brute-force reference for route choices (choices/Choices.h): every
// loopless route of a small network is enumerated, the query's constraints
// are applied to each route as a whole, and the answers are read off the
// sorted list, exactly as the documentation words them. Loops of negative
// total are found by enumerating the simple cycles of the network.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "choices/Choices.h"
#include "tests/support/LiteralFitting.h"

namespace oracle {

struct ChoiceLeg {
    int flight;
    int from;
    int to;
    int days;
};

struct ChoiceRoute {
    std::vector<int> airports;  // departure, then the arrival of each leg
    std::vector<ChoiceLeg> legs;
    std::int64_t days = 0;
};

// Departing flights of each airport, ascending by flight number.
inline std::map<int, std::vector<ChoiceLeg>> departures(const Network& net) {
    std::map<int, std::vector<ChoiceLeg>> out;
    for (const auto& a : net) {
        auto& list = out[a.first];
        for (const auto& f : a.second)
            if (f.second.from == a.first && net.count(f.second.to))
                list.push_back(ChoiceLeg{f.first, f.second.from, f.second.to, f.second.days});
    }
    return out;
}

// The route order, word for word: days, legs, arrival airport number, then
// from the last leg back: days to its departure airport, that airport's
// number, its flight number.
inline bool routeBefore(const ChoiceRoute& a, const ChoiceRoute& b) {
    if (a.days != b.days) return a.days < b.days;
    if (a.legs.size() != b.legs.size()) return a.legs.size() < b.legs.size();
    if (a.airports.back() != b.airports.back()) return a.airports.back() < b.airports.back();
    auto keys = [](const ChoiceRoute& r) {
        std::vector<std::tuple<std::int64_t, int, int>> k;
        std::int64_t d = 0;
        for (const ChoiceLeg& l : r.legs) {
            k.emplace_back(d, l.from, l.flight);
            d += l.days;
        }
        std::reverse(k.begin(), k.end());
        return k;
    };
    const auto ka = keys(a), kb = keys(b);
    if (ka != kb) return ka < kb;
    return a.airports.front() < b.airports.front();
}

struct ChoiceEnumeration {
    std::vector<ChoiceRoute> routes;  // sorted in the route order
    bool complete = true;             // false: more than the cap, abandoned
};

// Every loopless route the query allows (with `via`: loopless up to `via`,
// loopless from it), ending at an airport of `to` (any airport for reach),
// sorted in the route order. Assumes the query's airports exist.
inline ChoiceEnumeration enumerateRoutes(const Network& net, const Choices::Query& q, bool reach,
                                         std::size_t cap = 200000) {
    const auto out = departures(net);
    const std::set<int> avoid(q.avoidAirports.begin(), q.avoidAirports.end());
    const std::set<int> avoidFlights(q.avoidFlights.begin(), q.avoidFlights.end());
    const std::set<int> ends(q.to.begin(), q.to.end());
    ChoiceEnumeration e;
    ChoiceRoute r;
    std::set<int> seen;
    // phase 1: `via` passed (or no `via`)
    std::function<void(int, int)> walk = [&](int at, int phase) {
        if (!e.complete) return;
        if (phase == 0 && at == q.via) {
            std::set<int> before;
            before.swap(seen);
            seen.insert(at);
            walk(at, 1);
            seen.swap(before);
            return;
        }
        const bool final = phase == 1 || !q.hasVia;
        if (final && (reach || ends.count(at))) {
            e.routes.push_back(r);
            if (e.routes.size() > cap) {
                e.complete = false;
                return;
            }
        }
        if (q.hasMaxLegs && static_cast<int>(r.legs.size()) >= q.maxLegs) return;
        for (const ChoiceLeg& l : out.at(at)) {
            if (avoid.count(l.to) || avoidFlights.count(l.flight) || seen.count(l.to)) continue;
            seen.insert(l.to);
            r.legs.push_back(l);
            r.airports.push_back(l.to);
            r.days += l.days;
            walk(l.to, phase);
            r.days -= l.days;
            r.airports.pop_back();
            r.legs.pop_back();
            seen.erase(l.to);
        }
    };
    for (int s : std::set<int>(q.from.begin(), q.from.end())) {
        seen = {s};
        r = ChoiceRoute{{s}, {}, 0};
        walk(s, q.hasVia ? 0 : 1);
    }
    std::sort(e.routes.begin(), e.routes.end(), routeBefore);
    return e;
}

// Whether a loop of negative total lies on a walk from a departure to an
// arrival (reach: anywhere reachable), with the query's constraints, in the
// graph of (airport, `via` passed) states. Simple cycles are enumerated from
// their smallest state.
inline bool negativeLoopOnTheWay(const Network& net, const Choices::Query& q, bool reach) {
    using State = std::pair<int, int>;  // airport, `via` passed (always 0 without `via`)
    const auto out = departures(net);
    const std::set<int> avoid(q.avoidAirports.begin(), q.avoidAirports.end());
    const std::set<int> avoidFlights(q.avoidFlights.begin(), q.avoidFlights.end());
    struct Step {
        State to;
        int days;
    };
    auto steps = [&](State s) {
        std::vector<Step> v;
        if (q.hasVia && s.second == 0 && s.first == q.via) {
            v.push_back(Step{{s.first, 1}, 0});
            return v;
        }
        for (const ChoiceLeg& l : out.at(s.first))
            if (!avoid.count(l.to) && !avoidFlights.count(l.flight)) v.push_back(Step{{l.to, s.second}, l.days});
        return v;
    };
    const int finalPhase = q.hasVia ? 1 : 0;
    auto closure = [&](std::vector<State> todo) {
        std::set<State> seen(todo.begin(), todo.end());
        while (!todo.empty()) {
            const State s = todo.back();
            todo.pop_back();
            for (const Step& st : steps(s))
                if (seen.insert(st.to).second) todo.push_back(st.to);
        }
        return seen;
    };
    std::vector<State> starts;
    for (int s : q.from) starts.push_back({s, 0});
    const std::set<State> forward = closure(starts);
    auto reachesEnd = [&](State from) {
        if (reach) return true;
        for (const State& s : closure({from}))
            if (s.second == finalPhase && std::find(q.to.begin(), q.to.end(), s.first) != q.to.end()) return true;
        return false;
    };
    // Simple cycles through their smallest state.
    for (const State& start : forward) {
        std::set<State> onPath{start};
        bool found = false;
        std::function<void(State, std::int64_t)> dfs = [&](State s, std::int64_t total) {
            for (const Step& st : steps(s)) {
                if (found) return;
                if (st.to == start) {
                    if (total + st.days < 0) found = true;
                    continue;
                }
                if (st.to < start || onPath.count(st.to)) continue;
                onPath.insert(st.to);
                dfs(st.to, total + st.days);
                onPath.erase(st.to);
            }
        };
        dfs(start, 0);
        if (found && reachesEnd(start)) return true;
    }
    return false;
}

// The answers read off the sorted routes.
inline std::optional<ChoiceRoute> literalFirst(const ChoiceEnumeration& e) {
    if (e.routes.empty()) return std::nullopt;
    return e.routes.front();
}

inline std::vector<ChoiceRoute> literalFront(const ChoiceEnumeration& e, int maxDays) {
    std::vector<ChoiceRoute> front;
    for (const ChoiceRoute& r : e.routes) {
        if (r.days > maxDays) continue;
        bool beaten = false;
        for (const ChoiceRoute& o : e.routes)
            if (o.days <= maxDays && o.days <= r.days && o.legs.size() <= r.legs.size() &&
                (o.days < r.days || o.legs.size() < r.legs.size()))
                beaten = true;
        if (beaten) continue;
        // The first of its (days, legs) point: the sorted list has it first.
        bool pointTaken = false;
        for (const ChoiceRoute& f : front) pointTaken = pointTaken || (f.days == r.days && f.legs.size() == r.legs.size());
        if (!pointTaken) front.push_back(r);
    }
    std::sort(front.begin(), front.end(),
              [](const ChoiceRoute& a, const ChoiceRoute& b) { return a.legs.size() < b.legs.size(); });
    return front;
}

inline std::vector<ChoiceRoute> literalAlternatives(const ChoiceEnumeration& e, int maxDays, int k) {
    std::vector<ChoiceRoute> out;
    for (const ChoiceRoute& r : e.routes)
        if (r.days <= maxDays && static_cast<int>(out.size()) < k) out.push_back(r);
    return out;
}

// Reach: for every airport but the departures, the fewest days over the
// loopless routes to it (within the leg limit), then the fewest legs.
inline std::vector<Choices::Reached> literalReach(const ChoiceEnumeration& e, const Choices::Query& q, int maxDays) {
    std::map<int, std::pair<std::int64_t, int>> best;
    for (const ChoiceRoute& r : e.routes) {
        const int at = r.airports.back();
        if (std::find(q.from.begin(), q.from.end(), at) != q.from.end()) continue;
        const std::pair<std::int64_t, int> key{r.days, static_cast<int>(r.legs.size())};
        auto it = best.find(at);
        if (it == best.end() || key < it->second) best[at] = key;
    }
    std::vector<Choices::Reached> out;
    for (const auto& b : best)
        if (b.second.first <= maxDays) out.push_back(Choices::Reached{b.first, b.second.first, b.second.second});
    std::sort(out.begin(), out.end(), [](const Choices::Reached& a, const Choices::Reached& b) {
        return std::tie(a.days, a.legs, a.airport) < std::tie(b.days, b.legs, b.airport);
    });
    return out;
}

inline bool sameRoute(const ChoiceRoute& expected, const Choices::Route& actual) {
    if (expected.days != actual.days || expected.legs.size() != actual.legs.size()) return false;
    if (expected.airports.front() != actual.from || expected.airports.back() != actual.to) return false;
    for (std::size_t i = 0; i < expected.legs.size(); ++i) {
        const ChoiceLeg& e = expected.legs[i];
        const Choices::Leg& a = actual.legs[i];
        if (e.flight != a.flight || e.from != a.from || e.to != a.to || e.days != a.days) return false;
    }
    return true;
}

}  // namespace oracle
