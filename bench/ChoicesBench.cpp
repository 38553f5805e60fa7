// Times the route-choice queries (choices/Choices.h) against a single fit on
// the OpenFlights network: the trade-off front, k = 5 alternatives, a fit
// with an airport to avoid, one to pass through (drawn at random, and drawn
// among the airports on the way), a leg limit, two passengers, and reach
// within 3 days, and prints the front's size distribution; then the cost of
// an edit and a seat sale with the choices' copy kept current, and of the
// first query after one.
//
// Capacities: every tenth flight has one seat, the others none set (seats
// without end), so that a query for two passengers passes over a tenth of
// the flights.
//
// "On the way": among the airports reached within the fewest days plus 2
// from the departure, one whose fewest days from the departure plus those
// to the arrival stay within the fewest days plus 2 (the first of up to 40
// drawn at random that does; the random one when none does).
//
// Each of N random queries (departure and arrival drawn from the airports
// with flights, a route between them) is timed once per kind with the steady
// clock; a single fit (TFitingFlight::fitRoute, a fresh search: consecutive
// queries leave from different airports) is timed on the same query. The
// figures are the medians over the queries and the ratio of medians to the
// single fit's; the constrained fits are also set against the choices' own
// fit of the same query without constraints. Reach within 3 days is set against a single fit that settles
// the same airports: one to an airport of 4 days that a 1-day flight reaches.
// That fit relaxes every airport of 2 days or fewer and stops at the first
// of 3 days (the next airport's days plus the fewest days into its arrival
// reach the arrival's days), as reach relaxes the same airports and settles
// those of 3 days. (A fit to the airport reach settles last, the earlier
// comparison, stops sooner than that wherever every flight into that airport
// takes 2 days or more: it is printed too.)
//
// Output lines in scripts/bench's format:
//   ROW     case  median-us  mean-us  p99-us  note
//   TARGET  what  measured   goal     met|MISSED
//   INFO    text
//
// Usage: tavrik-choices-bench [openflights-dir] [queries]   (default 1000)

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/Timing.h"
#include "bookings/TSeatBooking.h"
#include "choices/Choices.h"
#include "fitting/TFitingFlight.h"
#include "flights/TManagementFlight.h"
#include "openflights/OpenFlightsNetwork.h"
#include "store/TDataAccess.h"
#include "tickets/TArmoringTicket.h"

namespace {

using tavrik::bench::Clock;
using tavrik::bench::microsSince;
using tavrik::bench::row;
using tavrik::bench::stats;
using tavrik::bench::Stats;

void target(const std::string& what, double ratio, double goal) {
    std::printf("TARGET\t%s\t%.2fx\t<= %.1fx\t%s\n", what.c_str(), ratio, goal, ratio <= goal ? "met" : "MISSED");
}

template <class F>
double timed(F&& f) {
    const auto start = Clock::now();
    f();
    return microsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : TAVRIK_OPENFLIGHTS_DIR;
    const int queries = argc > 2 ? std::atoi(argv[2]) : 1000;
    const openflights::Network data = openflights::read(dir);
    std::vector<int> served;
    for (const auto& f : data.flights) {
        served.push_back(f.from);
        served.push_back(f.to);
    }
    std::sort(served.begin(), served.end());
    served.erase(std::unique(served.begin(), served.end()), served.end());

    const auto storeOwner = std::make_unique<DataAccess::TDataAccess>();
    DataAccess::TDataAccess* store = storeOwner.get();
    ManagementFlight::TManagementFlight management(store);
    openflights::enter(data, management);
    FitingFlight::TFitingFlight fitting(store);
    ArmoringTicket::TArmoringTicket booking(store);
    SeatBooking::TSeatBooking seats(store, &booking);
    for (std::size_t i = 0; i < data.flights.size(); i += 10)
        seats.setSeats(data.flights[i].from, data.flights[i].number, 1);
    Choices::TChoices choices(store, &seats);
    // The counts as they are now (this search is told of no later change).
    fitting.setFreeSeats(&seats);

    std::list<TTicket> route;
    // Both build their copies of the network on their first query.
    fitting.fitRoute(INT_MAX, served[0], served[1], &route);
    const double indexUs = timed([&] {
        Choices::Query q;
        q.from = {served[0]};
        q.to = {served[1]};
        choices.fit(q, INT_MAX);
    });

    std::mt19937_64 rng(20261209);
    // Draws beside the queries' own (the airports on the way, the fresh
    // searches before the two-passenger fit), so that the queries stay
    // those of earlier runs.
    std::mt19937_64 side(4242);
    auto any = [&] { return served[std::uniform_int_distribution<std::size_t>(0, served.size() - 1)(rng)]; };
    std::vector<double> fit, plain, front, alternatives, avoid, via, viaOnTheWay, maxLegs, passengers, passengersFit,
        reach, reachFit, reachLastFit;
    // The fewest days of the flights into each airport.
    std::map<int, int> leastInto;
    for (const auto& f : data.flights) {
        auto it = leastInto.emplace(f.to, f.days).first;
        it->second = std::min(it->second, f.days);
    }
    int onTheWayFound = 0;
    std::map<std::size_t, int> frontSizes;
    int done = 0;
    while (done < queries) {
        const int from = any(), to = any();
        if (from == to) continue;
        const double single = timed([&] { fitting.fitRoute(INT_MAX, from, to, &route); });
        if (route.empty()) continue;
        ++done;
        fit.push_back(single);
        Choices::Query q;
        q.from = {from};
        q.to = {to};
        std::vector<Choices::Route> f;
        front.push_back(timed([&] { f = choices.front(q, INT_MAX); }));
        ++frontSizes[f.size()];
        plain.push_back(timed([&] { choices.fit(q, INT_MAX); }));
        alternatives.push_back(timed([&] { choices.alternatives(q, INT_MAX, 5); }));
        Choices::Query a = q;
        do a.avoidAirports = {any()};
        while (a.avoidAirports[0] == from || a.avoidAirports[0] == to);
        avoid.push_back(timed([&] { choices.fit(a, INT_MAX); }));
        Choices::Query v = q;
        do v.via = any();
        while (v.via == from || v.via == to);
        v.hasVia = true;
        via.push_back(timed([&] { choices.fit(v, INT_MAX); }));
        {
            const std::int64_t fewest = f.empty() ? 0 : f.back().days;
            const int slack = 2;
            Choices::Query around;
            around.from = {from};
            const std::vector<Choices::Reached> near = choices.reach(around, static_cast<int>(fewest) + slack);
            Choices::Query w = v;
            for (int attempt = 0; attempt < 40 && !near.empty(); ++attempt) {
                const Choices::Reached& c =
                    near[std::uniform_int_distribution<std::size_t>(0, near.size() - 1)(side)];
                if (c.airport == to) continue;
                Choices::Query rest;
                rest.from = {c.airport};
                rest.to = {to};
                const Choices::FitAnswer back = choices.fit(rest, INT_MAX);
                if (back.kind == Choices::FitAnswer::Kind::Route && c.days + back.route.days <= fewest + slack) {
                    w.via = c.airport;
                    ++onTheWayFound;
                    break;
                }
            }
            viaOnTheWay.push_back(timed([&] { choices.fit(w, INT_MAX); }));
        }
        Choices::Query m = q;
        m.hasMaxLegs = true;
        m.maxLegs = 2;
        maxLegs.push_back(timed([&] { choices.fit(m, INT_MAX); }));
        Choices::Query n = q;
        n.hasPassengers = true;
        n.passengers = 2;
        passengers.push_back(timed([&] { choices.fit(n, INT_MAX); }));
        {
            std::uniform_int_distribution<std::size_t> pick(0, served.size() - 1);
            fitting.fitRoute(INT_MAX, served[pick(side)], served[pick(side)], &route);  // a fresh search next
        }
        passengersFit.push_back(timed([&] { fitting.fitRouteFor(INT_MAX, from, to, 2, &route); }));
        Choices::Query r;
        r.from = {from};
        std::vector<Choices::Reached> reached;
        const double reachUs = timed([&] { reached = choices.reach(r, 3); });
        int beyond = 0;
        for (const Choices::Reached& x : choices.reach(r, 4))
            if (x.days == 4 && leastInto[x.airport] == 1) {
                beyond = x.airport;
                break;
            }
        if (!reached.empty() && beyond != 0) {
            const Choices::Reached* last = &reached.front();
            for (const Choices::Reached& x : reached)
                if (std::make_pair(x.days, x.airport) > std::make_pair(last->days, last->airport)) last = &x;
            reach.push_back(reachUs);
            // Another departure first, so that each fit is a fresh search.
            fitting.fitRoute(INT_MAX, any(), any(), &route);
            reachFit.push_back(timed([&] { fitting.fitRoute(INT_MAX, from, beyond, &route); }));
            fitting.fitRoute(INT_MAX, any(), any(), &route);
            reachLastFit.push_back(timed([&] { fitting.fitRoute(INT_MAX, from, last->airport, &route); }));
        }
    }

    std::printf("INFO\tRoute choices: %d OpenFlights queries (%zu airports, %zu flights); the choices' copy of the network built in %.0f us\n",
                queries, data.airports.size(), data.flights.size(), indexUs);
    const Stats sf = stats(fit);
    row("single fit (fresh search), for the ratios", sf, "TFitingFlight::fitRoute");
    auto kind = [&](const char* name, const std::vector<double>& v, double goal, const char* targetName) {
        const Stats s = stats(v);
        const double ratio = s.median / sf.median;
        char note[64];
        std::snprintf(note, sizeof note, "%.2fx the single fit", ratio);
        row(name, s, note);
        target(targetName, ratio, goal);
    };
    kind("front (days vs legs)", front, 3, "front / single fit (medians)");
    const Stats sc = stats(plain);
    {
        char note[64];
        std::snprintf(note, sizeof note, "%.2fx the single fit", sc.median / sf.median);
        row("choices fit without constraints", sc, note);
    }
    kind("5 alternatives", alternatives, 10, "k = 5 alternatives / single fit (medians)");
    kind("fit avoiding one airport", avoid, 1.3, "fit avoiding an airport / single fit");
    kind("fit via one random airport", via, 1.3, "fit via a random airport / single fit");
    kind("fit via one airport on the way", viaOnTheWay, 1.3, "fit via an airport on the way / single fit");
    kind("fit with at most 2 legs", maxLegs, 1.3, "fit with at most 2 legs / single fit");
    kind("fit for 2 passengers", passengers, 1.3, "fit for 2 passengers / single fit");
    // What each constraint itself costs: the constrained fit against the
    // choices' own fit of the same query without it.
    std::printf("INFO\tConstrained fits / the choices fit without constraints (medians): avoiding %.2fx, via random "
                "%.2fx, via on the way %.2fx, at most 2 legs %.2fx, 2 passengers %.2fx\n",
                stats(avoid).median / sc.median, stats(via).median / sc.median, stats(viaOnTheWay).median / sc.median,
                stats(maxLegs).median / sc.median, stats(passengers).median / sc.median);
    {
        const Stats sp = stats(passengersFit), sc = stats(passengers);
        char pn[96];
        std::snprintf(pn, sizeof pn, "for the ratio below (TFitingFlight::fitRouteFor)");
        row("single fit for 2 passengers (fresh search)", sp, pn);
        target("choices fit for 2 passengers / single fit for 2 passengers", sc.median / sp.median, 1.3);
    }
    const Stats sr = stats(reach), srf = stats(reachFit), srl = stats(reachLastFit);
    char note[96];
    std::snprintf(note, sizeof note, "%.2fx a fit settling the same airports (%.2f us)", sr.median / srf.median,
                  srf.median);
    row("reach within 3 days", sr, note);
    std::snprintf(note, sizeof note, "reach is %.2fx this", sr.median / srl.median);
    row("single fit to the airport reach settles last", srl, note);
    target("reach within 3 days / fit settling the same airports", sr.median / srf.median, 1.2);
    std::printf("INFO\tReach: %zu of %d queries had an airport of 4 days reached by a 1-day flight\n", reach.size(),
                queries);
    std::string sizes;
    for (const auto& s : frontSizes) sizes += " " + std::to_string(s.first) + ": " + std::to_string(s.second) + ",";
    if (!sizes.empty()) sizes.pop_back();
    std::printf("INFO\tFront size over %d queries (points: queries):%s\n", queries, sizes.c_str());
    std::printf("INFO\tVia on the way: found for %d of %d queries\n", onTheWayFound, queries);

    // Edits with the copy kept current: a flight removed and added back, a
    // sale of one seat on a flight, each followed by a fit; the copy is not
    // built again (the count of builds is printed).
    const std::uint64_t buildsBefore = choices.builds();
    std::vector<double> edit, sale, afterEdit;
    for (int i = 0; i < queries; ++i) {
        const openflights::Flight& fl = data.flights[std::uniform_int_distribution<std::size_t>(0, data.flights.size() - 1)(rng)];
        edit.push_back(timed([&] {
            management.removeFlight(fl.from, fl.number);
            management.addFlight(fl.name, fl.number, fl.days, fl.from, fl.to);
        }) / 2);
        seats.setSeats(fl.from, fl.number, 1000);
        std::vector<TLegRequest> legs{TLegRequest{fl.number, fl.from, fl.to}};
        sale.push_back(timed([&] { seats.book(legs, 1, nullptr); }));
        Choices::Query q;
        q.from = {fl.from};
        do q.to = {any()};
        while (q.to[0] == fl.from);
        afterEdit.push_back(timed([&] { choices.fit(q, INT_MAX); }));
    }
    row("edit (a flight removed or added), copy kept current", stats(edit), "the store's whole edit, every listener");
    row("sale of one seat, copy kept current", stats(sale), "ISeatBooking::book, one leg");
    row("choices fit just after an edit or sale", stats(afterEdit), "from the edited flight's departure; no copy built");
    std::printf("INFO\tThe choices' copy built %llu times during %d edits and sales\n",
                static_cast<unsigned long long>(choices.builds() - buildsBefore), 2 * queries);
    return 0;
}
