// Allocation failures swept through the durable network's opening (a new
// folder, and recovery from a snapshot, a journal and a torn end), its
// checkpoint and a recorded change, on the in-memory file system. After
// every failure the folder must open (unarmed) to the state before the call
// or to the state after it, never another; a network that goes on
// accepting changes must be the network its folder reopens to.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "library/Network.h"
#include "tests/robustness/FailingAllocator.h"
#include "tests/support/MemoryFiles.h"

namespace {

using durabletest::MemoryFiles;
using tavrik::Network;
using tavrik::durable::Durability;
using tavrik::durable::StorageError;

const std::string kKey = "a request key well past the small-string buffer";

// A network with capacities, bookings (one keyed, one cancelled), a
// checkpoint and records after it.
void fill(Network& n, bool checkpoint) {
    n.insertAirport(1, "an airport name well past the small-string buffer");
    n.insertAirport(2, "two");
    n.insertAirport(3, "three");
    n.insertFlight(10, "a flight name well past the small-string buffer", 1, 1, 2);
    n.insertFlight(11, "eleven", 2, 2, 3);
    n.setSeats(1, 10, 9);
    n.fitAndBookFor(9, 1, 3, 2, &kKey);
    if (checkpoint) n.checkpoint();
    n.fitAndBookFor(9, 1, 2, 1, nullptr);
    n.cancelBooking(2);
    n.insertFlight(12, "twelve", 1, 3, 1);
}

// A batch for a network that is still empty, which builds it whole: long
// names, airports and flights out of order, and a hub.
std::vector<tavrik::AirportItem> batchAirports() {
    std::vector<tavrik::AirportItem> a;
    for (int n : {7, 3, 5, 1, 9}) a.push_back({n, "an airport name well past the small-string buffer " + std::to_string(n)});
    return a;
}
std::vector<tavrik::FlightItem> batchFlights(bool refusedAtEnd) {
    std::vector<tavrik::FlightItem> f;
    for (int n : {40, 10, 30, 20}) {
        f.push_back({n, "a flight name well past the small-string buffer", n / 10, 1, n / 10 * 2 + 1});
        f.push_back({n + 1, "back", 1, n / 10 * 2 + 1, 1});
    }
    if (refusedAtEnd) f.push_back({10, "taken at airport 1", 1, 9, 1});
    return f;
}

std::string reopened(MemoryFiles& files) {
    auto n = Network::open("/net", Durability::Full, files);
    return n->saveState();
}

struct Sweep {
    const char* name;
    // Makes the folder (unarmed); may leave a network open for `run`.
    std::function<void(MemoryFiles&, std::unique_ptr<Network>&)> setup;
    // The call swept.
    std::function<void(MemoryFiles&, std::unique_ptr<Network>&)> run;
};

void sweep(const Sweep& s, bool persistent) {
    SCOPED_TRACE(std::string(s.name) + (persistent ? " (N-th and later fail)" : " (only the N-th fails)"));
    std::string before, after;
    {
        MemoryFiles files;
        std::unique_ptr<Network> n;
        s.setup(files, n);
        if (n) n->closeFolder();
        n.reset();
        before = files.names().empty() ? std::string() : reopened(files);
        n.reset();
        s.setup(files = MemoryFiles(), n);
        s.run(files, n);
        if (n) n->closeFolder();
        n.reset();
        after = reopened(files);
    }
    std::uint64_t points = 0;
    for (std::uint64_t at = 1;; ++at) {
        ASSERT_LT(at, 200000u) << "no end to the allocations";
        MemoryFiles files;
        std::unique_ptr<Network> n;
        s.setup(files, n);
        bool threw = false;
        std::uint64_t failures;
        {
            failing::Armed armed(at, persistent);
            try {
                s.run(files, n);
            } catch (const std::bad_alloc&) {
                threw = true;
            } catch (const StorageError&) {
                threw = true;  // a halted store refusing, or a checkpoint's own report
            }
            failures = armed.finish();
        }
        if (failures == 0) break;
        ++points;
        SCOPED_TRACE("allocation " + std::to_string(at) + " failed");
        std::string live;
        bool accepting = false;
        if (n) {
            live = n->saveState();
            try {
                n->insertAirport(99, "after");
                live = n->saveState();
                accepting = true;
            } catch (const StorageError&) {
            }
            try {
                n->closeFolder();
            } catch (const StorageError&) {
            }
            n.reset();
        }
        const std::string state = reopened(files);
        if (accepting) {
            EXPECT_EQ(state, live) << "the folder reopens to another network than the one that went on";
        } else {
            EXPECT_TRUE(state == before || state == after || (!threw && state == after))
                << "the folder reopens to a state that was never there";
        }
    }
    std::printf("[alloc-failure] %-58s %s: %llu failure points\n", s.name,
                persistent ? "N-th and later" : "N-th only     ", static_cast<unsigned long long>(points));
    EXPECT_GT(points, 0u);
}

std::vector<Sweep> sweeps() {
    return {
        {"durable: open a new folder", [](MemoryFiles&, std::unique_ptr<Network>&) {},
         [](MemoryFiles& files, std::unique_ptr<Network>& n) { n = Network::open("/net", Durability::Full, files); }},
        {"durable: recovery (snapshot, journal, torn end)",
         [](MemoryFiles& files, std::unique_ptr<Network>&) {
             {
                 auto n = Network::open("/net", Durability::Full, files);
                 fill(*n, true);
             }
             files.bytes("/net/journal-1.log") += std::string(30, '\x7f');
         },
         [](MemoryFiles& files, std::unique_ptr<Network>& n) { n = Network::open("/net", Durability::Full, files); }},
        {"durable: a whole network loaded in one call",
         [](MemoryFiles& files, std::unique_ptr<Network>& n) { n = Network::open("/net", Durability::Full, files); },
         [](MemoryFiles&, std::unique_ptr<Network>& n) { n->load(batchAirports(), batchFlights(false)); }},
        {"durable: a whole network refused at its last item",
         [](MemoryFiles& files, std::unique_ptr<Network>& n) { n = Network::open("/net", Durability::Full, files); },
         [](MemoryFiles&, std::unique_ptr<Network>& n) {
             try {
                 n->load(batchAirports(), batchFlights(true));
             } catch (const tavrik::Refusal&) {
             }
         }},
        {"durable: checkpoint",
         [](MemoryFiles& files, std::unique_ptr<Network>& n) {
             n = Network::open("/net", Durability::Full, files);
             fill(*n, false);
         },
         [](MemoryFiles&, std::unique_ptr<Network>& n) { n->checkpoint(); }},
        {"durable: a keyed booking recorded",
         [](MemoryFiles& files, std::unique_ptr<Network>& n) {
             n = Network::open("/net", Durability::Full, files);
             fill(*n, true);
         },
         [](MemoryFiles&, std::unique_ptr<Network>& n) {
             const std::string key = kKey + " again";
             n->fitAndBookFor(9, 2, 1, 1, &key);
         }},
    };
}

TEST(AllocationFailure, DurableOnlyNth) {
    for (const Sweep& s : sweeps()) sweep(s, false);
}
TEST(AllocationFailure, DurableNthAndLater) {
    for (const Sweep& s : sweeps()) sweep(s, true);
}

}  // namespace
