#pragma once

// A literal rendering of the route search, kept as the oracle for the fast
// search in the library: ordered maps built anew per call, N - 1 iterations
// that each relax the current airport's departing flights in ascending flight
// number and then scan every airport for the next one. It differs from the
// naive reading only where the library mends faults: reached airports are
// tracked apart from their numbers (-1 is an ordinary airport, flight and
// total), totals are 64-bit, and a walk back longer than N legs is "no route".

#include <cstdint>
#include <list>
#include <map>

#include "store/IDataAccess.h"
#include "store/TFlightLink.h"
#include "store/TTicket.h"

namespace oracle {

// Airport number -> that airport's flight table (departing and arriving).
using Network = std::map<int, std::map<int, TFlightLink>>;

// A copy of the store's network in the oracle's shape.
inline Network snapshot(IDataAccess& store) {
    Network net;
    for (const auto& airport : *store.getAirports()) net[airport.first] = *airport.second.pAirport->getFlights();
    return net;
}

// The sum of the day counts of a route as the literal search writes it: the
// second ticket of each leg is the flight's entry at its departure airport.
inline std::int64_t routeTotal(const Network& net, const std::list<TTicket>& route) {
    std::int64_t total = 0;
    bool departureEntry = false;
    for (const TTicket& t : route) {
        if (departureEntry) total += net.at(t.airport).at(t.flight).days;
        departureEntry = !departureEntry;
    }
    return total;
}

// The codes and the ticket list of the route search: 0, -1 (from absent),
// -2 (to absent), -3 (over maxDays), -4 (no route); the list is empty on
// every refusal.
inline int literalFitRoute(const Network& net, int maxDays, int from, int to, std::list<TTicket>& route) {
    struct Label {
        bool reached = false;
        std::int64_t day = -1;
        int prev_airport = -1;
        int flight = -1;
    };
    route.clear();
    if (net.find(from) == net.end()) return -1;
    if (net.find(to) == net.end()) return -2;

    std::map<int, Label> est_Way;
    std::map<int, bool> airport_is_include;
    for (const auto& airport : net) {
        est_Way[airport.first] = Label{};
        airport_is_include[airport.first] = false;
    }
    const std::size_t N = net.size();
    est_Way[from] = Label{true, 0, from, -1};
    int d_curent = from;

    for (std::size_t iteration = 1; iteration < N; ++iteration) {
        airport_is_include[d_curent] = true;
        const Label current = est_Way[d_curent];
        for (const auto& entry : net.at(d_curent)) {
            const TFlightLink& link = entry.second;
            if (link.from != d_curent) continue;
            auto target = est_Way.find(link.to);
            if (target == est_Way.end()) continue;
            const std::int64_t cand = current.day + link.days;
            if (!target->second.reached || cand < target->second.day)
                target->second = Label{true, cand, d_curent, entry.first};
        }
        bool chosen = false;
        std::int64_t best = 0;
        int next = 0;
        for (const auto& include : airport_is_include) {
            if (include.second) continue;
            const Label& label = est_Way[include.first];
            if (!label.reached) continue;
            if (!chosen || label.day < best) {
                chosen = true;
                best = label.day;
                next = include.first;
            }
        }
        if (!chosen) break;
        d_curent = next;
    }

    const Label& arrival = est_Way[to];
    // An unreached arrival counts as a total of -1 in this test only.
    const std::int64_t total = arrival.reached ? arrival.day : -1;
    if (total > maxDays) return -3;
    std::size_t legs = 0;
    for (int N_A = to; N_A != from;) {
        const Label& label = est_Way[N_A];
        if (!label.reached || ++legs > N) {
            route.clear();
            return -4;
        }
        route.push_back(TTicket{N_A, label.flight});
        route.push_back(TTicket{label.prev_airport, label.flight});
        N_A = label.prev_airport;
    }
    return 0;
}

}  // namespace oracle
