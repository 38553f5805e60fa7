// Times the route-choice queries (choices/Choices.h) against a single fit on
// the OpenFlights network: the trade-off front, k = 5 alternatives, a fit
// with an airport to avoid, one to pass through, a leg limit, and reach
// within 3 days, and prints the front's size distribution.
//
// Each of N random queries (departure and arrival drawn from the airports
// with flights, a route between them) is timed once per kind with the steady
// clock; a single fit (TFitingFlight::fitRoute, a fresh search: consecutive
// queries leave from different airports) is timed on the same query. The
// figures are the medians over the queries and the ratio of medians to the
// single fit's. Reach within 3 days is set against a single fit that settles
// the same airports: the one to the airport reach settles last (the most
// days, then the largest number), since the fit includes airports in that
// order and stops at its arrival.
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

#include "choices/Choices.h"
#include "fitting/TFitingFlight.h"
#include "flights/TManagementFlight.h"
#include "openflights/OpenFlightsNetwork.h"
#include "store/TDataAccess.h"

namespace {

using Clock = std::chrono::steady_clock;

double microsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Stats {
    double median = 0, mean = 0, p99 = 0;
};

Stats stats(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    s.mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    s.p99 = v[std::min(v.size() - 1, static_cast<std::size_t>(std::ceil(0.99 * v.size())) - 1)];
    return s;
}

void row(const std::string& what, const Stats& s, const std::string& note) {
    std::printf("ROW\t%s\t%.2f\t%.2f\t%.2f\t%s\n", what.c_str(), s.median, s.mean, s.p99, note.c_str());
}

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
    Choices::TChoices choices(store);

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
    auto any = [&] { return served[std::uniform_int_distribution<std::size_t>(0, served.size() - 1)(rng)]; };
    std::vector<double> fit, front, alternatives, avoid, via, maxLegs, reach, reachFit;
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
        Choices::Query m = q;
        m.hasMaxLegs = true;
        m.maxLegs = 2;
        maxLegs.push_back(timed([&] { choices.fit(m, INT_MAX); }));
        Choices::Query r;
        r.from = {from};
        std::vector<Choices::Reached> reached;
        const double reachUs = timed([&] { reached = choices.reach(r, 3); });
        if (!reached.empty()) {
            const Choices::Reached* last = &reached.front();
            for (const Choices::Reached& x : reached)
                if (std::make_pair(x.days, x.airport) > std::make_pair(last->days, last->airport)) last = &x;
            // Another departure first, so that this fit is a fresh search.
            fitting.fitRoute(INT_MAX, any(), any(), &route);
            reach.push_back(reachUs);
            reachFit.push_back(timed([&] { fitting.fitRoute(INT_MAX, from, last->airport, &route); }));
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
    kind("5 alternatives", alternatives, 10, "k = 5 alternatives / single fit (medians)");
    kind("fit avoiding one airport", avoid, 1.3, "fit avoiding an airport / single fit");
    kind("fit via one airport", via, 1.3, "fit via an airport / single fit");
    kind("fit with at most 2 legs", maxLegs, 1.3, "fit with at most 2 legs / single fit");
    const Stats sr = stats(reach), srf = stats(reachFit);
    char note[96];
    std::snprintf(note, sizeof note, "%.2fx a fit settling the same airports (%.2f us)", sr.median / srf.median,
                  srf.median);
    row("reach within 3 days", sr, note);
    target("reach within 3 days / fit settling the same airports", sr.median / srf.median, 1.2);
    std::string sizes;
    for (const auto& s : frontSizes) sizes += " " + std::to_string(s.first) + ": " + std::to_string(s.second) + ",";
    if (!sizes.empty()) sizes.pop_back();
    std::printf("INFO\tFront size over %d queries (points: queries):%s\n", queries, sizes.c_str());
    return 0;
}
