#pragma once

// Random changes of a tavrik::Network through its own operations (edits,
// batch loads, capacities, bookings with and without request keys, retried
// keys, cancels, the fixed booking), each described with its outcome, so
// that two networks given the same seed can be compared call by call. Used
// by the durable network's tests (a network kept in a folder against one in
// memory) and by the kill driver.

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/Network.h"

namespace durabletest {

class NetworkChanges {
public:
    explicit NetworkChanges(std::uint64_t seed, int airports = 8) : rng(seed), airports(airports) {}

    // Applies one random change; returns its outcome ("ok ...", a refusal's
    // rule and numbers, or an invalid argument).
    std::string apply(tavrik::Network& n) {
        const int k = pick(0, 99);
        try {
            if (k < 8) {
                const int a = airport();
                n.insertAirport(a, "A" + std::to_string(a));
                return "ok";
            }
            if (k < 30) {
                const int f = pick(0, 6), from = airport(), to = airport();
                n.insertFlight(f, "F" + std::to_string(f), pick(0, 3), from, to);
                return "ok";
            }
            if (k < 34) return n.eraseFlight(airport(), pick(0, 6)) ? "ok removed" : "ok none";
            if (k < 35) return n.eraseAirport(airport()) ? "ok removed" : "ok none";
            if (k < 42) {
                n.setSeats(airport(), pick(0, 6), pick(0, 6));
                return "ok";
            }
            if (k < 62) {
                const std::string key = "k" + std::to_string(pick(0, 30));
                const bool keyed = pick(0, 1) == 0;
                const auto b = n.fitAndBookFor(pick(0, 8), airport(), airport(), pick(1, 2), keyed ? &key : nullptr);
                return "ok booking " + std::to_string(b.id) + " legs " + std::to_string(b.legs.size());
            }
            if (k < 70) {
                // A route of one or two legs named by the caller.
                std::vector<TLegRequest> legs;
                const int hops = pick(1, 2);
                int at = airport();
                for (int i = 0; i < hops; ++i) {
                    const int to = airport();
                    legs.push_back(TLegRequest{pick(0, 6), at, to});
                    at = to;
                }
                const std::string key = "b" + std::to_string(pick(0, 30));
                const auto b = n.bookRoute(legs, pick(1, 3), pick(0, 1) == 0 ? &key : nullptr);
                return "ok booking " + std::to_string(b.id);
            }
            if (k < 82) {
                const std::int64_t count = n.seatService()->bookingCount();
                return n.cancelBooking(count == 0 ? 1 : pick(1, int(count))) ? "ok cancelled" : "ok cancelled before";
            }
            if (k < 85) {
                std::vector<tavrik::AirportItem> as;
                std::vector<tavrik::FlightItem> fs;
                const int a = airport();
                as.push_back({a, "L" + std::to_string(a)});
                fs.push_back({pick(0, 6), "G", pick(0, 3), a, airport()});
                n.load(as, fs);
                return "ok loaded";
            }
            if (k < 90) return "code " + std::to_string(n.addAirport(airport(), "H"));
            if (k < 95) return "code " + std::to_string(n.addFlight("H", pick(0, 6), pick(0, 3), airport(), airport()));
            return "code " + std::to_string(n.fitAndBook(pick(0, 8), airport(), airport()).result);
        } catch (const tavrik::Refusal& r) {
            return "refused " + std::to_string(int(r.rule)) + " " + std::to_string(r.a) + " " + std::to_string(r.b) +
                   " " + std::to_string(r.c);
        } catch (const std::invalid_argument& e) {
            return std::string("invalid ") + e.what();
        }
    }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

private:
    int airport() { return pick(0, airports - 1); }
    std::mt19937_64 rng;
    int airports;
};

}  // namespace durabletest
