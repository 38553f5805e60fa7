#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "fitting/IFitingFlight.h"
#include "fitting/SearchNetwork.h"
#include "fitting/SearchQueues.h"
#include "fitting/day_link.h"
#include "store/IDataAccess.h"
#include "store/INetworkListener.h"

namespace FitingFlight {

// Dijkstra's search over the store's network. The rules that decide every
// result, ties included:
//  - airports are included in order of (total days, airport number), the
//    departure first;
//  - including an airport relaxes its departing flights in ascending flight
//    number; a flight's arrival takes the new total only when it is strictly
//    smaller than the one it has (an equal total never replaces an earlier
//    one), whether or not that airport is already included;
//  - at most N - 1 airports are included (N = number of airports);
//  - an arrival that was never reached gives -4, or -3 when maxDays < -1
//    (the limit is tested first, and an unreached airport counts as total
//    -1); a reached one gives -3 when its total exceeds maxDays;
//  - with negative day counts an included airport can still be improved, and
//    the walk back gives -4 when it is longer than N legs (a loop).
// Termination: with day counts >= 0 no included airport can improve any
// more, and no airport taken at a total t can give the arrival a total below
// t + d, d being a lower bound of the days of the flights that arrive there
// (SearchNetwork::leastInto). So the search stops as
// soon as the next airport's total plus d is no smaller than the arrival's
// total (the arrival's label, and those along its route, are final then;
// that airport goes back into the queue), or the arrival is included; a
// later query from the same departure resumes it where it stopped. With a
// negative day count anywhere it runs to its end.
//
// Beside the store it keeps a copy of the network (SearchNetwork). The first
// query builds it (so a network loaded before any query costs no upkeep);
// from then on the store's editing operations keep it current through
// INetworkListener, edit by edit; once the last airport is gone the copy is
// dropped, and the next query builds it again. Each query runs on a search
// state of its own, taken from a pool, so queries may run on several threads
// at once while nothing edits the network; an edit must not overlap a query
// (the caller's lock sees to it). The pool keeps a bounded number of idle
// states (as many as the machine has threads by default), and frees them all
// when the copy is rebuilt or dropped: a state's memory follows the slot
// count it was last used with.
// A stopped search survives an edit only when the edit cannot change what it
// did so far: a flight edit whose departure airport it has not included, or
// the removal of an airport it has not reached.
class TFitingFlight final : public IFitingFlight, private INetworkListener {
public:
    explicit TFitingFlight(IDataAccess* data, SearchTuning tuning = {});
    ~TFitingFlight() override;
    TFitingFlight(const TFitingFlight&) = delete;
    TFitingFlight& operator=(const TFitingFlight&) = delete;

    int fitRoute(int maxDays, int from, int to, std::list<TTicket>* route) override;
    int fitRouteFor(int maxDays, int from, int to, int passengers, std::list<TTicket>* route) override;
    void setFreeSeats(const IFreeSeats* seats) override;
    void freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept override;

    // For tests and benchmarks: the search states kept idle, and the slots
    // of the copy of the network (0 while there is none).
    std::size_t idleStates();
    std::uint32_t copySlots() const { return net.slotCount(); }

private:
    // Everything one search knows; a new search resets it as a whole.
    struct SearchState {
        bool valid = false;   // labels and queue are a search's exact state
        bool ended = false;   // nothing more can be included
        std::thread::id user; // the thread that used it last
        std::uint64_t layout = 0;
        std::uint32_t source = 0;
        std::size_t included = 0;
        std::uint32_t base = 0;
        QueueKind kind = QueueKind::Buckets;
        std::vector<Label> labels;
        BucketQueue buckets;
        PackedHeapQueue packedHeap;
        WideHeapQueue wideHeap;
    };

    void airportAdded(int airport) override;
    void airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept override;
    void flightAdded(int flight, int days, int from, int to) override;
    void flightRemoved(int flight, int days, int from, int to) noexcept override;
    void networkBuilt() noexcept override;

    bool airportExists(int airport);
    // The slots of a query's airports, or the code of the first unknown one
    // (-1 the departure, -2 the arrival); builds the copy at the first query.
    int endSlots(int from, int to, std::uint32_t& fi, std::uint32_t& ti);
    // Every fit: the ends' slots, a search state from the pool lent to
    // `search` (resumable: one a later query from the same departure may go
    // on with) and handed back however it ends, and the ticket list cleared
    // when no route was written.
    template <class Search>
    int fit(int from, int to, bool resumable, std::list<TTicket>* route, Search&& search);
    void startSearch(SearchState& s, std::uint32_t source);
    // Includes airports until `target`'s label is final or nothing is left.
    // kForSeats: over the flights with at least `passengers` free seats.
    template <bool kForSeats, class Queue>
    void advance(SearchState& s, Queue& queue, std::uint32_t target, int passengers);
    // The same on the state's own queue, of whichever kind it is.
    template <bool kForSeats>
    void advance(SearchState& s, std::uint32_t target, int passengers);
    day_link linkOf(const SearchState& s, std::uint32_t slot) const;
    // The route to `to` out of a search's labels (0, -3 or -4).
    template <bool kForSeats>
    int writeRoute(const SearchState& s, int maxDays, std::uint32_t from, std::uint32_t to, int passengers,
                   std::list<TTicket>* route) const;

    std::unique_ptr<SearchState> acquire(std::uint32_t source);
    void release(std::unique_ptr<SearchState> s) noexcept;
    // Drops every idle search for which `stale` says so.
    template <class Stale>
    void dropSearches(Stale&& stale) noexcept;

    // Builds the copy if no query has yet; safe from several queries at once.
    void ensureBuilt();

    // Frees every idle state (edits only, when no query runs).
    void dropIdle() noexcept;

    IDataAccess* data;
    const IFreeSeats* freeSeats = nullptr;
    SearchNetwork net;
    std::size_t idleLimit;
    std::atomic<bool> built{false};
    std::mutex building;
    std::mutex pool;
    std::vector<std::unique_ptr<SearchState>> idle;
    std::size_t states = 0;  // idle has room for all of them
};

}  // namespace FitingFlight
