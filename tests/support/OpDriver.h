#pragma once

// The one random edit/query driver of the tests. It drives the library and
// the model with the same operations and compares every result code, the
// ticket list, every flight table with its booked counts, and the reports.
// With `Checks::literal` every route query also goes through the route
// search itself (TFitingFlight, beside the booking service) and is compared
// with the literal search (tests/support/LiteralFitting.h) on a snapshot of
// the library's own store: the exactness test's reference.
//
// Two ways in: `step(source)` draws operations from a Source, either a seeded
// random generator (the random-operation test) or the fuzzer's bytes; the
// named operations (addAirport, addFlight, removeFlight, removeAirport, book,
// check) are the same checked operations for a test that builds its own
// sequence (the exactness test's random networks and focused cases).
//
// The number ranges are small on purpose: few airports, few flight numbers
// and few day counts give many collisions, refusals, equal totals and
// zero-day flights.
//
// The route search keeps its own copy of the network current edit by edit
// and resumes a stopped search across edits that cannot change it, so the
// mix of edits and queries matters as much as the operations: besides an
// even mix there is an edit-heavy one (one to three edits before every
// query) and a query-heavy one (runs of queries, mostly from one departure,
// between rare edits). A few operations are sequences of their own: a
// fitted route whose flight number is given to another flight before the
// list is booked or reported, the winning one of parallel flights taken
// away and put back, an airport taken away and added again. A probe
// (NetworkProbe.h) follows the search's copy of the network and counts its
// rebuilds and queue kinds.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/LibraryState.h"
#include "tests/support/MemoryFiles.h"
#include "tests/support/Model.h"
#include "choices/Choices.h"
#include "fitting/TFitingFlight.h"
#include "tests/support/LiteralChoices.h"
#include "tests/support/LiteralFitting.h"
#include "tests/support/NetworkProbe.h"

namespace robustness {

// How edits and queries follow each other.
enum class Mix {
    Even,        // every kind of operation, drawn alike
    EditHeavy,   // one to three edits, then a query (now and then a booking or report)
    QueryHeavy,  // runs of queries, mostly from the last departure, between rare edits
};

struct Ranges {
    int airportLo = -2;
    int airportHi = 8;
    int flightHi = 6;  // flight numbers 0..flightHi
    int dayLo = 0;
    int dayHi = 3;
    Mix mix = Mix::Even;
    // Edits, queries and report copies also go through the typed operations
    // of tavrik::Network (refusal rules, fit answers, batch loads, copies),
    // half of each kind, drawn alike.
    bool typed = false;
    // One day count in spikeOneIn (0: none) is one that gives the bitmap
    // queue more rows (17, 100, 255) or moves the search to another queue
    // (256, 300, -1, 65536, INT_MAX / 2, INT_MAX). Flights come and go, so
    // the queue switches back and forth.
    int spikeOneIn = 0;
    // Half of the restarts close the network and open it again from a
    // folder (an in-memory file system): its snapshot must give back the
    // whole network, seats, bookings and keys, compared with the model as
    // every other operation is. The current ticket list is not kept.
    bool reopen = false;
};

// The network under test: a tavrik::Network that owns its store and
// services, which the driver also reaches directly.
struct DrivenNetwork {
    explicit DrivenNetwork(std::unique_ptr<tavrik::Network> given = std::make_unique<tavrik::Network>())
        : network(std::move(given)),
          store(*network->ownStore()),
          management(network->managementService()),
          booking(network->bookingService()),
          seats(*network->seatService()) {}
    std::unique_ptr<tavrik::Network> network;
    DataAccess::TDataAccess& store;
    IManagementFlight& management;
    IArmoringTicket& booking;
    ISeatBooking& seats;
};

inline std::string describe(const std::list<TTicket>& tickets) {
    return describe(std::vector<TTicket>(tickets.begin(), tickets.end()));
}

// What every operation is compared with.
struct Checks {
    bool model = true;     // the model's codes, network, booked counts and ticket list
    bool literal = false;  // queries: the literal search on the store, through both entry points
    bool logging = false;  // keep the last operations for mismatch reports
    // queries: also a random route-choice query (front, alternatives, fit or
    // reach, with random constraints) against the brute-force reference
    bool choices = false;
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
    explicit OpDriver(Ranges ranges, Checks checks = Checks{}, std::string label = "")
        : ranges(ranges), checks(checks), label(std::move(label)) {
        start();
    }
    // A driver for a test's own sequences: the literal search checked as
    // well, the last operations kept for the reports.
    explicit OpDriver(std::string label, Checks checks = Checks{true, true, true})
        : OpDriver(Ranges{}, checks, std::move(label)) {}

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
        // Bookings and route reports made while the list held a ticket whose
        // flight number names another flight now (between other airports).
        std::uint64_t reusedNumbers = 0;
        // Winning parallel flights taken away while another one was left.
        std::uint64_t takeovers = 0;
        // Seats: sales, refusals for want of seats or of a route, cancels,
        // retried keyed requests.
        std::uint64_t seatsSold = 0;
        std::uint64_t seatsRefused = 0;
        std::uint64_t cancelled = 0;
        std::uint64_t retries = 0;
        // Route-choice queries: answered with two routes or more, refused
        // for a loop of negative total, skipped (too many routes to list).
        std::uint64_t choiceAnswers = 0;
        std::uint64_t choiceLoops = 0;
        std::uint64_t choiceSkipped = 0;
        // Choice queries answered for N passengers where some flight lacked
        // the seats, and refusals of a passenger count below 1.
        std::uint64_t choiceSeatLimited = 0;
        std::uint64_t choicePassengerRefusals = 0;
        // Typed operations: routes and over-the-limit answers, batch loads
        // taken and refused.
        std::uint64_t typedRoutes = 0;
        std::uint64_t typedOverLimit = 0;
        std::uint64_t loadsTaken = 0;
        std::uint64_t loadsRefused = 0;
        // The model's whole network loaded in one call into a fresh network:
        // taken (the driver goes on with it) and refused.
        std::uint64_t wholeLoads = 0;
        std::uint64_t wholeLoadsRefused = 0;

        void add(const Outcomes& o) {
            seatsSold += o.seatsSold;
            seatsRefused += o.seatsRefused;
            cancelled += o.cancelled;
            retries += o.retries;
            routes += o.routes;
            longRoutes += o.longRoutes;
            booked += o.booked;
            bookingRefused += o.bookingRefused;
            flightsAdded += o.flightsAdded;
            airportsRemoved += o.airportsRemoved;
            for (int i = 0; i < 9; ++i) routeCodes[i] += o.routeCodes[i];
            reusedNumbers += o.reusedNumbers;
            takeovers += o.takeovers;
            choiceAnswers += o.choiceAnswers;
            choiceLoops += o.choiceLoops;
            choiceSkipped += o.choiceSkipped;
            choiceSeatLimited += o.choiceSeatLimited;
            choicePassengerRefusals += o.choicePassengerRefusals;
            typedRoutes += o.typedRoutes;
            typedOverLimit += o.typedOverLimit;
            loadsTaken += o.loadsTaken;
            loadsRefused += o.loadsRefused;
            wholeLoads += o.wholeLoads;
            wholeLoadsRefused += o.wholeLoadsRefused;
        }
    };
    const Outcomes& outcomes() const { return seen; }

    // What the search's copy of the network went through, over restarts.
    NetworkProbe::Counts probeCounts() const {
        NetworkProbe::Counts all = probeBefore;
        all.add(probe->counts());
        return all;
    }

    std::uint64_t operations() const { return ops; }
    std::uint64_t reopens() const { return reopened; }
    std::uint64_t mismatches() const { return mismatchCount; }
    // The first few mismatches, described.
    const std::vector<std::string>& reports() const { return mismatchReports; }
    std::string reportText() const {
        std::string text;
        for (const std::string& r : mismatchReports) text += r + "\n";
        return text;
    }
    std::uint64_t queries() const { return queryCount; }

    // The library under test, for reading (and for tests that call it
    // directly with the model check off).
    DataAccess::TDataAccess& store() { return lib->store; }
    IManagementFlight& management() { return lib->management; }
    ISeatBooking& seatService() { return lib->seats; }
    IArmoringTicket& booking() { return lib->booking; }
    tavrik::Network& network() { return *lib->network; }
    NetworkProbe& networkProbe() { return *probe; }
    // Whether the probe's copy is compared with the store before a query
    // that follows an edit (checks.literal only).
    void setProbing(bool on) { probing = on; }
    void setLogging(bool on) { checks.logging = on; }

    // ---- checked operations, through the flight-management service ----
    // Airports are named "A<number>", flights "F<number>".

    int addAirport(int airport) {
        const std::string n = "A" + std::to_string(airport);
        return edited("management.addAirport(" + std::to_string(airport) + ')',
                      [&] { return model::Network::fold(mod.addAirport(airport, n)); },
                      [&] { return lib->management.addAirport(airport, n); });
    }
    int addFlight(int flight, int days, int from, int to) {
        const std::string n = "F" + std::to_string(flight);
        std::ostringstream what;
        what << "management.addFlight(" << flight << ", d" << days << ", " << from << "->" << to << ')';
        return edited(what.str(), [&] { return model::Network::fold(mod.addFlight(n, flight, days, from, to)); },
                      [&] { return lib->management.addFlight(n, flight, days, from, to); });
    }
    int removeFlight(int airport, int flight) {
        std::ostringstream what;
        what << "management.removeFlight(" << airport << ", " << flight << ')';
        return edited(what.str(), [&] { return model::Network::fold(mod.removeFlight(airport, flight)); },
                      [&] { return lib->management.removeFlight(airport, flight); });
    }
    int removeAirport(int airport) {
        return edited("management.removeAirport(" + std::to_string(airport) + ')',
                      [&] { return model::Network::fold(mod.removeAirport(airport)); },
                      [&] { return lib->management.removeAirport(airport); });
    }
    // Books the current list: counts change, routes must not.
    // A capacity, and a sale for N passengers, as the seat operations make
    // them, for callers that build their own networks: the route choices'
    // free seats follow both.
    void setSeats(int airport, int flight, int capacity) {
        ++ops;
        std::ostringstream what;
        what << "seats.setSeats(" << airport << ", " << flight << ", " << capacity << ')';
        const SeatRule actual = lib->seats.setSeats(airport, flight, capacity).rule;
        if (checks.model) expectRule(what.str(), mod.setSeats(airport, flight, capacity), actual);
        note(what.str() + " -> " + ruleName(actual));
        if (checks.model) compareState(what.str());
    }
    void sell(int maxDays, int from, int to, int passengers) {
        ++ops;
        std::ostringstream what;
        Keyed r;
        r.fitted = true;
        r.maxDays = maxDays;
        r.from = from;
        r.to = to;
        r.passengers = passengers;
        if (!checks.model) {
            what << "seats.fitAndBook(" << maxDays << ", " << from << ", " << to << ", n" << passengers << ')';
            note(what.str() + " -> " + ruleName(lib->seats.fitAndBook(maxDays, from, to, passengers, nullptr).rule));
            return;
        }
        sellBoth(what, r, nullptr);
        note(what.str());
        compareState(what.str());
    }

    int book() {
        ++ops;
        const int actual = lib->booking.armoringTickets();
        if (checks.model) expectCode("armoringTickets()", mod.armoringTickets(), actual);
        note("armoringTickets() -> " + std::to_string(actual));
        if (checks.model) compareState("armoringTickets()");
        return actual;
    }

    // One query through the library (and the checks). Returns the literal
    // search's code (0, -1 .. -4) and fills `expected` with its list; without
    // the literal check, the model's code folded the same way and its list.
    int check(int maxDays, int from, int to, std::list<TTicket>& expected) {
        ++ops;
        std::ostringstream what;
        const int code = query(what, maxDays, from, to, &expected);
        if (checks.model) compareState(what.str());
        return code;
    }
    // The same, returning the booking service's code (0, -5 .. -8).
    int routeCode(int maxDays, int from, int to) {
        std::list<TTicket> ignored;
        check(maxDays, from, to, ignored);
        return lastRouteCode;
    }

    // The smallest total of a query as the literal search finds it, if it has
    // a route within int range; asked through check, so a query like any
    // other.
    std::optional<std::int64_t> total(int from, int to) {
        std::list<TTicket> route;
        if (check(INT_MAX, from, to, route) != 0) return std::nullopt;
        return oracle::routeTotal(oracleNetwork(), route);
    }
    // The same without asking the library, which would move its stopped
    // search on.
    std::optional<std::int64_t> oracleTotal(int from, int to) {
        std::list<TTicket> route;
        if (oracle::literalFitRoute(oracleNetwork(), INT_MAX, from, to, route) != 0) return std::nullopt;
        return oracle::routeTotal(oracleNetwork(), route);
    }
    // A snapshot of the library's store, as the literal search reads it.
    const oracle::Network& oracleNetwork() {
        if (!haveSnapshot || snapshotRevision != lib->store.getRevision()) {
            snapshot = oracle::snapshot(lib->store);
            snapshotRevision = lib->store.getRevision();
            haveSnapshot = true;
        }
        return snapshot;
    }

    template <class Source>
    void step(Source& in) {
        switch (ranges.mix) {
            case Mix::Even: {
                const int k = in.pick(0, 1099);
                operation(in, k < 1000 ? k : kSeats + k - 1000);
                break;
            }
            case Mix::EditHeavy: {
                const int edits = in.pick(1, 3);
                for (int i = 0; i < edits; ++i) operation(in, editKind(in));
                if (in.pick(0, 3) == 0) operation(in, kSeats + in.pick(0, 99));
                const int after = in.pick(0, 19);
                operation(in, after < 15 ? kQuery : after < 17 ? kReuseNumber : after < 19 ? kBook : kRouteReport);
                break;
            }
            case Mix::QueryHeavy: {
                // Rare edits once the network has two flights per airport;
                // until then it is being built.
                if (flightCount() < 2 * mod.airports().size() + 4) {
                    operation(in, in.pick(0, 9) == 0 ? in.pick(0, 99) : in.pick(100, 419));
                    break;
                }
                if (in.pick(0, 11) == 0) operation(in, editKind(in));
                const int queries = in.pick(1, 8);
                for (int i = 0; i < queries; ++i) operation(in, kQuery);
                const int after = in.pick(0, 9);
                if (after == 0) operation(in, kReuseNumber);
                if (after == 1) operation(in, kBook);
                break;
            }
        }
    }

    // Writes every operation as it runs (for reproducing a mismatch).
    void traceTo(std::ostream* out) { trace = out; }

private:
    // Operations by name: a value in the even mix's range for each, and two
    // that only the edit-heavy and query-heavy mixes draw.
    static constexpr int kQuery = 500;
    static constexpr int kBook = 760;
    static constexpr int kRouteReport = 880;
    static constexpr int kReuseNumber = 920;
    static constexpr int kTakeover = 945;
    static constexpr int kRemoveExistingFlight = 1000;
    static constexpr int kAirportAgain = 1001;
    // Seats, bookings, cancels and keys: kSeats + 0 .. 99.
    static constexpr int kSeats = 2000;

    // One edit, drawn for the edit-heavy and query-heavy mixes: more
    // removals than the even mix has, and of things that exist.
    template <class Source>
    int editKind(Source& in) {
        const int k = in.pick(0, 39);
        if (k < 6) return in.pick(0, 99);     // an airport added
        if (k < 24) return in.pick(100, 419);  // a flight added
        if (k < 30) return kRemoveExistingFlight;
        if (k < 32) return in.pick(420, 479);  // a flight removed, maybe absent
        if (k < 33) return in.pick(480, 485);  // an airport removed, maybe absent
        if (k < 39) return kTakeover;
        return kAirportAgain;
    }

    // Flights in the model's network, each counted once.
    std::size_t flightCount() const {
        std::size_t entries = 0;
        for (const auto& a : mod.airports()) entries += a.second.flights.size();
        return entries / 2;
    }

    template <class Source>
    void operation(Source& in, int kind) {
        ++ops;
        std::ostringstream what;
        if (kind >= kSeats) {
            seatOperation(in, kind - kSeats, what);
        } else if (kind < 60) {
            const int a = airport(in);
            const std::string n = name(in);
            what << "store.addAirport(" << a << ')';
            expectCode(what.str(), mod.addAirport(a, n), lib->store.addAirport(a, n));
        } else if (kind < 100 && typedNow(in)) {
            const int a = airport(in);
            typedAddAirport(what, a, name(in));
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
        } else if (kind < 420 && typedNow(in)) {
            const std::string n = name(in);
            const int f = flight(in), d = days(in), from = airport(in), to = airport(in);
            typedAddFlight(what, f, n, d, from, to);
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
        } else if (kind < 480 && typedNow(in)) {
            const int a = airport(in), f = flight(in);
            what << "network.eraseFlight(" << a << ", " << f << ')';
            expectBool(what.str(), mod.removeFlight(a, f) == 0, lib->network->eraseFlight(a, f));
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
        } else if (kind < 486 && typedNow(in)) {
            const int a = airport(in);
            what << "network.eraseAirport(" << a << ')';
            expectBool(what.str(), mod.removeAirport(a) == 0, lib->network->eraseAirport(a));
        } else if (kind < 486) {
            const int a = airport(in);
            what << "management.removeAirport(" << a << ')';
            expectCode(what.str(), model::Network::fold(mod.removeAirport(a)), lib->management.removeAirport(a));
        } else if (kind < 740) {
            // Half the queries (seven in eight in the query-heavy mix) keep
            // the last departure airport while it exists, so the library
            // resumes its stopped search instead of starting anew.
            const bool keep = (ranges.mix == Mix::QueryHeavy ? in.pick(0, 7) != 0 : in.pick(0, 1) != 0) &&
                              mod.airports().count(lastFrom);
            const int from = keep ? lastFrom : airport(in);
            const int to = airport(in);
            if (typedNow(in))
                typedFit(what, maxDays(in), from, to);
            else
                fit(what, maxDays(in), from, to);
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
        } else if (kind < 910 && typedNow(in)) {
            const int k = in.pick(0, 39);
            if (k < 10)
                typedCopy(what);
            else if (k < 13)
                loadWhole(in, what);
            else
                typedLoad(in, what);
        } else if (kind < 910) {
            what << "copyRouteReport()";
            expectRows(what.str(), mod.routeReport(),
                       tavrik::copyRouteReport(lib->booking, lib->management));
        } else if (kind < 940) {
            reuseNumber(in, what);
        } else if (kind < 960) {
            takeover(in, what);
        } else if (kind == kRemoveExistingFlight) {
            removeExistingFlight(in, what);
        } else if (kind == kAirportAgain) {
            airportAgain(in, what);
        } else if (kind < 998 || in.pick(0, ranges.reopen ? 1 : 9) != 0) {
            const int a = airport(in);
            what << "copyAirportReport(" << a << ')';
            expectRows(what.str(), mod.airportReport(a), tavrik::copyAirportReport(lib->management, a));
        } else if (ranges.reopen && in.pick(0, 1) == 0) {
            what << "close and reopen";
            reopenFromFolder();
        } else if (ranges.typed && in.pick(0, 1) == 0) {
            loadWhole(in, what);
        } else {
            // Now and then a fresh library and model, so that runs also start
            // from an empty network and a cold search.
            what << "restart";
            probeBefore.add(probe->counts());
            start();
            mod = model::Network();
            lastFrom = ranges.airportLo;
            lastKeyed.reset();
        }
        if (trace != nullptr) *trace << ops << ' ' << what.str() << '\n';
        if (checks.logging) keep(what.str());
        compareState(what.str());
    }

    // The network written to a folder and read back: its state goes into a
    // network kept on a fresh in-memory file system, which writes its
    // snapshot (the driver also changes the network through its services,
    // which are not journaled), closes, and opens again, alternately in
    // Full and Normal mode. The model keeps its network and seats and
    // forgets its current ticket list, as the reopened network has none.
    void reopenFromFolder() {
        ++reopened;
        const std::string state = lib->network->saveState();
        const auto mode = reopened % 2 ? tavrik::durable::Durability::Full : tavrik::durable::Durability::Normal;
        // The network open now may be on the previous folder: that one
        // goes only after it.
        std::unique_ptr<durabletest::MemoryFiles> previous = std::move(folder);
        folder = std::make_unique<durabletest::MemoryFiles>();
        {
            auto kept = tavrik::Network::open("/network", mode, *folder);
            kept->restoreState(state);
            kept->checkpoint();
            kept->closeFolder();
        }
        probeBefore.add(probe->counts());
        direct.reset();
        probe.reset();
        lib.reset(new DrivenNetwork(tavrik::Network::open("/network", mode, *folder)));
        probe.reset(new NetworkProbe(lib->store));
        if (checks.literal) direct.reset(new FitingFlight::TFitingFlight(&lib->store));
        haveSnapshot = false;
        queriedRevision.reset();
        mod.forgetTickets();
        if (lib->network->saveState() != state) mismatch("close and reopen", "the reopened network differs");
    }

    // The model's network (airports, flights, names, days) loaded in one
    // call into a fresh network, which builds it whole: its items in a
    // random order, and one load in three with one item the load must refuse
    // at a random place (an airport twice, a flight to an unknown airport or
    // to its own, a number taken). Refused: as the model's load (item by
    // item) refuses it, with the fresh network still empty. Taken: the
    // driver goes on with the fresh network against a model loaded the same
    // way, so every later query, edit, booking and report compares the
    // network built whole with the one built item by item.
    template <class Source>
    void loadWhole(Source& in, std::ostringstream& what) {
        std::vector<tavrik::AirportItem> airports;
        std::vector<tavrik::FlightItem> flights;
        for (const auto& [number, a] : mod.airports()) {
            airports.push_back(tavrik::AirportItem{number, a.name});
            for (const auto& [f, entry] : a.flights)
                if (entry.from == number) flights.push_back(tavrik::FlightItem{f, entry.name, entry.days, entry.from, entry.to});
        }
        auto shuffle = [&in](auto& items) {
            for (std::size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[std::size_t(in.pick(0, int(i) - 1))]);
        };
        shuffle(airports);
        shuffle(flights);
        if (!airports.empty() && in.pick(0, 2) == 0) {
            const tavrik::AirportItem& some = airports[std::size_t(in.pick(0, int(airports.size()) - 1))];
            const int kind = in.pick(0, 3);
            if (kind == 0) {
                const tavrik::AirportItem again{some.airport, "again"};
                airports.insert(airports.begin() + in.pick(0, int(airports.size())), again);
            } else {
                tavrik::FlightItem bad{flight(in), "bad", days(in), some.airport, ranges.airportHi + 1};
                if (kind == 2) bad.to = some.airport;
                if (kind == 3 && !flights.empty()) {
                    bad = flights[std::size_t(in.pick(0, int(flights.size()) - 1))];
                    std::swap(bad.from, bad.to);
                }
                flights.insert(flights.begin() + in.pick(0, int(flights.size())), bad);
            }
        }
        what << "network.load(" << airports.size() << " airports, " << flights.size()
             << " flights) into a fresh network";
        model::Network loadedModel;
        const auto expected = loadedModel.load(airports, flights);
        auto fresh = std::make_unique<DrivenNetwork>();
        auto freshProbe = std::make_unique<NetworkProbe>(fresh->store);
        const bool refused = compareLoad(*fresh->network, airports, flights, expected, what.str());
        if (expected || refused) {
            ++seen.wholeLoadsRefused;
            if (!fresh->store.getAirports()->empty()) mismatch(what.str(), "a refused load left airports behind");
            return;
        }
        ++seen.wholeLoads;
        probeBefore.add(probe->counts());
        choices.reset();
        direct.reset();
        probe.reset();
        lib = std::move(fresh);
        probe = std::move(freshProbe);
        if (checks.literal) direct.reset(new FitingFlight::TFitingFlight(&lib->store, NetworkProbe::probeTuning()));
        if (checks.choices) choices.reset(new Choices::TChoices(&lib->store));
        haveSnapshot = false;
        queriedRevision.reset();
        mod = std::move(loadedModel);
        lastFrom = ranges.airportLo;
        lastKeyed.reset();
    }

    // A fresh library, its probe and (for the literal check) a route search
    // of its own on the same store, beside the booking service's.
    void start() {
        choices.reset();
        direct.reset();
        probe.reset();
        lib.reset(new DrivenNetwork());
        probe.reset(new NetworkProbe(lib->store));
        // The driver's own search indexes edges from two on and keeps one
        // idle state, so that small networks take the large ones' paths.
        if (checks.literal) direct.reset(new FitingFlight::TFitingFlight(&lib->store, NetworkProbe::probeTuning()));
        if (checks.choices) choices.reset(new Choices::TChoices(&lib->store, freeSeatsOf(lib->seats)));
        haveSnapshot = false;
        queriedRevision.reset();
    }

    // One of the named edits on both, with the state compared after it.
    template <class OnModel, class OnLibrary>
    int edited(const std::string& what, OnModel onModel, OnLibrary onLibrary) {
        ++ops;
        const int expected = checks.model ? onModel() : 0;
        const int actual = onLibrary();
        if (checks.model) expectCode(what, expected, actual);
        note(what + " -> " + std::to_string(actual));
        if (checks.model) compareState(what);
        return actual;
    }

    void note(const std::string& line) {
        if (trace != nullptr) *trace << ops << ' ' << line << '\n';
        if (checks.logging) keep(line);
    }

    void keep(const std::string& line) {
        history.push_back(line);
        if (history.size() > 400) history.pop_front();
    }

    // getRouteFlight on both, with the counts of its outcomes.
    void fit(std::ostringstream& what, int maxDays, int from, int to) {
        std::list<TTicket> ignored;
        query(what, maxDays, from, to, &ignored);
    }

    // One query on the library, the model and (checks.literal) the route
    // search itself against the literal search. Returns the reference's code
    // as the route search gives it (0, -1 .. -4) and its list in *expected.
    int query(std::ostringstream& what, int maxDays, int from, int to, std::list<TTicket>* expected) {
        lastFrom = from;
        ++queryCount;
        probe->beforeQuery();
        what << "getRouteFlight(" << maxDays << ", " << from << ", " << to << ')';
        // The probe's copy against the store, once after each change.
        if (checks.literal && probing && queriedRevision != lib->store.getRevision()) {
            const std::string breach = probe->breach();
            if (!breach.empty()) mismatch(what.str(), "search network: " + breach);
        }
        queriedRevision = lib->store.getRevision();
        int reference = 0;
        if (checks.literal) reference = oracle::literalFitRoute(oracleNetwork(), maxDays, from, to, *expected);
        const int actual = lib->booking.getRouteFlight(maxDays, from, to);
        lastRouteCode = actual;
        if (checks.model) {
            const int byModel = mod.getRouteFlight(maxDays, from, to);
            expectCode(what.str(), byModel, actual);
            if (byModel <= 0 && byModel >= -8) ++seen.routeCodes[-byModel];
            if (byModel == 0 && !mod.tickets().empty()) ++seen.routes;
            if (byModel == 0 && mod.tickets().size() >= 6) ++seen.longRoutes;
            if (!checks.literal) {
                reference = byModel == 0 ? 0 : byModel + 4;
                expected->assign(mod.tickets().begin(), mod.tickets().end());
            }
        }
        if (checks.literal) {
            const std::list<TTicket> bookingList = *lib->booking.getTickets();
            // A list holding something beforehand, which a refusal must empty.
            std::list<TTicket> directList{TTicket{424242, 7}};
            const int viaFitting = direct->fitRoute(maxDays, from, to, &directList);
            const int expectedBooking = reference == 0 ? 0 : reference - 4;
            if (actual != expectedBooking || bookingList != *expected || viaFitting != reference ||
                directList != *expected) {
                std::ostringstream detail;
                detail << "\n  literal search:  " << reference << ' ' << describe(*expected)
                       << "\n  getRouteFlight:  " << actual << ' ' << describe(bookingList)
                       << "\n  TFitingFlight:   " << viaFitting << ' ' << describe(directList);
                mismatch(what.str(), detail.str());
            }
        }
        if (checks.logging) keep(what.str() + " -> " + std::to_string(actual));
        if (checks.choices) checkChoices(maxDays, from, to);
        return reference;
    }

    // ---- route choices against the brute-force reference ----

    // The network without the flights that lack `passengers` free seats.
    oracle::Network seated(const oracle::Network& net, int passengers, bool& dropped) {
        oracle::Network out = net;
        dropped = false;
        for (auto& a : out)
            for (auto f = a.second.begin(); f != a.second.end();) {
                TFlightSeats s;
                lib->seats.seatsOf(a.first, f->first, s);
                const bool full = s.limited() && static_cast<long long>(s.seats) - s.sold < passengers;
                dropped = dropped || full;
                f = full ? a.second.erase(f) : std::next(f);
            }
        return out;
    }

    // A random choice query around (from, to): more airports at either end,
    // airports and flights to avoid, one to pass through, a leg limit, now
    // and then a value that must be refused; then the query's answer against
    // the reference, on a snapshot of the same store.
    void checkChoices(int maxDays, int from, int to) {
        std::mt19937_64& g = choiceRng;
        auto chance = [&](int oneIn) { return std::uniform_int_distribution<int>(0, oneIn - 1)(g) == 0; };
        const oracle::Network& net = oracleNetwork();
        std::vector<int> ids;
        for (const auto& a : net) ids.push_back(a.first);
        if (ids.empty()) return;
        auto any = [&] { return ids[std::uniform_int_distribution<std::size_t>(0, ids.size() - 1)(g)]; };
        Choices::Query q;
        q.from = {from};
        q.to = {to};
        if (chance(4)) q.from.push_back(any());
        if (chance(3)) q.to.push_back(any());
        if (chance(4)) q.to.push_back(any());
        const int avoided = chance(2) ? 0 : std::uniform_int_distribution<int>(1, 2)(g);
        for (int i = 0; i < avoided; ++i) q.avoidAirports.push_back(chance(30) ? from : any());
        std::vector<int> flights;
        for (const auto& a : net)
            for (const auto& f : a.second)
                if (f.second.from == a.first) flights.push_back(f.first);
        if (!flights.empty() && chance(3))
            q.avoidFlights.push_back(flights[std::uniform_int_distribution<std::size_t>(0, flights.size() - 1)(g)]);
        if (chance(3)) {
            q.hasVia = true;
            q.via = chance(30) ? to : any();
        }
        if (chance(3)) {
            q.hasMaxLegs = true;
            q.maxLegs = std::uniform_int_distribution<int>(chance(30) ? -1 : 0, 4)(g);
        }
        if (chance(3)) {
            q.hasPassengers = true;
            q.passengers = std::uniform_int_distribution<int>(chance(10) ? -1 : 1, 4)(g);
        }
        const int kind = std::uniform_int_distribution<int>(0, 3)(g);  // fit, front, alternatives, reach
        const int limit = chance(3) ? INT_MAX : maxDays;
        const int k = chance(30) ? (chance(2) ? 0 : Choices::kMaxAlternatives + 1)
                                 : std::uniform_int_distribution<int>(1, 6)(g);
        std::ostringstream what;
        what << "choices kind " << kind << " from";
        for (int a : q.from) what << ' ' << a;
        what << " to";
        for (int a : q.to) what << ' ' << a;
        what << " avoid";
        for (int a : q.avoidAirports) what << ' ' << a;
        what << " avoidFlights";
        for (int f : q.avoidFlights) what << ' ' << f;
        if (q.hasVia) what << " via " << q.via;
        if (q.hasMaxLegs) what << " maxLegs " << q.maxLegs;
        if (q.hasPassengers) what << " passengers " << q.passengers;
        what << " limit " << limit << " k " << k;
        const bool reach = kind == 3;

        // The refusal the documentation's order of checks gives, if any.
        std::optional<std::pair<Choices::Problem, std::int64_t>> refusal;
        auto refuse = [&](Choices::Problem p, std::int64_t a) {
            if (!refusal) refusal = std::make_pair(p, a);
        };
        using P = Choices::Problem;
        if (kind == 2 && (k <= 0 || k > Choices::kMaxAlternatives)) refuse(P::CountOutOfRange, k);
        if (reach && limit < 0) refuse(P::NegativeReachDays, limit);
        for (int a : q.from)
            if (!net.count(a)) refuse(P::UnknownAirport, a);
        if (!reach)
            for (int a : q.to)
                if (!net.count(a)) refuse(P::UnknownAirport, a);
        for (int a : q.avoidAirports)
            if (!net.count(a)) refuse(P::UnknownAirport, a);
        if (q.hasVia) {
            if (reach) refuse(P::ViaInReach, q.via);
            if (!net.count(q.via)) refuse(P::UnknownAirport, q.via);
            const bool end = std::count(q.from.begin(), q.from.end(), q.via) ||
                             (!reach && std::count(q.to.begin(), q.to.end(), q.via));
            if (end) refuse(P::ViaIsEnd, q.via);
        }
        auto avoids = [&](int a) { return std::count(q.avoidAirports.begin(), q.avoidAirports.end(), a) != 0; };
        for (int a : q.from)
            if (avoids(a)) refuse(P::AvoidedEnd, a);
        if (!reach)
            for (int a : q.to)
                if (avoids(a)) refuse(P::AvoidedEnd, a);
        if (q.hasVia && avoids(q.via)) refuse(P::AvoidedEnd, q.via);
        if (q.hasMaxLegs && q.maxLegs < 0) refuse(P::NegativeLegLimit, q.maxLegs);
        if (q.hasPassengers && q.passengers < 1) refuse(P::PassengerCount, q.passengers);
        // For N passengers the reference sees only the flights with N free
        // seats, as the seat service counts them.
        bool dropped = false;
        const oracle::Network seatedNet =
            q.hasPassengers && !refusal ? seated(net, q.passengers, dropped) : oracle::Network{};
        const oracle::Network& usable = q.hasPassengers && !refusal ? seatedNet : net;
        if (!refusal && oracle::negativeLoopOnTheWay(usable, q, reach)) refuse(P::NegativeLoop, 0);

        std::ostringstream got;
        std::optional<std::pair<Choices::Problem, std::int64_t>> refusedAs;
        std::vector<Choices::Route> routes;
        Choices::FitAnswer fitted;
        std::vector<Choices::Reached> reached;
        try {
            switch (kind) {
                case 0: fitted = choices->fit(q, limit); break;
                case 1: routes = choices->front(q, limit); break;
                case 2: routes = choices->alternatives(q, limit, k); break;
                default: reached = choices->reach(q, limit); break;
            }
        } catch (const Choices::Refused& r) {
            refusedAs = std::make_pair(r.problem, r.a);
        }
        if (refusal || refusedAs) {
            // A loop is named by one of its airports: only the rule is compared.
            const bool same = refusal && refusedAs && refusal->first == refusedAs->first &&
                              (refusal->first == P::NegativeLoop || refusal->second == refusedAs->second);
            if (!same) {
                std::ostringstream d;
                d << "refusal " << (refusedAs ? static_cast<int>(refusedAs->first) : -1) << '/'
                  << (refusedAs ? refusedAs->second : 0) << ", reference "
                  << (refusal ? static_cast<int>(refusal->first) : -1) << '/' << (refusal ? refusal->second : 0);
                mismatch(what.str(), d.str());
            }
            if (refusal && refusal->first == P::NegativeLoop) ++seen.choiceLoops;
            if (refusal && refusal->first == P::PassengerCount) ++seen.choicePassengerRefusals;
            return;
        }
        const oracle::ChoiceEnumeration all = oracle::enumerateRoutes(usable, q, reach);
        if (!all.complete) {
            ++seen.choiceSkipped;
            return;
        }
        if (dropped) ++seen.choiceSeatLimited;
        auto text = [](const Choices::Route& r) {
            std::ostringstream o;
            o << '[' << r.days << "d " << r.from;
            for (const Choices::Leg& l : r.legs) o << " -F" << l.flight << "-> " << l.to;
            o << ']';
            return o.str();
        };
        auto literalText = [](const oracle::ChoiceRoute& r) {
            std::ostringstream o;
            o << '[' << r.days << "d " << r.airports.front();
            for (const oracle::ChoiceLeg& l : r.legs) o << " -F" << l.flight << "-> " << l.to;
            o << ']';
            return o.str();
        };
        auto compareLists = [&](const std::vector<oracle::ChoiceRoute>& expected) {
            bool same = expected.size() == routes.size();
            for (std::size_t i = 0; same && i < expected.size(); ++i) same = oracle::sameRoute(expected[i], routes[i]);
            if (same) {
                if (routes.size() >= 2) ++seen.choiceAnswers;
                return;
            }
            std::ostringstream d;
            d << "\n  routes:    ";
            for (const auto& r : routes) d << text(r) << ' ';
            d << "\n  reference: ";
            for (const auto& r : expected) d << literalText(r) << ' ';
            mismatch(what.str(), d.str());
        };
        if (kind == 0) {
            const auto first = oracle::literalFirst(all);
            std::ostringstream d;
            bool same;
            if (!first) {
                same = fitted.kind == Choices::FitAnswer::Kind::NoRoute;
            } else if (first->days > limit) {
                same = fitted.kind == Choices::FitAnswer::Kind::OverLimit && fitted.fewestDays == first->days;
            } else {
                same = fitted.kind == Choices::FitAnswer::Kind::Route && oracle::sameRoute(*first, fitted.route);
            }
            if (!same) {
                d << "fit kind " << static_cast<int>(fitted.kind) << ' ' << text(fitted.route) << " fewest "
                  << fitted.fewestDays << ", reference " << (first ? literalText(*first) : std::string("none"));
                mismatch(what.str(), d.str());
            }
        } else if (kind == 1) {
            compareLists(oracle::literalFront(all, limit));
        } else if (kind == 2) {
            compareLists(oracle::literalAlternatives(all, limit, k));
        } else {
            const auto expected = oracle::literalReach(all, q, limit);
            bool same = expected.size() == reached.size();
            for (std::size_t i = 0; same && i < expected.size(); ++i)
                same = expected[i].airport == reached[i].airport && expected[i].days == reached[i].days &&
                       expected[i].legs == reached[i].legs;
            if (!same) {
                std::ostringstream d;
                d << "\n  reach:     ";
                for (const auto& r : reached) d << r.airport << ':' << r.days << '/' << r.legs << ' ';
                d << "\n  reference: ";
                for (const auto& r : expected) d << r.airport << ':' << r.days << '/' << r.legs << ' ';
                mismatch(what.str(), d.str());
            } else if (reached.size() >= 2) {
                ++seen.choiceAnswers;
            }
        }
    }

    // ---- the typed operations of tavrik::Network ----

    // Whether this operation goes through the typed operations.
    template <class Source>
    bool typedNow(Source& in) {
        return ranges.typed && in.pick(0, 1) == 0;
    }

    using Broken = model::Network::Broken;

    static std::string describeRefusal(const std::optional<Broken>& b) {
        if (!b) return "no refusal";
        return "rule " + std::to_string(static_cast<int>(b->rule)) + " (" + std::to_string(b->a) + ", " +
               std::to_string(b->b) + ')';
    }

    // Runs `body`, which must throw the refusal `expected` (or nothing).
    template <class Body>
    void expectRefusal(const std::string& what, const std::optional<Broken>& expected, Body&& body) {
        std::optional<Broken> actual;
        try {
            body();
        } catch (const tavrik::Refusal& r) {
            actual = Broken{r.rule, r.a, r.b};
        }
        if (!(expected == actual)) mismatch(what, describeRefusal(actual) + ", model " + describeRefusal(expected));
    }

    void expectBool(const std::string& what, bool expected, bool actual) {
        if (expected != actual) mismatch(what, std::string(actual ? "true" : "false") + ", model " +
                                                   (expected ? "true" : "false"));
    }

    void typedAddAirport(std::ostringstream& what, int a, const std::string& n) {
        what << "network.insertAirport(" << a << ')';
        const std::optional<Broken> expected = mod.airportRule(a);
        if (!expected) mod.addAirport(a, n);
        expectRefusal(what.str(), expected, [&] { lib->network->insertAirport(a, n); });
    }

    void typedAddFlight(std::ostringstream& what, int f, const std::string& n, int d, int from, int to) {
        what << "network.insertFlight(" << f << ", d" << d << ", " << from << "->" << to << ')';
        const std::optional<Broken> expected = mod.flightRule(f, from, to);
        if (!expected) {
            mod.addFlight(n, f, d, from, to);
            ++seen.flightsAdded;
        }
        expectRefusal(what.str(), expected, [&] { lib->network->insertFlight(f, n, d, from, to); });
    }

    // A fit through the typed operation: the same answer as the literal
    // search's, and the current ticket list left alone.
    void typedFit(std::ostringstream& what, int maxDays, int from, int to) {
        what << "network.fit(" << maxDays << ", " << from << ", " << to << ')';
        std::optional<Broken> unknown;
        model::Network::Fit expected{};
        try {
            expected = mod.fit(maxDays, from, to);
        } catch (const Broken& b) {
            unknown = b;
        }
        std::optional<Broken> refused;
        model::Network::Fit actual{};
        try {
            const tavrik::FitAnswer answer = lib->network->fit(maxDays, from, to);
            actual.kind = static_cast<int>(answer.kind);
            std::int64_t total = 0;
            for (const tavrik::ReportedFlight& leg : answer.legs) {
                actual.legs.push_back(leg.flight);
                total += leg.days;
            }
            actual.fewestDays = answer.kind == tavrik::FitAnswer::Kind::Route  ? total
                                : answer.kind == tavrik::FitAnswer::Kind::NoRoute ? 0
                                : answer.fewestKnown                               ? answer.fewestDays
                                                                                   : -1;
        } catch (const tavrik::Refusal& r) {
            refused = Broken{r.rule, r.a, r.b};
        }
        if (!(unknown == refused)) {
            mismatch(what.str(), describeRefusal(refused) + ", model " + describeRefusal(unknown));
        } else if (!unknown && !(expected == actual)) {
            std::ostringstream detail;
            detail << "kind " << actual.kind << " fewest " << actual.fewestDays << " legs " << actual.legs.size()
                   << ", model kind " << expected.kind << " fewest " << expected.fewestDays << " legs "
                   << expected.legs.size();
            mismatch(what.str(), detail.str());
        }
        if (!unknown && expected.kind == 0) ++seen.typedRoutes;
        if (!unknown && expected.kind == 1 && expected.fewestDays >= 0) ++seen.typedOverLimit;
    }

    // Loads the batch into `into` in one call and reports a mismatch unless
    // it is refused exactly as the model's load was (`expected`: rule,
    // numbers and the item named), or taken as the model's was. Returns
    // whether the library refused it.
    bool compareLoad(tavrik::Network& into, const std::vector<tavrik::AirportItem>& airports,
                     const std::vector<tavrik::FlightItem>& flights,
                     const std::optional<model::Network::LoadRefusal>& expected, const std::string& what) {
        std::optional<model::Network::LoadRefusal> actual;
        try {
            into.load(airports, flights);
        } catch (const tavrik::Refusal& r) {
            actual = model::Network::LoadRefusal{Broken{r.rule, r.a, r.b}, static_cast<std::size_t>(r.index),
                                                 r.flightItem};
        }
        auto text = [](const std::optional<model::Network::LoadRefusal>& r) {
            if (!r) return std::string("loaded");
            return describeRefusal(r->broken) + " at " + (r->flightItem ? "flight " : "airport ") + std::to_string(r->index);
        };
        if (expected.has_value() != actual.has_value() ||
            (expected && (!(expected->broken == actual->broken) || expected->index != actual->index ||
                          expected->flightItem != actual->flightItem)))
            mismatch(what, text(actual) + ", model " + text(expected));
        return actual.has_value();
    }

    // A small random batch: taken whole, or refused at its first bad item
    // with nothing left of it.
    template <class Source>
    void typedLoad(Source& in, std::ostringstream& what) {
        std::vector<tavrik::AirportItem> airports;
        std::vector<tavrik::FlightItem> flights;
        const int a = in.pick(0, 3), f = in.pick(0, 4);
        for (int i = 0; i < a; ++i) airports.push_back(tavrik::AirportItem{airport(in), name(in)});
        for (int i = 0; i < f; ++i) {
            const std::string n = name(in);
            const int number = flight(in), d = days(in), from = airport(in), to = airport(in);
            flights.push_back(tavrik::FlightItem{number, n, d, from, to});
        }
        what << "network.load(" << a << " airports, " << f << " flights)";
        const auto expected = mod.load(airports, flights);
        compareLoad(*lib->network, airports, flights, expected, what.str());
        if (expected) ++seen.loadsRefused;
        else if (a + f > 0) ++seen.loadsTaken;
    }

    // A copy holds the same network, booked counts included, and an empty
    // ticket list; it is dropped again.
    void typedCopy(std::ostringstream& what) {
        what << "network.copy()";
        std::unique_ptr<tavrik::Network> twin = lib->network->copy();
        if (!sameNetwork(*twin->ownStore(), mod.airports()))
            mismatch(what.str(), "copy\n" + describe(networkOf(*twin->ownStore())) + "model\n" +
                                     describe(mod.airports()));
        if (!twin->bookingService().getTickets()->empty()) mismatch(what.str(), "the copy has a ticket list");
    }

    // Mostly generous limits, sometimes tight or negative ones.
    template <class Source>
    int maxDays(Source& in) {
        if (ranges.spikeOneIn > 0 && in.pick(0, 7) == 0) {
            static const int limits[] = {INT_MAX, INT_MAX - 1, 255, 256, 300, 65536, INT_MAX / 2};
            return limits[in.pick(0, 6)];
        }
        return in.pick(0, 3) ? in.pick(0, 4 * ranges.dayHi + 4) : in.pick(-3, 3);
    }

    // Runs one part of a sequence of operations and compares everything after
    // it, as after a single operation.
    void part(std::ostringstream& what, const std::string& done) {
        what << done;
        compareState(what.str());
        what << "; ";
    }

    // Fits a route, takes one of its flights away (through either of its
    // airports), gives the freed number to a flight at one of those
    // airports, then books the list or copies the route report, or both:
    // a ticket whose number now names a flight between other airports is
    // gone, even though an entry under that number is there.
    template <class Source>
    void reuseNumber(Source& in, std::ostringstream& what) {
        what << "reuse a number: ";
        if (mod.tickets().empty()) {
            const bool keep = mod.airports().count(lastFrom) && in.pick(0, 1);
            std::ostringstream query;
            fit(query, INT_MAX, keep ? lastFrom : airport(in), airport(in));
            part(what, query.str());
            if (mod.tickets().empty()) return;
        }
        const std::vector<TTicket>& list = mod.tickets();
        const TTicket t = list[static_cast<std::size_t>(in.pick(0, static_cast<int>(list.size()) - 1))];
        if (!t.pinned) return;
        const auto a = mod.airports().find(t.airport);
        if (a == mod.airports().end()) return;
        const auto f = a->second.flights.find(t.flight);
        if (f != a->second.flights.end()) {
            if (f->second.from != t.from || f->second.to != t.to) return;  // already another flight
            const int at = in.pick(0, 1) ? t.from : t.to;
            std::ostringstream remove;
            remove << "store.removeFlight(" << at << ", " << t.flight << ')';
            expectCode(what.str() + remove.str(), mod.removeFlight(at, t.flight),
                       lib->store.removeFlight(at, t.flight));
            part(what, remove.str());
        }
        // Mostly between one of the two airports and another one, in either
        // direction; sometimes between the same two airports again, which
        // is the fitted flight's pair and keeps the ticket.
        const int end = in.pick(0, 1) ? t.from : t.to;
        int other = airport(in);
        if (in.pick(0, 7) == 0) other = end == t.from ? t.to : t.from;
        const bool leaving = in.pick(0, 1) != 0;
        const int from = leaving ? end : other, to = leaving ? other : end;
        const std::string n = name(in);
        const int d = days(in);
        std::ostringstream add;
        add << "management.addFlight(" << t.flight << ", d" << d << ", " << from << "->" << to << ')';
        expectCode(what.str() + add.str(), model::Network::fold(mod.addFlight(n, t.flight, d, from, to)),
                   lib->management.addFlight(n, t.flight, d, from, to));
        part(what, add.str());
        if (listHoldsReusedNumber()) ++seen.reusedNumbers;
        const int then = in.pick(0, 2);
        if (then != 1) {
            std::ostringstream book;
            book << "armoringTickets()";
            const int expected = mod.armoringTickets();
            expectCode(what.str() + book.str(), expected, lib->booking.armoringTickets());
            if (expected == 0) ++seen.booked;
            if (expected == -5) ++seen.bookingRefused;
            part(what, book.str());
        }
        if (then != 0) {
            expectRows(what.str() + "copyRouteReport()", mod.routeReport(),
                       tavrik::copyRouteReport(lib->booking, lib->management));
            what << "copyRouteReport()";
        }
    }

    // Whether a ticket of the model's list names a flight number that is at
    // its airport but joins other airports than the ticket's.
    bool listHoldsReusedNumber() const {
        for (const TTicket& t : mod.tickets()) {
            const auto a = mod.airports().find(t.airport);
            if (a == mod.airports().end()) continue;
            const auto f = a->second.flights.find(t.flight);
            if (f != a->second.flights.end() && t.pinned && (f->second.from != t.from || f->second.to != t.to))
                return true;
        }
        return false;
    }

    // Of two or more flights between the same two airports, takes the one
    // the search must use (fewest days, then lowest number) away and queries
    // across it, now and then several times over (each time the next winner),
    // puts them back and queries again. Without parallel flights it first
    // adds one beside an existing flight.
    template <class Source>
    void takeover(Source& in, std::ostringstream& what) {
        what << "parallel flights: ";
        struct Pick {
            int flight = 0;
            model::Flight f;
        };
        std::vector<Pick> departing;  // every flight, once, at its departure
        for (const auto& a : mod.airports())
            for (const auto& f : a.second.flights)
                if (f.second.from == a.first) departing.push_back(Pick{f.first, f.second});
        if (departing.empty()) return;
        const Pick seed = departing[static_cast<std::size_t>(in.pick(0, static_cast<int>(departing.size()) - 1))];
        const int from = seed.f.from, to = seed.f.to;
        auto between = [&] {
            std::vector<Pick> same;
            for (const auto& f : mod.airports().at(from).flights)
                if (f.second.from == from && f.second.to == to) same.push_back(Pick{f.first, f.second});
            return same;
        };
        if (between().size() < 2) {
            const std::string n = name(in);
            const int number = flight(in), d = days(in);
            std::ostringstream add;
            add << "store.addFlight(" << number << ", d" << d << ", " << from << "->" << to << ')';
            expectCode(what.str() + add.str(), mod.addFlight(n, number, d, from, to),
                       lib->store.addFlight(n, number, d, from, to));
            part(what, add.str());
        }
        // The winner taken away, a query across the pair, and again with
        // the next winner while another is left; then all of them back.
        std::vector<Pick> same = between();
        const int rounds = same.size() >= 3 ? in.pick(1, static_cast<int>(same.size()) - 1) : 1;
        std::vector<Pick> removed;
        for (int round = 0; round < rounds; ++round) {
            same = between();
            if (same.empty()) break;
            Pick winner = same.front();  // ascending numbers: the first of the fewest days
            for (const Pick& p : same)
                if (p.f.days < winner.f.days) winner = p;
            if (round == 0) {
                std::ostringstream before;
                fit(before, maxDays(in), from, to);
                part(what, before.str());
            }
            const int at = in.pick(0, 1) ? from : to;
            std::ostringstream remove;
            remove << "management.removeFlight(" << at << ", " << winner.flight << ')';
            expectCode(what.str() + remove.str(), model::Network::fold(mod.removeFlight(at, winner.flight)),
                       lib->management.removeFlight(at, winner.flight));
            part(what, remove.str());
            if (same.size() >= 2) ++seen.takeovers;
            removed.push_back(winner);
            std::ostringstream after;
            fit(after, in.pick(0, 1) ? INT_MAX : maxDays(in), from, to);
            part(what, after.str());
        }
        if (in.pick(0, 1)) std::reverse(removed.begin(), removed.end());
        for (const Pick& winner : removed) {
            std::ostringstream back;
            back << "store.addFlight(" << winner.flight << ", d" << winner.f.days << ", " << from << "->" << to << ')';
            expectCode(what.str() + back.str(), mod.addFlight(winner.f.name, winner.flight, winner.f.days, from, to),
                       lib->store.addFlight(winner.f.name, winner.flight, winner.f.days, from, to));
            part(what, back.str());
        }
        fit(what, maxDays(in), in.pick(0, 3) ? from : airport(in), to);
    }

    // Removes a flight that exists, through either of its airports.
    template <class Source>
    void removeExistingFlight(Source& in, std::ostringstream& what) {
        std::vector<std::pair<int, int>> entries;  // (airport, flight)
        for (const auto& a : mod.airports())
            for (const auto& f : a.second.flights) entries.emplace_back(a.first, f.first);
        if (entries.empty()) {
            what << "no flight to remove";
            return;
        }
        const auto e = entries[static_cast<std::size_t>(in.pick(0, static_cast<int>(entries.size()) - 1))];
        what << "store.removeFlight(" << e.first << ", " << e.second << ')';
        expectCode(what.str(), mod.removeFlight(e.first, e.second), lib->store.removeFlight(e.first, e.second));
    }

    // Removes an airport that exists and adds it again at once: it comes
    // back without flights, and (unless it has the largest number) out of
    // slot order in the search's copy.
    template <class Source>
    void airportAgain(Source& in, std::ostringstream& what) {
        if (mod.airports().empty()) {
            what << "no airport to remove";
            return;
        }
        auto a = mod.airports().begin();
        std::advance(a, in.pick(0, static_cast<int>(mod.airports().size()) - 1));
        const int id = a->first;
        std::ostringstream remove;
        remove << "management.removeAirport(" << id << ')';
        const int expected = model::Network::fold(mod.removeAirport(id));
        expectCode(what.str() + remove.str(), expected, lib->management.removeAirport(id));
        if (expected == 0) ++seen.airportsRemoved;
        part(what, remove.str());
        const std::string n = name(in);
        what << "store.addAirport(" << id << ')';
        expectCode(what.str(), mod.addAirport(id, n), lib->store.addAirport(id, n));
    }

    template <class Source>
    int airport(Source& in) {
        // One below and one above the range as well: queries and edits name
        // numbers at both edges of the airports there are.
        return in.pick(ranges.airportLo - 1, ranges.airportHi + 1);
    }
    template <class Source>
    int flight(Source& in) {
        return in.pick(0, ranges.flightHi);
    }
    template <class Source>
    int days(Source& in) {
        if (ranges.spikeOneIn > 0 && in.pick(1, ranges.spikeOneIn) == 1) {
            static const int spikes[] = {17, 100, 255, 256, 300, -1, 65536, INT_MAX / 2, INT_MAX};
            return spikes[in.pick(0, 8)];
        }
        return in.pick(ranges.dayLo, ranges.dayHi);
    }
    template <class Source>
    std::string name(Source& in) {
        static const char* const names[] = {"", "A", "Ab", "a name longer than the small-string buffer",
                                            "K\xc3\xb6ln", "x"};
        return names[in.pick(0, 5)];
    }


    // ---- seats ----

    static std::string ruleName(SeatRule r) { return std::to_string(static_cast<int>(r)); }
    void expectRule(const std::string& what, SeatRule expected, SeatRule actual) {
        if (expected != actual) mismatch(what, "rule " + ruleName(actual) + ", model " + ruleName(expected));
    }
    template <class Source>
    int passengers(Source& in) {
        return in.pick(0, 9) == 0 ? in.pick(-1, 0) : in.pick(1, 3);
    }
    // No key half the time; else one of a few, now and then an empty or an
    // over-long one.
    template <class Source>
    std::optional<std::string> key(Source& in) {
        const int k = in.pick(0, 11);
        if (k < 6) return std::nullopt;
        if (k == 6) return std::string();
        if (k == 7) return std::string(ISeatBooking::kMaxKeyBytes + 1, 'k');
        if (k == 8) return std::string(ISeatBooking::kMaxKeyBytes, 'k');
        return "key" + std::to_string(k);
    }

    struct Keyed {
        bool fitted = false;
        int maxDays = 0, from = 0, to = 0, passengers = 0;
        std::vector<TLegRequest> legs;
        std::string key;
    };

    void sellBoth(std::ostringstream& what, const Keyed& r, const std::string* k) {
        std::int64_t expectedId = 0;
        TSeatOutcome actual;
        SeatRule expected;
        if (r.fitted) {
            what << "seats.fitAndBook(" << r.maxDays << ", " << r.from << ", " << r.to << ", n" << r.passengers;
            expected = mod.fitAndBook(r.maxDays, r.from, r.to, r.passengers, k, &expectedId);
            actual = lib->seats.fitAndBook(r.maxDays, r.from, r.to, r.passengers, k);
        } else {
            what << "seats.book(";
            for (const TLegRequest& leg : r.legs) what << leg.flight << ':' << leg.from << "->" << leg.to << ' ';
            what << "n" << r.passengers;
            expected = mod.book(r.legs, r.passengers, k, &expectedId);
            actual = lib->seats.book(r.legs, r.passengers, k);
        }
        what << (k != nullptr ? ", key " + k->substr(0, 8) : std::string()) << ')';
        expectRule(what.str(), expected, actual.rule);
        if ((expected == SeatRule::Done || expected == SeatRule::KeyReused) && expectedId != actual.booking)
            mismatch(what.str(), "booking " + std::to_string(actual.booking) + ", model " + std::to_string(expectedId));
        if (expected == SeatRule::Done) ++seen.seatsSold;
        if (expected == SeatRule::NoFreeSeats || expected == SeatRule::NoRoute) ++seen.seatsRefused;
        if (k != nullptr && expected != SeatRule::BadKey && expected != SeatRule::BadPassengers) {
            lastKeyed = r;
            lastKeyed->key = *k;
        }
    }

    template <class Source>
    void seatOperation(Source& in, int k, std::ostringstream& what) {
        if (k < 20) {
            const int a = airport(in), f = flight(in), capacity = in.pick(-1, 4);
            what << "seats.setSeats(" << a << ", " << f << ", " << capacity << ')';
            expectRule(what.str(), mod.setSeats(a, f, capacity), lib->seats.setSeats(a, f, capacity).rule);
        } else if (k < 45 || (k < 55 && in.pick(0, 1) == 0)) {
            Keyed r;
            r.fitted = true;
            r.maxDays = in.pick(0, 3) ? INT_MAX : maxDays(in);
            r.from = in.pick(0, 1) && mod.airports().count(lastFrom) ? lastFrom : airport(in);
            r.to = airport(in);
            r.passengers = passengers(in);
            const std::optional<std::string> k = key(in);
            sellBoth(what, r, k ? &*k : nullptr);
        } else if (k < 55) {
            // A route of one or two legs that exist (or, now and then, one
            // whose second leg does not follow on).
            std::vector<TLegRequest> departing;
            for (const auto& a : mod.airports())
                for (const auto& f : a.second.flights)
                    if (f.second.from == a.first) departing.push_back(TLegRequest{f.first, f.second.from, f.second.to});
            Keyed r;
            if (!departing.empty()) {
                r.legs.push_back(departing[static_cast<std::size_t>(in.pick(0, static_cast<int>(departing.size()) - 1))]);
                if (in.pick(0, 1)) {
                    std::vector<TLegRequest> next;
                    for (const TLegRequest& leg : departing)
                        if (leg.from == r.legs[0].to || in.pick(0, 15) == 0) next.push_back(leg);
                    if (!next.empty())
                        r.legs.push_back(next[static_cast<std::size_t>(in.pick(0, static_cast<int>(next.size()) - 1))]);
                }
            }
            r.passengers = passengers(in);
            const std::optional<std::string> k = key(in);
            sellBoth(what, r, k ? &*k : nullptr);
        } else if (k < 72) {
            const std::int64_t count = static_cast<std::int64_t>(mod.bookings().size());
            const std::int64_t id = in.pick(0, 7) == 0 ? in.pick(-1, 0) + (in.pick(0, 1) ? count + 2 : 0)
                                                       : (count == 0 ? 1 : in.pick(1, static_cast<int>(count)));
            what << "seats.cancel(" << id << ')';
            bool expectedNow = false, actualNow = false;
            const SeatRule expected = mod.cancel(id, &expectedNow);
            expectRule(what.str(), expected, lib->seats.cancel(id, actualNow).rule);
            if (expectedNow != actualNow) mismatch(what.str(), "cancelled now " + std::to_string(actualNow));
            if (expectedNow) ++seen.cancelled;
        } else if (k < 82) {
            const int from = airport(in), to = airport(in), limit = maxDays(in), n = passengers(in);
            what << "seats.fitFor(" << limit << ", " << from << ", " << to << ", n" << n << ')';
            std::vector<TTicket> expected;
            std::list<TTicket> actual;
            const TSeatOutcome o = lib->seats.fitFor(limit, from, to, n, &actual);
            if (n <= 0) {
                expectRule(what.str(), SeatRule::BadPassengers, o.rule);
            } else {
                const int code = mod.fitFor(limit, from, to, n, expected);
                expectCode(what.str(), code, o.fit);
                if (std::vector<TTicket>(actual.begin(), actual.end()) != expected)
                    mismatch(what.str(), "route" + describe(actual) + ", model" + describe(expected));
            }
        } else if (k < 92) {
            if (!lastKeyed) {
                what << "no keyed request to retry";
                return;
            }
            what << "retry: ";
            const Keyed again = *lastKeyed;
            sellBoth(what, again, &again.key);
            ++seen.retries;
        } else {
            const int a = airport(in), f = flight(in);
            what << "seats.bookingsOf(" << a << ", " << f << ')';
            std::vector<std::int64_t> expected, actual;
            expectRule(what.str(), mod.bookingsOf(a, f, expected), lib->seats.bookingsOf(a, f, actual).rule);
            if (expected != actual) mismatch(what.str(), "bookings differ");
        }
    }

    // Every booking and every capacity against the model.
    void compareSeats(const std::string& what) {
        const std::vector<model::Network::Booking>& expected = mod.bookings();
        if (static_cast<std::int64_t>(expected.size()) != lib->seats.bookingCount()) {
            mismatch(what, "booking count " + std::to_string(lib->seats.bookingCount()));
            return;
        }
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const TBooking* b = lib->seats.booking(static_cast<std::int64_t>(i) + 1);
            const model::Network::Booking& e = expected[i];
            bool same = b != nullptr && b->passengers == e.passengers && b->key == e.key &&
                        b->cancelled == e.cancelled && b->legs.size() == e.legs.size();
            for (std::size_t l = 0; same && l < e.legs.size(); ++l)
                same = b->legs[l].flight == e.legs[l].flight && b->legs[l].from == e.legs[l].from &&
                       b->legs[l].to == e.legs[l].to && b->legs[l].gone == e.legs[l].gone;
            if (!same) mismatch(what, "booking " + std::to_string(i + 1) + " differs from the model");
        }
        for (const auto& a : mod.airports())
            for (const auto& f : a.second.flights) {
                if (f.second.from != a.first) continue;
                TFlightSeats got;
                lib->seats.seatsOf(a.first, f.first, got);
                auto cap = mod.capacities().find({a.first, f.first});
                if (got.seats != (cap == mod.capacities().end() ? -1 : cap->second))
                    mismatch(what, "seats of flight " + std::to_string(f.first) + " at " + std::to_string(a.first));
            }
    }

    void mismatch(const std::string& what, const std::string& detail) {
        ++mismatchCount;
        if (mismatchReports.size() < 5) {
            std::ostringstream out;
            if (!label.empty()) out << label << ": ";
            out << "operation " << ops << ' ' << what << ": " << detail;
            if (checks.logging && mismatchReports.size() < 3) {
                out << "\n  operations so far:";
                for (const std::string& line : history) out << "\n    " << line;
            }
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
        // Also the airports each fitted ticket holds on to.
        auto samePinned = [](const TTicket& a, const TTicket& b) {
            return a == b && a.pinned == b.pinned && a.from == b.from && a.to == b.to;
        };
        if (tickets.size() != mod.tickets().size() ||
            !std::equal(tickets.begin(), tickets.end(), mod.tickets().begin(), samePinned))
            mismatch(what, "tickets" + describe(ticketsOf(lib->booking)) + ", model" + describe(mod.tickets()));
        if (checks.model) compareSeats(what);
        if (!sameNetwork(lib->store, mod.airports()))
            mismatch(what, "network\n" + describe(networkOf(lib->store)) + "model\n" + describe(mod.airports()));
        // The model keeps the invariants by construction, so a network equal
        // to it keeps them too; the direct check runs now and then as a
        // second line.
        if (ops % 32 == 0) {
            const std::string breach = invariantBreach(lib->store);
            if (!breach.empty()) mismatch(what, breach);
        }
        // The search's copy of the network, followed by the probe.
        if (ops % 8 == 0) {
            const std::string breach = probe->breach();
            if (!breach.empty()) mismatch(what, "search network: " + breach);
        }
    }

    Ranges ranges;
    Checks checks;
    std::string label;  // of the test's sequence, for the reports
    // The file system of the network reopened last (see reopenFromFolder).
    std::unique_ptr<durabletest::MemoryFiles> folder;
    std::uint64_t reopened = 0;
    std::unique_ptr<DrivenNetwork> lib;
    std::unique_ptr<NetworkProbe> probe;  // on lib->store: goes first
    std::unique_ptr<FitingFlight::TFitingFlight> direct;  // on lib->store (checks.literal)
    std::unique_ptr<Choices::TChoices> choices;           // on lib->store and its seats (checks.choices)
public:
    static IFreeSeats* freeSeatsOf(ISeatBooking& seats) {
        IFreeSeats* free = dynamic_cast<IFreeSeats*>(&seats);
        if (free == nullptr) throw std::logic_error("the seat service keeps no free seats");
        return free;
    }
    std::mt19937_64 choiceRng{20261209};
    NetworkProbe::Counts probeBefore;     // of the libraries before a restart
    model::Network mod;
    oracle::Network snapshot;  // of lib->store at snapshotRevision
    std::uint64_t snapshotRevision = 0;
    bool haveSnapshot = false;
    std::optional<std::uint64_t> queriedRevision;  // the store's revision at the last query
    bool probing = true;
    std::deque<std::string> history;  // the last operations (checks.logging)
    int lastRouteCode = 0;
    std::uint64_t queryCount = 0;
    int lastFrom = 0;
    std::uint64_t ops = 0;
    std::ostream* trace = nullptr;
    Outcomes seen;
    std::optional<Keyed> lastKeyed;  // the last sale with a key, for retries
    std::uint64_t mismatchCount = 0;
    std::vector<std::string> mismatchReports;
};

}  // namespace robustness
