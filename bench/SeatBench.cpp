// Times the seat operations of tavrik::Network on the OpenFlights network
// and under contention, beside the calls they are measured against:
//  - fit for 2 passengers with 20 % of the flights full (every flight given
//    180 seats, one in five then given 0) vs the plain fit, on the same pairs,
//    the two calls alternating so that both see the same machine;
//  - fit-and-book for 2 passengers (a booking record, seats checked on every
//    leg) vs the host classes' whole-route fitAndBook (what Routes.fitAndBook
//    calls), alternating likewise;
//  - cancel of those bookings vs an edit (adding a flight);
//  - 8 threads selling 1 to 3 passengers on flights of 1 to 3 seats, with
//    cancels putting seats back: sales per second and the count of refused
//    sales, on one network and, for comparison, with each thread on a
//    network of its own.
// Each timed call is timed alone with the steady clock; the rows give the
// median, mean and 99th percentile in microseconds.
//
// Output: the tab-separated ROW / TARGET / INFO lines of scripts/bench.
// Usage: tavrik-seat-bench [openflights-dir] [pairs] [contended-operations]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/Timing.h"
#include "library/Network.h"
#include "openflights/OpenFlightsNetwork.h"

namespace {

using tavrik::bench::Clock;
using tavrik::bench::microsSince;
using tavrik::bench::row;
using tavrik::bench::stats;
using tavrik::bench::Stats;

void rowValue(const std::string& what, const std::string& value, const std::string& note) {
    std::printf("ROW\t%s\t%s\t\t\t%s\n", what.c_str(), value.c_str(), note.c_str());
}

void target(const std::string& what, double measured, const std::string& goal, bool met) {
    std::printf("TARGET\t%s\t%.2fx\t%s\t%s\n", what.c_str(), measured, goal.c_str(), met ? "met" : "MISSED");
}

template <class Call>
double timed(Call&& call) {
    const auto t0 = Clock::now();
    call();
    return microsSince(t0);
}

void openFlights(const std::string& dir, std::size_t pairCount) {
    const openflights::Network data = openflights::read(dir);
    tavrik::Network net;
    openflights::enter(data, net);
    std::vector<int> served;
    for (const openflights::Flight& f : data.flights) served.push_back(f.from);
    std::sort(served.begin(), served.end());
    served.erase(std::unique(served.begin(), served.end()), served.end());

    // 180 seats on every flight, then one flight in five full. Beside it the
    // same network without the full flights, where a plain fit must find
    // what the fit for seats finds: the work any search for that answer does.
    std::mt19937_64 rng(2026);
    std::size_t full = 0;
    tavrik::Network reduced;
    for (const openflights::Airport& a : data.airports) reduced.addAirport(a.id, a.name);
    for (const openflights::Flight& f : data.flights) {
        const bool isFull = rng() % 5 == 0;
        net.setSeats(f.from, f.number, isFull ? 0 : 180);
        if (!isFull) reduced.addFlight(f.name, f.number, f.days, f.from, f.to);
        full += isFull;
    }
    std::printf("INFO\tSeats: OpenFlights, %zu flights with seats, %zu of them full\n", data.flights.size(), full);

    std::vector<std::pair<int, int>> pairs;
    int lastFrom = INT_MIN;
    while (pairs.size() < pairCount) {
        const int from = served[rng() % served.size()], to = served[rng() % served.size()];
        if (from == to || from == lastFrom) continue;  // every query a fresh search
        pairs.emplace_back(from, to);
        lastFrom = from;
    }

    std::vector<double> plain, forTwo, without;
    std::size_t routes = 0, detours = 0, disagreements = 0;
    for (const auto& [from, to] : pairs) {
        tavrik::FitAnswer a, b, c;
        plain.push_back(timed([&] { a = net.fit(INT_MAX, from, to); }));
        forTwo.push_back(timed([&] { b = net.fitFor(INT_MAX, from, to, 2); }));
        without.push_back(timed([&] { c = reduced.fit(INT_MAX, from, to); }));
        if (b.kind != c.kind || b.legs.size() != c.legs.size() ||
            !std::equal(b.legs.begin(), b.legs.end(), c.legs.begin(),
                        [](const auto& x, const auto& y) { return x.flight == y.flight && x.from == y.from; }))
            ++disagreements;
        routes += b.kind == tavrik::FitAnswer::Kind::Route;
        if (a.legs.size() != b.legs.size() ||
            !std::equal(a.legs.begin(), a.legs.end(), b.legs.begin(),
                        [](const auto& x, const auto& y) { return x.flight == y.flight && x.from == y.from; }))
            ++detours;
    }
    const Stats p = stats(plain), s = stats(forTwo), w = stats(without);
    row("C++ seats: fit (plain), OpenFlights", p, std::to_string(pairs.size()) + " pairs");
    row("C++ seats: fit for 2 passengers, 20 % of flights full", s,
        std::to_string(routes) + " with a route, " + std::to_string(detours) + " differ from the plain route");
    row("C++ seats: plain fit on the network without the full flights", w,
        std::to_string(disagreements) + " answers differ from the fit for 2");
    target("Seats: fit for 2 with 20 % full vs plain fit, median", s.median / p.median, "<= 1.2x",
           s.median <= 1.2 * p.median);
    std::printf("INFO\tSeats: fit for 2 vs a plain fit on the network without the full flights: %.2fx (median)\n",
                s.median / w.median);

    // Fit-and-book: seats taken on every leg and a record kept, against the
    // host classes' whole-route booking of the same pairs.
    std::vector<double> hostBook, seatBook;
    std::vector<std::int64_t> booked;
    for (const auto& [from, to] : pairs) {
        hostBook.push_back(timed([&, from = from, to = to] { net.fitAndBook(INT_MAX, from, to); }));
        seatBook.push_back(timed([&, from = from, to = to] {
            try {
                booked.push_back(net.fitAndBookFor(INT_MAX, from, to, 2, nullptr).id);
            } catch (const tavrik::Refusal&) {
            }
        }));
    }
    const Stats h = stats(hostBook), b = stats(seatBook);
    row("C++ seats: host classes' fitAndBook (Routes.fitAndBook)", h, std::to_string(pairs.size()) + " pairs");
    row("C++ seats: fit-and-book for 2 passengers", b, std::to_string(booked.size()) + " booked");
    target("Seats: fit-and-book for 2 vs Routes.fitAndBook's call, median", b.median / h.median, "<= 1.5x",
           b.median <= 1.5 * h.median);

    // Cancel against an edit: adding a flight between two served airports.
    std::vector<double> cancels, edits;
    int number = 10000000;
    for (std::size_t i = 0; i < booked.size(); ++i) {
        cancels.push_back(timed([&] { net.cancelBooking(booked[i]); }));
        const int from = served[rng() % served.size()];
        int to = from;
        while (to == from) to = served[rng() % served.size()];
        edits.push_back(timed([&] { net.addFlight("E", number++, 1, from, to); }));
    }
    const Stats c = stats(cancels), e = stats(edits);
    row("C++ seats: cancel", c, std::to_string(cancels.size()) + " bookings of 2 passengers");
    row("C++ seats: edit (addFlight) for comparison", e, "");
    target("Seats: cancel vs an edit, median", c.median / e.median, "<= 1x", c.median <= e.median);
}

// One thread's share of the contended sales: fit-and-book for 1 to 3
// passengers between random airports of a small network, a third of the
// time a cancel of one of its own bookings instead.
struct Sales {
    std::int64_t sold = 0, refused = 0, cancels = 0;
};

void buildSmall(tavrik::Network& net) {
    std::mt19937 rng(7);
    for (int a = 0; a < 10; ++a) net.insertAirport(a, "a");
    for (int i = 0; i < 40; ++i) {
        const int from = static_cast<int>(rng() % 10);
        const int to = (from + 1 + static_cast<int>(rng() % 9)) % 10;
        net.insertFlight(100 + i, "f", 1 + static_cast<int>(rng() % 3), from, to);
        net.setSeats(from, 100 + i, 1 + static_cast<int>(rng() % 3));
    }
}

Sales sell(tavrik::Network& net, std::int64_t operations, unsigned seed) {
    std::mt19937 rng(seed);
    Sales s;
    std::vector<std::int64_t> own;
    for (std::int64_t i = 0; i < operations; ++i) {
        if (!own.empty() && rng() % 3 == 0) {
            const std::size_t k = rng() % own.size();
            net.cancelBooking(own[k]);
            own[k] = own.back();
            own.pop_back();
            ++s.cancels;
            continue;
        }
        const int from = static_cast<int>(rng() % 10);
        const int to = (from + 1 + static_cast<int>(rng() % 9)) % 10;
        try {
            own.push_back(net.fitAndBookFor(INT_MAX, from, to, 1 + static_cast<int>(rng() % 3), nullptr).id);
            ++s.sold;
        } catch (const tavrik::Refusal&) {
            ++s.refused;
        }
    }
    return s;
}

void contended(std::int64_t operations) {
    constexpr int kThreads = 8;
    for (const bool ownNetworks : {false, true}) {
        std::vector<std::unique_ptr<tavrik::Network>> nets;
        for (int t = 0; t < (ownNetworks ? kThreads : 1); ++t) {
            nets.push_back(std::make_unique<tavrik::Network>());
            buildSmall(*nets.back());
        }
        std::vector<Sales> sales(kThreads);
        std::vector<std::thread> threads;
        const auto t0 = Clock::now();
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                sales[static_cast<std::size_t>(t)] =
                    sell(*nets[ownNetworks ? static_cast<std::size_t>(t) : 0], operations / kThreads, 100u + t);
            });
        for (std::thread& th : threads) th.join();
        const double seconds = microsSince(t0) / 1e6;
        Sales all;
        for (const Sales& s : sales) {
            all.sold += s.sold;
            all.refused += s.refused;
            all.cancels += s.cancels;
        }
        const double calls = static_cast<double>(all.sold + all.refused + all.cancels);
        char value[64], note[200];
        std::snprintf(value, sizeof value, "%.0f calls/s", calls / seconds);
        std::snprintf(note, sizeof note, "%lld sold, %lld refused (no seats on any route), %lld cancelled, %.2f s",
                      static_cast<long long>(all.sold), static_cast<long long>(all.refused),
                      static_cast<long long>(all.cancels), seconds);
        rowValue(ownNetworks ? "C++ seats: 8 threads, each on a network of its own"
                             : "C++ seats: 8 threads selling 1-3 seat flights of one network",
                 value, note);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : TAVRIK_OPENFLIGHTS_DIR;
    const std::size_t pairs = argc > 2 ? std::stoul(argv[2]) : 2000;
    const std::int64_t contendedOps = argc > 3 ? std::stoll(argv[3]) : 400000;
    openFlights(dir, pairs);
    std::fflush(stdout);
    contended(contendedOps);
    return 0;
}
