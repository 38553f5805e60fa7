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
// Between calls it keeps a compact copy of the network (airports in ascending
// number, each with its departing flights in ascending flight number), which
// it rebuilds when the store's revision changes, and the last search.
class TFitingFlight : public IFitingFlight {
public:
    explicit TFitingFlight(IDataAccess* data);
    ~TFitingFlight() override;

    int fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) override;

private:
    struct Edge {
        int to;  // dense index of the arrival airport
        int days;
        int flight;
    };
    struct Network {
        std::uint64_t revision = 0;
        bool valid = false;
        bool negativeDays = false;
        std::vector<int> ids;               // airport numbers, ascending
        std::vector<std::uint32_t> first;   // departing flights of i: [first[i], first[i+1])
        std::vector<Edge> edges;
    };
    struct QueueEntry {
        std::int64_t day;
        int airport;  // dense index
    };

    // fitRoute without emptying the list on refusal.
    int search(int maxDays, int from, int to, std::list<TTicket>* route);
    bool airportExists(int airport);
    void refreshNetwork();
    int indexOf(int airport) const;
    void startSearch(int source);
    // Runs the search until `target` is included or the search has ended.
    void advanceSearch(int target);
    void relax(int u);
    void push(std::int64_t day, int airport);
    void popTop();

    IDataAccess* data;
    Network net;

    // The last search. mark[v] < base: unreached; base: reached; base + 1:
    // included. A new search only raises base, so it costs nothing per airport.
    bool searchValid = false;
    bool searchEnded = false;
    int source = -1;
    std::size_t included = 0;
    std::uint32_t base = 0;
    std::vector<std::uint32_t> mark;
    std::vector<day_link> est_Way;
    std::vector<QueueEntry> queue;  // 4-ary min-heap on (day, airport)
};

}  // namespace FitingFlight
