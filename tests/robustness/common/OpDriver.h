#pragma once

// Drives the library and the model with the same operations and compares
// every result code, the ticket list, every flight table with its booked
// counts, and the reports. The operations come from a Source, which is either
// a seeded random generator (the random-operation test) or the fuzzer's bytes.
//
// The number ranges are small on purpose: few airports, few flight numbers
// and few day counts give many collisions, refusals, equal totals and
// zero-day flights.

#include <algorithm>
#include <cstdint>
#include <list>
#include <memory>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/robustness/common/LibraryState.h"
#include "tests/robustness/common/Model.h"

namespace robustness {

struct Ranges {
    int airportLo = -2;
    int airportHi = 8;
    int flightHi = 6;  // flight numbers 0..flightHi
    int dayLo = 0;
    int dayHi = 3;
};

// Random choices from a seeded generator.
class RandomSource {
public:
    explicit RandomSource(std::uint64_t seed) : rng(seed) {}
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool exhausted() const { return false; }

private:
    std::mt19937_64 rng;
};

// Choices read from a byte string; once it is used up every choice is `lo`.
class ByteSource {
public:
    ByteSource(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    int pick(int lo, int hi) {
        if (pos >= size) {
            ++pos;
            return lo;
        }
        const unsigned span = static_cast<unsigned>(hi - lo) + 1u;
        unsigned value = data[pos++];
        // Wide choices take a second byte when there is one.
        if (span > 256u && pos < size) value = value << 8 | data[pos++];
        return lo + static_cast<int>(value % span);
    }
    bool exhausted() const { return pos >= size; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

class OpDriver {
public:
    explicit OpDriver(Ranges ranges) : ranges(ranges), lib(new World()) {}

    // How often the interesting outcomes came up, to show the operations
    // reach past the refusals: routes fitted with at least one leg, lists
    // booked, bookings refused after a change, flights added.
    struct Outcomes {
        std::uint64_t routes = 0;
        std::uint64_t longRoutes = 0;  // three legs or more
        std::uint64_t booked = 0;
        std::uint64_t bookingRefused = 0;
        std::uint64_t flightsAdded = 0;
        std::uint64_t airportsRemoved = 0;
        std::uint64_t routeCodes[9] = {};  // getRouteFlight's 0, -1 .. -8
    };
    const Outcomes& outcomes() const { return seen; }

    std::uint64_t operations() const { return ops; }
    std::uint64_t mismatches() const { return mismatchCount; }
    // The first few mismatches, described.
    const std::vector<std::string>& reports() const { return mismatchReports; }

    template <class Source>
    void step(Source& in) {
        ++ops;
        const int kind = in.pick(0, 999);
        std::ostringstream what;
        if (kind < 60) {
            const int a = airport(in);
            const std::string n = name(in);
            what << "store.addAirport(" << a << ')';
            expectCode(what.str(), mod.addAirport(a, n), lib->store.addAirport(a, n));
        } else if (kind < 100) {
            const int a = airport(in);
            const std::string n = name(in);
            what << "management.addAirport(" << a << ')';
            expectCode(what.str(), model::Network::fold(mod.addAirport(a, n)), lib->management.addAirport(a, n));
        } else if (kind < 300) {
            const std::string n = name(in);
            const int f = flight(in), d = days(in), from = airport(in), to = airport(in);
            what << "store.addFlight(" << f << ", d" << d << ", " << from << "->" << to << ')';
            const int expected = mod.addFlight(n, f, d, from, to);
            expectCode(what.str(), expected, lib->store.addFlight(n, f, d, from, to));
            if (expected == 0) ++seen.flightsAdded;
        } else if (kind < 420) {
            const std::string n = name(in);
            const int f = flight(in), d = days(in), from = airport(in), to = airport(in);
            what << "management.addFlight(" << f << ", d" << d << ", " << from << "->" << to << ')';
            expectCode(what.str(), model::Network::fold(mod.addFlight(n, f, d, from, to)),
                       lib->management.addFlight(n, f, d, from, to));
        } else if (kind < 450) {
            const int a = airport(in), f = flight(in);
            what << "store.removeFlight(" << a << ", " << f << ')';
            expectCode(what.str(), mod.removeFlight(a, f), lib->store.removeFlight(a, f));
        } else if (kind < 480) {
            const int a = airport(in), f = flight(in);
            what << "management.removeFlight(" << a << ", " << f << ')';
            expectCode(what.str(), model::Network::fold(mod.removeFlight(a, f)), lib->management.removeFlight(a, f));
        } else if (kind < 483) {
            const int a = airport(in);
            what << "store.removeAirport(" << a << ')';
            const int expected = mod.removeAirport(a);
            expectCode(what.str(), expected, lib->store.removeAirport(a));
            if (expected == 0) ++seen.airportsRemoved;
        } else if (kind < 486) {
            const int a = airport(in);
            what << "management.removeAirport(" << a << ')';
            expectCode(what.str(), model::Network::fold(mod.removeAirport(a)), lib->management.removeAirport(a));
        } else if (kind < 740) {
            // Half the queries keep the last departure airport while it
            // exists, so the library resumes its stopped search instead of
            // starting anew.
            const bool keep = in.pick(0, 1) && mod.airports().count(lastFrom);
            const int from = keep ? lastFrom : airport(in);
            const int to = airport(in);
            // Mostly generous limits, sometimes tight or negative ones.
            const int maxDays = in.pick(0, 3) ? in.pick(0, 4 * ranges.dayHi + 4) : in.pick(-3, 3);
            lastFrom = from;
            what << "getRouteFlight(" << maxDays << ", " << from << ", " << to << ')';
            const int expected = mod.getRouteFlight(maxDays, from, to);
            expectCode(what.str(), expected, lib->booking.getRouteFlight(maxDays, from, to));
            if (expected <= 0 && expected >= -8) ++seen.routeCodes[-expected];
            if (expected == 0 && !mod.tickets().empty()) ++seen.routes;
            if (expected == 0 && mod.tickets().size() >= 6) ++seen.longRoutes;
        } else if (kind < 820) {
            what << "armoringTickets()";
            const int expected = mod.armoringTickets();
            expectCode(what.str(), expected, lib->booking.armoringTickets());
            if (expected == 0) ++seen.booked;
            if (expected == -5) ++seen.bookingRefused;
        } else if (kind < 860) {
            std::vector<TTicket> list;
            const int count = in.pick(0, 4);
            for (int i = 0; i < count; ++i) list.push_back(TTicket{airport(in), flight(in)});
            std::list<TTicket> libList(list.begin(), list.end());
            what << "store.armoringTicketList(" << describe(list) << ')';
            expectCode(what.str(), mod.bookList(list), lib->store.armoringTicketList(&libList));
        } else if (kind < 910) {
            what << "copyRouteReport()";
            expectRows(what.str(), mod.routeReport(),
                       tavrik::copyRouteReport(lib->booking, lib->management));
        } else if (kind < 998 || in.pick(0, 9) != 0) {
            const int a = airport(in);
            what << "copyAirportReport(" << a << ')';
            expectRows(what.str(), mod.airportReport(a), tavrik::copyAirportReport(lib->management, a));
        } else {
            // Now and then a fresh library and model, so that runs also start
            // from an empty network and a cold search.
            what << "restart";
            lib.reset(new World());
            mod = model::Network();
            lastFrom = ranges.airportLo;
        }
        if (trace != nullptr) *trace << ops << ' ' << what.str() << '\n';
        compareState(what.str());
    }

    // Writes every operation as it runs (for reproducing a mismatch).
    void traceTo(std::ostream* out) { trace = out; }

private:
    template <class Source>
    int airport(Source& in) {
        // One below and one above the range: airports that never exist.
        return in.pick(ranges.airportLo - 1, ranges.airportHi + 1);
    }
    template <class Source>
    int flight(Source& in) {
        return in.pick(0, ranges.flightHi);
    }
    template <class Source>
    int days(Source& in) {
        return in.pick(ranges.dayLo, ranges.dayHi);
    }
    template <class Source>
    std::string name(Source& in) {
        static const char* const names[] = {"", "A", "Ab", "a name longer than the small-string buffer",
                                            "K\xc3\xb6ln", "x"};
        return names[in.pick(0, 5)];
    }

    void mismatch(const std::string& what, const std::string& detail) {
        ++mismatchCount;
        if (mismatchReports.size() < 5) {
            std::ostringstream out;
            out << "operation " << ops << ' ' << what << ": " << detail;
            mismatchReports.push_back(out.str());
        }
    }

    void expectCode(const std::string& what, int expected, int actual) {
        if (expected != actual) {
            std::ostringstream out;
            out << "code " << actual << ", model " << expected;
            mismatch(what, out.str());
        }
    }

    void expectRows(const std::string& what, const std::vector<model::Row>& expected,
                    const std::vector<model::Row>& actual) {
        if (!(expected == actual)) mismatch(what, "report" + describe(actual) + "\n  model" + describe(expected));
    }

    void compareState(const std::string& what) {
        const std::list<TTicket>& tickets = *lib->booking.getTickets();
        if (tickets.size() != mod.tickets().size() ||
            !std::equal(tickets.begin(), tickets.end(), mod.tickets().begin()))
            mismatch(what, "tickets" + describe(ticketsOf(lib->booking)) + ", model" + describe(mod.tickets()));
        if (!sameNetwork(lib->store, mod.airports()))
            mismatch(what, "network\n" + describe(networkOf(lib->store)) + "model\n" + describe(mod.airports()));
        // The model keeps the invariants by construction, so a network equal
        // to it keeps them too; the direct check runs now and then as a
        // second line.
        if (ops % 32 == 0) {
            const std::string breach = invariantBreach(lib->store);
            if (!breach.empty()) mismatch(what, breach);
        }
    }

    Ranges ranges;
    std::unique_ptr<World> lib;
    model::Network mod;
    int lastFrom = 0;
    std::uint64_t ops = 0;
    std::ostream* trace = nullptr;
    Outcomes seen;
    std::uint64_t mismatchCount = 0;
    std::vector<std::string> mismatchReports;
};

}  // namespace robustness
