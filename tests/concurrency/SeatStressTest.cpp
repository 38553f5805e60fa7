// Eight threads selling seats on one tavrik::Network of small capacities (1
// to 3 seats), so that most sales contend for the last seats: fit-and-book
// for 1 to 3 passengers with and without request keys, retries of keyed
// requests (a thread's own, and keys that several threads send with the
// same request), cancels, capacity changes, flights removed and added again
// under the same number, and the host classes' one-seat bookings
// (fitAndBook). The ThreadSanitizer build runs it too.
//
// While they run: a retried key answers with its first booking, a key that
// several threads send is sold once, a cancel gives seats back once. At the
// end, for every flight: seats sold <= capacity, and sold = the host
// classes' seats on it + the passengers of the live bookings holding it;
// every booking's legs are flights that existed; every booking was handed
// to some caller; no key is held by two bookings.
//
// Each flight added carries a name of its own, so that a host-class sale,
// which reports its legs with their names, is counted on the very flight it
// was sold on, even after the number was given to another flight.
//
// TAVRIK_SEAT_STRESS_OPS sets the operations in all (default 1,000,000; the
// instrumented builds run fewer, the whole count under the label `long`).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "library/Network.h"

namespace {

using tavrik::Network;
using tavrik::Refusal;
using tavrik::Rule;

constexpr int kThreads = 8;
constexpr int kAirports = 10;
constexpr int kFlights = 40;
constexpr int kSharedKeys = 200;

std::int64_t totalOperations(std::int64_t fallback) {
    if (const char* env = std::getenv("TAVRIK_SEAT_STRESS_OPS")) return std::atoll(env);
    return fallback;
}

// The request a shared key always stands for.
struct SharedRequest {
    int from, to, passengers;
};
SharedRequest sharedRequest(int k) {
    const int from = k % kAirports;
    int to = (k / kAirports) % kAirports;
    if (to == from) to = (to + 1) % kAirports;
    return SharedRequest{from, to, 1 + k % 3};
}

struct Instance {
    int from, flight, to;
    bool operator<(const Instance& o) const {
        return std::tie(from, flight, to) < std::tie(o.from, o.flight, o.to);
    }
};

// What every thread writes down, behind one mutex (held only for the
// bookkeeping, never across a call of the network).
struct Ledger {
    std::mutex lock;
    std::map<std::string, Instance> instances;     // every flight ever added, by name
    std::map<std::string, std::int64_t> hostSold;  // host-class seats by flight name
    std::map<std::string, std::int64_t> sharedKeys;
    std::set<std::int64_t> handedOut;  // every booking id a call returned
    std::set<std::int64_t> cancelledNow;
    std::vector<std::string> failures;
    // Where flight 100 + i departs now: its owner writes it, the others read it (the flight may
    // be moving, and a call naming it then finds no such flight).
    std::atomic<int> departure[kFlights] = {};

    void fail(const std::string& what) {
        std::lock_guard<std::mutex> g(lock);
        if (failures.size() < 10) failures.push_back(what);
    }
};

struct Counts {
    std::int64_t sold = 0, refusedSeats = 0, noRoute = 0, retries = 0, cancels = 0, capacityRefused = 0,
                 hostSold = 0, hostRefused = 0, edits = 0;
    void add(const Counts& o) {
        sold += o.sold;
        refusedSeats += o.refusedSeats;
        noRoute += o.noRoute;
        retries += o.retries;
        cancels += o.cancels;
        capacityRefused += o.capacityRefused;
        hostSold += o.hostSold;
        hostRefused += o.hostRefused;
        edits += o.edits;
    }
};

struct FlightSlot {
    int number;
    int from, to;  // as the owner last added it
    int generation = 0;
};

class Seller {
public:
    Seller(Network& net, Ledger& ledger, std::vector<FlightSlot>& flights, int id, unsigned seed)
        : net(net), ledger(ledger), flights(flights), id(id), rng(seed) {}

    void run(std::int64_t operations) {
        for (std::int64_t i = 0; i < operations; ++i) step();
    }
    const Counts& counts() const { return seen; }
    const std::map<std::string, std::int64_t>& keys() const { return ownKeys; }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    void handedOut(std::int64_t booking) {
        std::lock_guard<std::mutex> g(ledger.lock);
        ledger.handedOut.insert(booking);
    }

    void step() {
        const int r = pick(0, 99);
        try {
            if (r < 40) {
                sell();
            } else if (r < 48) {
                retry();
            } else if (r < 66) {
                cancel();
            } else if (r < 76) {
                capacity();
            } else if (r < 86) {
                hostBooking();
            } else if (r < 92) {
                editOwnFlight();
            } else {
                read();
            }
        } catch (const Refusal& refusal) {
            ledger.fail("thread " + std::to_string(id) + ": unexpected refusal, rule " +
                        std::to_string(static_cast<int>(refusal.rule)));
        } catch (const std::exception& e) {
            ledger.fail("thread " + std::to_string(id) + ": " + e.what());
        }
    }

    // fitAndBookFor; the booking id, or 0 when refused for want of seats or
    // of a route.
    std::int64_t fitAndBook(int from, int to, int passengers, const std::string* key) {
        try {
            const TBooking b = net.fitAndBookFor(INT_MAX, from, to, passengers, key);
            if (b.passengers != passengers || (key != nullptr && b.key != *key))
                ledger.fail("booking " + std::to_string(b.id) + " is not the request's");
            handedOut(b.id);
            return b.id;
        } catch (const Refusal& refusal) {
            if (refusal.rule != Rule::NoRoute) throw;
            ++seen.noRoute;
            return 0;
        }
    }

    void sell() {
        const int kind = pick(0, 9);
        if (kind < 3) {
            const int k = pick(0, kSharedKeys - 1);
            const SharedRequest q = sharedRequest(k);
            const std::string key = "shared-" + std::to_string(k);
            const std::int64_t got = fitAndBook(q.from, q.to, q.passengers, &key);
            if (got == 0) return;
            std::lock_guard<std::mutex> g(ledger.lock);
            auto first = ledger.sharedKeys.emplace(key, got);
            if (first.first->second != got)
                ledger.failures.push_back(key + " sold as " + std::to_string(got) + " and as " +
                                          std::to_string(first.first->second));
            return;
        }
        const int from = pick(0, kAirports - 1);
        int to = pick(0, kAirports - 2);
        if (to >= from) ++to;
        const int passengers = pick(1, 3);
        if (kind == 9) {
            // Check, then book, in two calls: another thread may take the
            // seats in between, and the booking is then refused whole.
            const tavrik::FitAnswer a = net.fitFor(INT_MAX, from, to, passengers);
            if (a.kind != tavrik::FitAnswer::Kind::Route) return;
            std::vector<TLegRequest> legs;
            for (const tavrik::ReportedFlight& leg : a.legs) legs.push_back(TLegRequest{leg.flight, leg.from, leg.to});
            try {
                const TBooking b = net.bookRoute(legs, passengers, nullptr);
                handedOut(b.id);
                own.push_back(b.id);
                ++seen.sold;
            } catch (const Refusal& refusal) {
                if (refusal.rule != Rule::NoFreeSeats && refusal.rule != Rule::UnknownFlight &&
                    refusal.rule != Rule::UnknownAirport)
                    throw;
                ++seen.refusedSeats;
            }
            return;
        }
        if (kind < 6) {
            const std::int64_t got = fitAndBook(from, to, passengers, nullptr);
            if (got != 0) own.push_back(got), ++seen.sold;
            return;
        }
        last = Keyed{"t" + std::to_string(id) + "-" + std::to_string(++keyCount), from, to, passengers, 0};
        last.booking = fitAndBook(from, to, passengers, &last.key);
        if (last.booking != 0) {
            own.push_back(last.booking);
            ownKeys[last.key] = last.booking;
            ++seen.sold;
        }
    }

    void retry() {
        if (last.key.empty()) return;
        ++seen.retries;
        const std::int64_t got = fitAndBook(last.from, last.to, last.passengers, &last.key);
        if (last.booking != 0 && got != last.booking)
            ledger.fail(last.key + " answered " + std::to_string(got) + " after " + std::to_string(last.booking));
        if (last.booking == 0 && got != 0) {
            last.booking = got;
            own.push_back(got);
            ownKeys[last.key] = got;
            ++seen.sold;
        }
    }

    void cancel() {
        std::int64_t booking;
        if (own.empty() || pick(0, 9) == 0) {
            booking = pick(1, 1000000);
        } else {
            const std::size_t i = static_cast<std::size_t>(pick(0, static_cast<int>(own.size()) - 1));
            booking = own[i];
            own[i] = own.back();
            own.pop_back();
        }
        try {
            if (net.cancelBooking(booking)) {
                ++seen.cancels;
                std::lock_guard<std::mutex> g(ledger.lock);
                if (!ledger.cancelledNow.insert(booking).second)
                    ledger.failures.push_back("booking " + std::to_string(booking) + " cancelled twice");
            }
        } catch (const Refusal& refusal) {
            if (refusal.rule != Rule::UnknownBooking) throw;
        }
    }

    void capacity() {
        const int i = pick(0, kFlights - 1);
        try {
            net.setSeats(ledger.departure[i].load(std::memory_order_relaxed), 100 + i, pick(0, 3));
        } catch (const Refusal& refusal) {
            // Sold out past the new capacity, or the owner is moving it.
            if (refusal.rule != Rule::SeatsBelowSold && refusal.rule != Rule::UnknownFlight) throw;
            ++seen.capacityRefused;
        }
    }

    void hostBooking() {
        const int from = pick(0, kAirports - 1), to = pick(0, kAirports - 1);
        const tavrik::FittedRoute r = net.fitAndBook(INT_MAX, from, to);
        if (r.booking != 0) {  // a leg without a seat: nothing booked
            ++seen.hostRefused;
            return;
        }
        if (r.result != 0 || r.legs.empty()) return;
        ++seen.hostSold;
        std::lock_guard<std::mutex> g(ledger.lock);
        for (const tavrik::ReportedFlight& leg : r.legs) ++ledger.hostSold[leg.name];
    }

    // Takes one of this thread's flights away and adds a flight with its
    // number again, half the time between the same two airports.
    void editOwnFlight() {
        std::vector<std::size_t> mine;
        for (std::size_t i = static_cast<std::size_t>(id); i < flights.size(); i += kThreads) mine.push_back(i);
        FlightSlot& f = flights[mine[static_cast<std::size_t>(pick(0, static_cast<int>(mine.size()) - 1))]];
        if (!net.eraseFlight(f.from, f.number)) ledger.fail("flight " + std::to_string(f.number) + " was not there");
        if (pick(0, 1)) {
            f.from = pick(0, kAirports - 1);
            f.to = pick(0, kAirports - 2);
            if (f.to >= f.from) ++f.to;
        }
        const std::string name = "f" + std::to_string(f.number) + "g" + std::to_string(++f.generation);
        {
            std::lock_guard<std::mutex> g(ledger.lock);
            ledger.instances[name] = Instance{f.from, f.number, f.to};
        }
        net.insertFlight(f.number, name, pick(1, 3), f.from, f.to);
        ledger.departure[f.number - 100].store(f.from, std::memory_order_relaxed);
        try {
            net.setSeats(f.from, f.number, pick(1, 3));
        } catch (const Refusal& refusal) {
            // Host-class seats sold on it before it had a capacity.
            if (refusal.rule != Rule::SeatsBelowSold) throw;
            ++seen.capacityRefused;
        }
        ++seen.edits;
    }

    void read() {
        const int i = pick(0, kFlights - 1);
        const int from = ledger.departure[i].load(std::memory_order_relaxed);
        try {
            if (pick(0, 1)) {
                for (const TBooking& b : net.readBookings(from, 100 + i))
                    if (b.cancelled) ledger.fail("a cancelled booking still holds a flight");
            } else {
                const TFlightSeats s = net.readSeats(from, 100 + i);
                if (s.limited() && s.sold > s.seats) ledger.fail("a flight sold past its seats");
            }
        } catch (const Refusal& refusal) {
            if (refusal.rule != Rule::UnknownFlight) throw;
        }
        const tavrik::FitAnswer a = net.fitFor(INT_MAX, pick(0, kAirports - 1), pick(0, kAirports - 1), pick(1, 3));
        (void)a;
    }

    struct Keyed {
        std::string key;
        int from = 0, to = 0, passengers = 0;
        std::int64_t booking = 0;
    };

    Network& net;
    Ledger& ledger;
    std::vector<FlightSlot>& flights;  // this thread reads and edits only its own slots
    const int id;
    std::mt19937 rng;
    std::vector<std::int64_t> own;
    std::map<std::string, std::int64_t> ownKeys;
    Keyed last;
    std::int64_t keyCount = 0;
    Counts seen;
};

void runSeatStress(std::int64_t total) {
    Network net;
    Ledger ledger;
    std::vector<FlightSlot> flights;
    std::mt19937 rng(2026);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int a = 0; a < kAirports; ++a) net.insertAirport(a, "a" + std::to_string(a));
    for (int i = 0; i < kFlights; ++i) {
        FlightSlot f{100 + i, pick(0, kAirports - 1), 0};
        f.to = pick(0, kAirports - 2);
        if (f.to >= f.from) ++f.to;
        const std::string name = "f" + std::to_string(f.number) + "g0";
        ledger.instances[name] = Instance{f.from, f.number, f.to};
        net.insertFlight(f.number, name, pick(1, 3), f.from, f.to);
        net.setSeats(f.from, f.number, pick(1, 3));
        ledger.departure[i].store(f.from);
        flights.push_back(f);
    }

    std::vector<std::unique_ptr<Seller>> sellers;
    for (int t = 0; t < kThreads; ++t)
        sellers.push_back(std::make_unique<Seller>(net, ledger, flights, t, 77u + static_cast<unsigned>(t)));
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (auto& s : sellers) threads.emplace_back([&s, total] { s->run(total / kThreads); });
    for (std::thread& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    Counts all;
    for (auto& s : sellers) all.add(s->counts());
    std::printf("[seat-stress] %d threads, %lld operations in %.2f s: sold %lld, refused for want of seats %lld "
                "(no route %lld), retries %lld, cancels %lld, capacities refused %lld, host-class seats %lld "
                "(refused %lld), flights added again %lld\n",
                kThreads, static_cast<long long>(total), seconds, static_cast<long long>(all.sold),
                static_cast<long long>(all.refusedSeats), static_cast<long long>(all.noRoute),
                static_cast<long long>(all.retries), static_cast<long long>(all.cancels),
                static_cast<long long>(all.capacityRefused), static_cast<long long>(all.hostSold),
                static_cast<long long>(all.hostRefused), static_cast<long long>(all.edits));
    for (const std::string& f : ledger.failures) ADD_FAILURE() << f;

    // ---- the end state ----
    ISeatBooking& seats = *net.seatService();
    const std::int64_t count = seats.bookingCount();
    std::map<std::pair<int, int>, std::int64_t> held;  // (departure, number) -> live passengers
    std::set<Instance> everAdded;
    for (const auto& entry : ledger.instances) everAdded.insert(entry.second);
    std::map<std::string, std::int64_t> keys;
    for (std::int64_t id = 1; id <= count; ++id) {
        const TBooking& b = *seats.booking(id);
        EXPECT_TRUE(ledger.handedOut.count(id)) << "booking " << id << " was never handed to a caller";
        EXPECT_EQ(b.cancelled, ledger.cancelledNow.count(id) == 1) << "booking " << id;
        if (!b.key.empty()) {
            EXPECT_TRUE(keys.emplace(b.key, id).second) << "key " << b.key << " sold twice";
        }
        for (const TBookedLeg& leg : b.legs) {
            EXPECT_TRUE(everAdded.count(Instance{leg.from, leg.flight, leg.to}))
                << "booking " << id << " holds a flight that never existed";
            if (!b.cancelled && !leg.gone) held[{leg.from, leg.flight}] += b.passengers;
        }
    }
    for (auto& s : sellers)
        for (const auto& [key, id] : s->keys()) EXPECT_EQ(id, keys[key]) << key;
    for (const auto& [key, id] : ledger.sharedKeys) EXPECT_EQ(id, keys[key]) << key;

    std::int64_t flightsChecked = 0, full = 0;
    for (const tavrik::AirportItem& airport : net.readAirports()) {
        for (const tavrik::ReportedFlight& f : net.readAirport(airport.airport).flights) {
            if (f.from != airport.airport) continue;
            const TFlightSeats s = net.readSeats(f.from, f.flight);
            const tavrik::AirportSnapshot there = net.readAirport(f.to);
            for (const tavrik::ReportedFlight& g : there.flights)
                if (g.flight == f.flight) {
                    EXPECT_EQ(f.booked, g.booked) << "the two entries of " << f.name;
                }
            if (s.limited()) {
                EXPECT_LE(s.sold, s.seats) << f.name << " oversold";
            }
            if (s.limited() && s.sold == s.seats) ++full;
            const auto host = ledger.hostSold.find(f.name);
            const std::int64_t expected =
                held[{f.from, f.flight}] + (host == ledger.hostSold.end() ? 0 : host->second);
            EXPECT_EQ(expected, s.sold) << f.name << ": sold is not the live bookings and host-class seats";
            ++flightsChecked;
        }
    }
    EXPECT_EQ(kFlights, flightsChecked);
    std::printf("[seat-stress] %lld bookings, %zu keys, %lld of %lld flights full at the end\n",
                static_cast<long long>(count), keys.size(), static_cast<long long>(full),
                static_cast<long long>(flightsChecked));
    // The mix must have reached every kind of outcome.
    EXPECT_GT(all.sold, 0);
    EXPECT_GT(all.noRoute, 0);
    EXPECT_GT(all.refusedSeats, 0);
    EXPECT_GT(all.cancels, 0);
    EXPECT_GT(all.hostSold, 0);
    EXPECT_GT(all.hostRefused, 0);
    EXPECT_GT(all.capacityRefused, 0);
}

#if defined(TAVRIK_STRESS_TSAN) || defined(TAVRIK_STRESS_SANITIZED)
constexpr std::int64_t kDefaultOperations = 80000;
#else
constexpr std::int64_t kDefaultOperations = 1000000;
#endif

}  // namespace

TEST(SeatStress, EightThreadsSellTheLastSeats) { runSeatStress(totalOperations(kDefaultOperations)); }

// The whole count in every build (label `long`).
TEST(SeatStressLong, EightThreadsSellTheLastSeatsAMillionTimes) { runSeatStress(totalOperations(1000000)); }
