#pragma once

// Route choices on one store: the days-versus-legs trade-off front, the k
// best loopless alternatives, constrained fits, several airports as one end,
// and everything reachable within a day limit.
//
// Routes. A route is a sequence of flights, each leaving the airport where
// the one before arrived, from one airport of the departure set to one of
// the arrival set. It is loopless: no airport appears twice in it. With an
// airport to pass through (`via`), a route is a loopless route to `via`
// followed by a loopless route from `via`; the two parts may share airports
// (asking that they share none makes the question NP-complete).
//
// The route order. Routes compare by
//   1. fewer total days,
//   2. then fewer legs,
//   3. then the smaller arrival airport number,
//   4. then leg by leg from the last back to the first: the leg whose
//      departure airport was reached in fewer days, then the smaller
//      departure airport number, then the smaller flight number.
// Rule 4 is the single fit's own tie-break (airports are included in order of
// days, then number; between flights of one airport the smaller number wins)
// applied among routes of the same legs, so where the single fit's route has
// the fewest legs among the fewest-days routes, the first route in this
// order is that route. Rule 4 also decides between departure airports.
//
// Negative day counts. Routes are loopless, so a loop never lowers a total.
// Where loops of negative total could be part of a route (a loop reachable
// from the departure on the way to the arrival, with the constraints
// applied), the fewest-days loopless route is as hard to find as a longest
// path: such a query is refused (Problem::NegativeLoop, naming an airport of
// the loop). Otherwise every answer is exact; loops summing to zero or more
// never help a route.
//
// Passengers. A query for N passengers takes only flights with at least N
// free seats (a flight without a capacity has seats without end); every rule
// above then applies among the routes of those flights.
//
// The answers read a copy of the store's network (every flight, parallel
// ones included, with its free seats), built by the first query and from
// then on kept current edit by edit: the store tells it of every change of
// airports and flights (INetworkListener), the seat service of every change
// of a free-seat count (IFreeSeatsWatcher). An edit costs time in the degree
// of the airports it touches. An airport added below the largest number the
// copy has seen, a whole new seat state, or removed airports outnumbering
// the live ones leave the copy to be rebuilt by the next query. Queries are
// safe from several threads at once while nothing edits the store (the
// caller's shared lock); edits run alone (its exclusive lock). Each thread
// searches on a workspace of its own.

#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "fitting/IFreeSeats.h"
#include "store/IDataAccess.h"
#include "store/INetworkListener.h"

namespace Choices {

// Why a query was refused; `a` and `b` are the numbers concerned.
enum class Problem : int {
    UnknownAirport,     // a: the airport, in an end, `avoid` or `via`
    UnknownFlight,      // a: the flight number in `avoidFlights` that no flight has
    ViaIsEnd,           // a: `via`, which is also a departure or arrival airport
    AvoidedEnd,         // a: an airport both avoided and a departure, arrival or `via`
    NoAirports,         // the departure (a = 0) or arrival (a = 1) set is empty
    CountOutOfRange,    // a: k, b: the largest k allowed
    NegativeLegLimit,   // a: the leg limit
    NegativeReachDays,  // a: the day count of a reach
    ViaInReach,         // a: `via`; reach takes no airport to pass through
    NegativeLoop,       // a: an airport on a loop of negative total days
    PassengerCount,     // a: the number of passengers, below 1
};

struct Refused final : std::exception {
    Refused(Problem problem, std::int64_t a, std::int64_t b = 0) : problem(problem), a(a), b(b) {}
    const char* what() const noexcept override { return "route query refused"; }
    Problem problem;
    std::int64_t a;
    std::int64_t b;
};

struct Leg {
    int flight;
    int from;
    int to;
    int days;
};

struct Route {
    int from = 0;            // the departure airport chosen
    int to = 0;              // the arrival airport chosen
    std::int64_t days = 0;   // the sum of the legs' day counts
    std::vector<Leg> legs;   // in travel order; none from an airport to itself
};

// Everything a query may ask besides its limit.
struct Query {
    std::vector<int> from;            // departure airports (one or more)
    std::vector<int> to;              // arrival airports (one or more; unused by reach)
    std::vector<int> avoidAirports;   // no route passes through these
    std::vector<int> avoidFlights;    // no route takes a flight with one of these numbers
    bool hasVia = false;
    int via = 0;                      // every route passes through this airport
    bool hasMaxLegs = false;
    int maxLegs = 0;                  // every route has at most this many legs
    bool hasPassengers = false;
    int passengers = 0;               // every flight has at least this many free seats
};

struct FitAnswer {
    enum class Kind { Route, OverLimit, NoRoute };
    Kind kind = Kind::NoRoute;
    Route route;                // Kind::Route
    std::int64_t fewestDays = 0;  // Kind::OverLimit: the first route's days
};

struct Reached {
    int airport;
    std::int64_t days;  // the fewest days (with at most maxLegs legs, if set)
    int legs;           // the fewest legs among routes of that many days
};

constexpr int kMaxAlternatives = 20;

struct Index;

class TChoices final : private INetworkListener, private IFreeSeatsWatcher {
public:
    // The choices on `data`'s network; `seats`, if given, is where the free
    // seats come from (without it every flight has seats without end).
    explicit TChoices(IDataAccess* data, IFreeSeats* seats = nullptr);
    ~TChoices();
    TChoices(const TChoices&) = delete;
    TChoices& operator=(const TChoices&) = delete;

    // The first route in the route order among those the query allows, and
    // whether it keeps within maxDays.
    FitAnswer fit(const Query& query, int maxDays);
    // Every route within maxDays that no other allowed route beats on both
    // days and legs, one per (days, legs) point (the first in the route order
    // of that point), ordered by legs (so by falling days).
    std::vector<Route> front(const Query& query, int maxDays);
    // The k best allowed routes within maxDays in the route order, each a
    // different sequence of flights; fewer when there are no more.
    std::vector<Route> alternatives(const Query& query, int maxDays, int k);
    // Every airport other than the departures reachable within maxDays days
    // (`to` and `via` unused), with its fewest days and then fewest legs, in
    // order of (days, legs, airport number).
    std::vector<Reached> reach(const Query& query, int maxDays);

    // For tests and benchmarks: how many times a query built the copy.
    std::uint64_t builds() const { return buildCount; }

private:
    std::shared_ptr<const Index> index();

    void airportAdded(int airport) noexcept override;
    void airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept override;
    void flightAdded(int flight, int days, int from, int to) noexcept override;
    void flightRemoved(int flight, int days, int from, int to) noexcept override;
    void networkBuilt() noexcept override;
    void freeSeatsChanged(int flight, int days, int from, int to, int free) noexcept override;
    void freeSeatsReplaced() noexcept override;
    // The copy to change in place, or null when there is none or it is to
    // be rebuilt anyway.
    Index* editable() noexcept;

    IDataAccess* data;
    IFreeSeats* seats;
    std::mutex guard;
    // Written by edits, which run alone; queries take it under `guard`.
    std::shared_ptr<Index> current;
    bool stale = false;
    std::uint64_t buildCount = 0;
};

}  // namespace Choices
