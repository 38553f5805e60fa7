#pragma once

// A second copy of the route search's network (fitting/SearchNetwork), kept
// the way the route search keeps its own: built from the store at the first
// query (the driver calls beforeQuery()), then kept current by the store's
// listener calls, an addition compacting it (from itself) after itself when
// wantsRebuild() says so. It sees the same edits in the same order as the
// library's copy, so what it goes through (rebuilds, out-of-order and dead
// slots, queue kinds) is what the library's copy goes through: the tests
// print these counts and assert that their sequences reach the states they
// are meant to.
//
// breach() compares the copy with the store: the same live airports, slots
// that know their airport, airports in order that really are in number
// order, and for each airport exactly one edge per arrival airport carrying
// the smallest day count of its flights there; the queue kind must suit the
// day counts (the wide heap with a negative one, no bitmap queue past 255
// days or with too few rows, no 32-bit heap keys when a route's total could
// pass 2^32). Beside the edges it checks the copy's own indexes: every edge
// of several flights carries exactly those flights in (days, number) order,
// and indexBreach() agrees (the probe's copy indexes an airport's edges from
// two on, so that the small networks of the tests go through the index).

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fitting/SearchNetwork.h"
#include "store/IDataAccess.h"
#include "store/INetworkListener.h"

namespace robustness {

class NetworkProbe final : public INetworkListener {
public:
    struct Counts {
        std::uint64_t rebuilds = 0;
        std::uint64_t slotRebuilds = 0;  // dead and out-of-order slots had piled up
        std::uint64_t poolRebuilds = 0;  // the rest: abandoned edge-pool entries
        std::uint64_t airportsAdded = 0;
        std::uint64_t outOfOrderAdded = 0;  // given a slot out of number order
        std::uint64_t airportsRemoved = 0;
        std::uint64_t flightsAdded = 0;
        std::uint64_t flightsRemoved = 0;
        std::uint64_t networksBuilt = 0;  // whole networks built at once into an empty store
        std::uint64_t kindChanges = 0;  // edits after which the queue kind differs
        std::uint64_t editsIn[3] = {};  // edits ending in each queue kind
        std::size_t mostSlots = 0;

        void add(const Counts& o) {
            rebuilds += o.rebuilds;
            slotRebuilds += o.slotRebuilds;
            poolRebuilds += o.poolRebuilds;
            airportsAdded += o.airportsAdded;
            outOfOrderAdded += o.outOfOrderAdded;
            airportsRemoved += o.airportsRemoved;
            flightsAdded += o.flightsAdded;
            flightsRemoved += o.flightsRemoved;
            networksBuilt += o.networksBuilt;
            kindChanges += o.kindChanges;
            for (int k = 0; k < 3; ++k) editsIn[k] += o.editsIn[k];
            mostSlots = std::max(mostSlots, o.mostSlots);
        }

        std::string text() const {
            std::ostringstream out;
            out << "search-network rebuilds " << rebuilds << " (slots " << slotRebuilds << ", edge pool "
                << poolRebuilds << "), airports added " << airportsAdded << " (out of order " << outOfOrderAdded
                << ") removed " << airportsRemoved << ", flights added " << flightsAdded << " removed "
                << flightsRemoved << ", networks built whole " << networksBuilt << ", most slots " << mostSlots << ", queue kind changes " << kindChanges
                << ", edits ending in buckets/packed/wide " << editsIn[0] << '/' << editsIn[1] << '/'
                << editsIn[2];
            return out.str();
        }
    };

    explicit NetworkProbe(IDataAccess& store) : store(store), net(probeTuning()) { store.addListener(this); }

    // What the driver's own route search uses as well.
    static FitingFlight::SearchTuning probeTuning() {
        FitingFlight::SearchTuning tuning;
        tuning.indexFrom = 2;
        tuning.idleStates = 1;
        return tuning;
    }
    ~NetworkProbe() override { store.removeListener(this); }
    NetworkProbe(const NetworkProbe&) = delete;
    NetworkProbe& operator=(const NetworkProbe&) = delete;

    const Counts& counts() const { return seen; }

    // Call before every query: the first one builds the copy.
    void beforeQuery() {
        if (following) return;
        net.rebuild(*store.getAirports());
        kind = net.queueKind();
        following = true;
    }
    FitingFlight::QueueKind queueKind() const { return net.queueKind(); }
    std::uint32_t slotCount() const { return net.slotCount(); }

    // Empty when the copy agrees with the store, else the first difference.
    std::string breach() const {
        std::ostringstream out;
        if (!following) return {};
        const std::map<int, TAirportLink>& airports = *store.getAirports();
        if (net.liveCount() != airports.size()) {
            out << "search network holds " << net.liveCount() << " airports, the store " << airports.size();
            return out.str();
        }
        bool negative = false;
        long long largest = 0;
        for (const auto& a : airports) {
            std::uint32_t slot;
            if (!net.findSlot(a.first, slot) || slot >= net.slotCount() || net.idOf(slot) != a.first) {
                out << "airport " << a.first << " has no slot of its own in the search network";
                return out.str();
            }
            std::map<int, int> expected;  // arrival airport -> fewest days
            std::map<int, std::vector<std::pair<int, int>>> flightsTo;  // arrival -> (days, number)
            for (const auto& f : *a.second.pAirport->getFlights()) {
                const TFlightLink& link = f.second;
                negative = negative || link.days < 0;
                largest = std::max<long long>(largest, link.days);
                if (link.from != a.first) continue;
                flightsTo[link.to].emplace_back(link.days, f.first);
                auto e = expected.find(link.to);
                if (e == expected.end())
                    expected.emplace(link.to, link.days);
                else
                    e->second = std::min(e->second, link.days);
            }
            std::map<int, int> actual;
            for (const FitingFlight::Edge* e = net.edgesBegin(slot); e != net.edgesEnd(slot); ++e) {
                if (!net.isLive(e->to)) {
                    out << "airport " << a.first << " has an edge to slot " << e->to << ", no live airport";
                    return out.str();
                }
                const int to = net.idOf(e->to);
                if (!actual.emplace(to, e->days).second) {
                    out << "airport " << a.first << " has two edges to airport " << to;
                    return out.str();
                }
            }
            if (actual != expected) {
                out << "edges of airport " << a.first << " in the search network:" << pairs(actual)
                    << "; its flights say:" << pairs(expected);
                return out.str();
            }
            for (auto& [to, list] : flightsTo) {
                std::sort(list.begin(), list.end());
                if (list.size() < 2) list.clear();
                std::uint32_t toSlot = 0;
                net.findSlot(to, toSlot);
                if (net.parallelFlights(slot, toSlot) != list) {
                    out << "the search network's flights from " << a.first << " to " << to
                        << " are not the store's " << list.size() << " (days, number) in order";
                    return out.str();
                }
            }
        }
        const std::string index = net.indexBreach();
        if (!index.empty()) return "search network index: " + index;
        // Airports in order: their numbers ascend with their slots.
        bool first = true;
        int previous = 0;
        for (std::uint32_t slot = 0; slot < net.slotCount(); ++slot) {
            if (!net.isLive(slot) || !net.inOrder(slot)) continue;
            if (!first && net.idOf(slot) <= previous) {
                out << "airport " << net.idOf(slot) << " counts as in order after airport " << previous;
                return out.str();
            }
            first = false;
            previous = net.idOf(slot);
        }
        const FitingFlight::QueueKind k = net.queueKind();
        if (negative != net.negativeDays() || (negative && k != FitingFlight::QueueKind::WideHeap)) {
            out << "a negative day count " << (negative ? "is" : "is not") << " in the store, the search network "
                << (net.negativeDays() ? "sees one" : "sees none");
            return out.str();
        }
        const bool small = !negative && largest <= 255;
        if (k == FitingFlight::QueueKind::Buckets && (!small || static_cast<long long>(net.bucketCount()) <= largest)) {
            out << "queue kind " << static_cast<int>(k) << " with " << net.bucketCount()
                << " buckets for day counts up to " << largest;
            return out.str();
        }
        if (k == FitingFlight::QueueKind::PackedHeap &&
            static_cast<unsigned long long>(airports.size()) * static_cast<unsigned long long>(largest) >=
                (1ull << 32)) {
            out << "32-bit heap keys with " << airports.size() << " airports and day counts up to " << largest;
            return out.str();
        }
        return {};
    }

private:
    void airportAdded(int airport) override {
        ++seen.airportsAdded;
        if (!following) return;
        net.addAirport(airport);
        std::uint32_t slot;
        if (net.findSlot(airport, slot) && !net.inOrder(slot)) ++seen.outOfOrderAdded;
        if (net.wantsRebuild()) {
            noteRebuild();
            try {
                net.compact();
            } catch (...) {
                static const std::map<int, TFlightLink> none;
                net.removeAirport(airport, none);
                throw;
            }
        }
        noteEdit();
    }
    void airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept override {
        ++seen.airportsRemoved;
        if (!following) return;
        net.removeAirport(airport, flights);
        if (net.liveCount() == 0) {
            // As the search does: an empty copy goes, the next query builds.
            net.clear();
            following = false;
            return;
        }
        noteEdit();
    }
    void networkBuilt() noexcept override {
        ++seen.networksBuilt;
        // As the search does: the copy goes, the next query builds it.
        if (!following) return;
        net.clear();
        following = false;
    }
    void flightAdded(int flight, int days, int from, int to) override {
        ++seen.flightsAdded;
        if (!following) return;
        net.addFlight(flight, days, from, to);
        if (net.wantsRebuild()) {
            noteRebuild();
            try {
                net.compact();
            } catch (...) {
                net.removeFlight(flight, days, from, to);
                throw;
            }
        }
        noteEdit();
    }
    void flightRemoved(int flight, int days, int from, int to) noexcept override {
        ++seen.flightsRemoved;
        if (!following) return;
        net.removeFlight(flight, days, from, to);
        noteEdit();
    }

    // Which share ran over: the slots, or else the edge pool.
    void noteRebuild() {
        ++seen.rebuilds;
        ++(net.slotsOverShare() ? seen.slotRebuilds : seen.poolRebuilds);
    }

    void noteEdit() {
        const FitingFlight::QueueKind now = net.queueKind();
        if (now != kind) ++seen.kindChanges;
        kind = now;
        ++seen.editsIn[static_cast<int>(now)];
        seen.mostSlots = std::max<std::size_t>(seen.mostSlots, net.slotCount());
    }

    static std::string pairs(const std::map<int, int>& m) {
        std::ostringstream out;
        for (const auto& p : m) out << " ->" << p.first << " d" << p.second;
        return out.str();
    }

    IDataAccess& store;
    FitingFlight::SearchNetwork net;
    bool following = false;  // built: a query has been made
    FitingFlight::QueueKind kind = FitingFlight::QueueKind::Buckets;
    Counts seen;
};

}  // namespace robustness
