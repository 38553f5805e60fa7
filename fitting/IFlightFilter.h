#pragma once

// Leaves flights out of one route search, as if they were not in the
// network (a search for seats leaves out the flights without enough free
// seats). The search asks about one departure airport at a time: first
// departFrom, then excludes for each flight leaving it. A filter is used by
// one search on one thread; it is not shared between searches.
class IFlightFilter {
public:
    virtual ~IFlightFilter() = default;

    // The search turns to the flights departing `airport`. False when it may
    // use every one of them: excludes is then not asked about them.
    virtual bool departFrom(int airport) = 0;
    // Whether the flight `flight` departing the airport last given to
    // departFrom (for which it returned true) is left out.
    virtual bool excludes(int flight) = 0;
    // Of the flights from that airport to `to` that the filter keeps, the
    // one a search takes: the fewest days, then the smallest number. False
    // when it keeps none. Asked only when the search's own choice among
    // them is left out and there are others.
    virtual bool bestKept(int to, int& flight, int& days) = 0;
};
