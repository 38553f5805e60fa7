// A tavrik::Network kept in a folder (on the in-memory file system): driven
// by random changes beside a network in memory given the same ones, closed
// and reopened, checkpointed, and cut off by power cuts at every file
// operation of a workload. The whole state (airports, flights with both
// booked counts, capacities, bookings, request keys) is compared as the
// bytes of saveState(), which are the same for equal states.

#include <gtest/gtest.h>

#include "durable/Bytes.h"
#include "library/Network.h"
#include "tests/support/MemoryFiles.h"
#include "tests/support/NetworkChanges.h"

using tavrik::Network;
using tavrik::durable::Durability;
using tavrik::durable::StorageError;
using durabletest::Disk;
using durabletest::MemoryFiles;
using durabletest::NetworkChanges;
using durabletest::PowerCut;

TEST(NetworkFolder, ReopenedNetworkIsTheNetworkInMemory) {
    for (Durability mode : {Durability::Full, Durability::Normal})
        for (std::uint64_t seed = 1; seed <= 6; ++seed) {
            MemoryFiles files;
            Network memory;
            auto kept = Network::open("/net", mode, files);
            ASSERT_TRUE(kept->recovery()->created);
            NetworkChanges onMemory(seed), onKept(seed);
            NetworkChanges when(seed * 7919);
            int reopened = 0, checkpoints = 0;
            for (int i = 0; i < 1500; ++i) {
                const std::string expected = onMemory.apply(memory);
                ASSERT_EQ(onKept.apply(*kept), expected) << "change " << i << ", seed " << seed;
                const int k = when.pick(0, 99);
                if (k < 3) {
                    const std::string before = kept->saveState();
                    kept->closeFolder();
                    kept.reset();
                    kept = Network::open("/net", mode, files);
                    ASSERT_EQ(kept->saveState(), before) << "reopened after change " << i;
                    ASSERT_EQ(kept->recovery()->droppedTail, "");
                    ++reopened;
                } else if (k < 4) {
                    kept->checkpoint();
                    ++checkpoints;
                }
            }
            EXPECT_EQ(kept->saveState(), memory.saveState());
            EXPECT_GT(reopened, 10);
            EXPECT_GT(checkpoints, 3);
            EXPECT_GT(kept->seatService()->bookingCount(), 20);
            // The same answers as well: every route query of the two.
            for (int from = 0; from < 8; ++from)
                for (int to = 0; to < 8; ++to) {
                    const auto a = memory.fit(5, from, to), b = kept->fit(5, from, to);
                    ASSERT_EQ(int(a.kind), int(b.kind));
                    ASSERT_EQ(a.legs.size(), b.legs.size());
                    for (std::size_t l = 0; l < a.legs.size(); ++l) {
                        EXPECT_EQ(a.legs[l].flight, b.legs[l].flight);
                        EXPECT_EQ(a.legs[l].booked, b.legs[l].booked);
                    }
                }
        }
}

TEST(NetworkFolder, FailedSyncStopsChangesAndReadsGoOn) {
    MemoryFiles files;
    auto kept = Network::open("/net", Durability::Full, files);
    kept->insertAirport(1, "one");
    kept->insertAirport(2, "two");
    files.failAt = files.operations + 2;  // the sync after the write
    files.failWith = EIO;
    try {
        kept->insertFlight(7, "seven", 1, 1, 2);
        FAIL() << "no error";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), StorageError::Kind::Stopped);
        EXPECT_NE(std::string(e.what()).find("sync"), std::string::npos) << e.what();
    }
    // Refused before anything changes, never retried.
    const auto operations = files.operations;
    EXPECT_THROW(kept->insertAirport(3, "three"), StorageError);
    EXPECT_THROW(kept->setSeats(1, 7, 4), StorageError);
    EXPECT_EQ(files.operations, operations);
    EXPECT_EQ(kept->readAirports().size(), 2u);
    EXPECT_EQ(kept->fit(5, 1, 2).kind, tavrik::FitAnswer::Kind::Route);
}

namespace {

// A workload of changes; states[k] is the network after k changes.
struct Workload {
    std::vector<std::string> states;
    int acknowledged = 0;
};

void run(MemoryFiles& files, Durability mode, Workload& w, std::uint64_t seed, int changes) {
    NetworkChanges random(seed);
    try {
        auto kept = Network::open("/net", mode, files);
        for (int i = 1; i <= changes; ++i) {
            random.apply(*kept);
            w.acknowledged = i;
            if (i % 60 == 0) {
                try {
                    kept->checkpoint();
                } catch (const StorageError&) {
                }
            }
        }
        kept->closeFolder();
    } catch (const PowerCut&) {
    } catch (const StorageError&) {
    }
}

}  // namespace

TEST(NetworkFolder, PowerCutAtEveryFileOperationOpensAnAcknowledgedState) {
    const int changes = 200;
    const std::uint64_t seed = 11;
    // The states after each change, from a network in memory.
    std::vector<std::string> states;
    {
        Network memory;
        NetworkChanges random(seed);
        states.push_back(memory.saveState());
        for (int i = 1; i <= changes; ++i) {
            random.apply(memory);
            states.push_back(memory.saveState());
        }
    }
    int cases = 0;
    for (Durability mode : {Durability::Full, Durability::Normal}) {
        MemoryFiles probe;
        Workload whole;
        run(probe, mode, whole, seed, changes);
        ASSERT_EQ(whole.acknowledged, changes);
        for (std::uint64_t at = 1; at <= probe.operations; ++at)
            for (int variant = 0; variant < 6; ++variant) {
                MemoryFiles files;
                if (variant < 5) {
                    files.cutAt = at;
                    files.tornAfter = variant == 4 ? 13 : 0;
                } else {
                    files.failAt = at;
                    files.failWith = at % 2 ? EIO : ENOSPC;
                }
                Workload w;
                run(files, mode, w, seed, changes);
                const Disk disk = variant == 0 ? Disk::Lost : variant == 1 ? Disk::Kept
                                : variant == 4 ? Disk::Torn : variant == 5 ? Disk::Lost : Disk::Reordered;
                MemoryFiles after = files.afterCut(disk, std::uint32_t(variant + at));
                ++cases;
                std::unique_ptr<Network> back;
                try {
                    back = Network::open("/net", mode, after);
                } catch (const StorageError& e) {
                    FAIL() << "cut at " << at << ", variant " << variant << ": " << e.what();
                }
                const std::string state = back->saveState();
                int found = -1;
                for (int k = int(states.size()) - 1; k >= 0 && found < 0; --k)
                    if (states[std::size_t(k)] == state) found = k;
                ASSERT_GE(found, 0) << "cut at " << at << ", variant " << variant << ": a state never acknowledged";
                if (mode == Durability::Full) {
                    ASSERT_GE(found, w.acknowledged) << "cut at " << at << ", variant " << variant;
                }
            }
    }
    EXPECT_GT(cases, 1000);
    std::cout << cases << " power cuts of a network\n";
}

// Reopening trusts nothing a booking record says about seats: a journal
// spliced onto a snapshot of another history that shares its start (same
// store, generation and record numbers) is replayed, and a booking it holds
// that the snapshot has no room for refuses the open instead of overselling.
// The same splice with room opens, with the booking's recorded id.
TEST(NetworkFolder, JournalThatOversellsItsSnapshotRefusesToOpen) {
    MemoryFiles start;
    {
        auto n = Network::open("/net", Durability::Full, start);
        n->insertAirport(1, "one");
        n->insertAirport(2, "two");
        n->insertFlight(7, "seven", 1, 1, 2);
        n->setSeats(1, 7, 3);
        n->closeFolder();
    }
    const std::vector<TLegRequest> leg{{7, 1, 2}};
    // One history: a seat, a checkpoint, then two seats in the new journal.
    MemoryFiles journaled = start.afterCut(Disk::Kept, 0);
    {
        auto n = Network::open("/net", Durability::Full, journaled);
        n->bookRoute(leg, 1, nullptr);
        n->checkpoint();
        EXPECT_EQ(n->bookRoute(leg, 2, nullptr).id, 2);
        n->closeFolder();
    }
    for (int firstSale : {1, 2}) {
        // The other: `firstSale` seats, then the checkpoint.
        MemoryFiles other = start.afterCut(Disk::Kept, 0);
        {
            auto n = Network::open("/net", Durability::Full, other);
            n->bookRoute(leg, firstSale, nullptr);
            n->checkpoint();
            n->closeFolder();
        }
        ASSERT_TRUE(other.exists("/net/journal-1.log"));
        other.bytes("/net/journal-1.log") = journaled.bytes("/net/journal-1.log");
        if (firstSale == 1) {
            auto n = Network::open("/net", Durability::Full, other);
            EXPECT_EQ(n->readSeats(1, 7).sold, 3);
            EXPECT_EQ(n->readBooking(2).passengers, 2);
            continue;
        }
        try {
            auto n = Network::open("/net", Durability::Full, other);
            FAIL() << "opened with " << n->readSeats(1, 7).sold << " of 3 seats sold";
        } catch (const StorageError& e) {
            EXPECT_EQ(e.kind(), StorageError::Kind::Corrupt);
            const std::string text = e.what();
            EXPECT_NE(text.find("journal-1.log"), std::string::npos) << text;
            EXPECT_NE(text.find("offset"), std::string::npos) << text;
        }
    }
}

// A snapshot's bookings are read against its flights: a live booking whose
// leg (not marked gone) names no flight of the network is refused (before,
// a cancel of it followed a null entry); a cancelled one may name a flight
// removed since, and a live one restored gives its seats back when
// cancelled.
TEST(NetworkFolder, SnapshotWhoseLiveBookingNamesNoFlightIsRefused) {
    for (int flight : {7, 8})
        for (bool cancelled : {false, true}) {
            std::string bytes;
            tavrik::durable::Writer w(bytes);
            w.u32(2);
            w.i32(1);
            w.str("one");
            w.i32(2);
            w.str("two");
            w.u32(1);  // flight 7 from 1 to 2, one seat booked at both ends
            for (int v : {7}) w.i32(v);
            w.str("seven");
            for (int v : {1, 1, 2, cancelled ? 0 : 1, cancelled ? 0 : 1}) w.i32(v);
            w.u32(0);  // no capacities
            w.u32(1);  // one booking of one passenger on `flight`
            w.i32(1);
            w.u32(1);
            for (int v : {flight, 1, 2}) w.i32(v);
            w.u8(0);
            w.str("");
            w.u8(cancelled);
            w.u32(0);  // no lists of live bookings, no keys
            w.u32(0);
            Network n;
            if (flight == 8 && !cancelled) {
                EXPECT_THROW(n.restoreState(bytes), std::runtime_error);
                continue;
            }
            n.restoreState(bytes);
            EXPECT_EQ(n.cancelBooking(1), !cancelled) << flight;
            EXPECT_EQ(n.readSeats(1, 7).sold, 0) << flight;
        }
}
