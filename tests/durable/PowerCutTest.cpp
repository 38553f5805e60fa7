// Crashes at every point of a scripted workload, through the in-memory file
// system (tests/support/MemoryFiles.h): the power cut at each changing file
// operation, with the disk then holding only what was synced, everything,
// a torn last write, or a random subset of the unsynced writes; and each
// operation failing with EIO or ENOSPC, then the process or the power going.
// Every recovery must open, hold a prefix of the workload's records (never a
// wrong state), and in Full mode every record acknowledged before the cut.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "durable/Store.h"
#include "tests/support/MemoryFiles.h"

using tavrik::durable::Durability;
using tavrik::durable::Store;
using tavrik::durable::StorageError;
using durabletest::Disk;
using durabletest::MemoryFiles;
using durabletest::PowerCut;

namespace {

const int scriptRecords = 150;

std::string item(int i) { return "record " + std::to_string(i) + std::string(std::size_t(i % 7), '.'); }

std::unique_ptr<Store> openInto(MemoryFiles& files, Durability mode, std::vector<std::string>& items) {
    items.clear();
    return Store::open(
        files, "/net", mode, [] { return std::string(); },
        [&](std::string_view state) {
            std::istringstream in{std::string(state)};
            for (std::string line; std::getline(in, line);) items.push_back(line);
        },
        [&](std::string_view record) { items.emplace_back(record); });
}

// The workload: records appended and committed one by one, checkpoints
// after 40, 80 and 120, a close and a reopen after 125. Returns how many
// records were acknowledged (commit returned) before it stopped.
int script(MemoryFiles& files, Durability mode) {
    int acknowledged = 0;
    std::vector<std::string> items;
    try {
        auto store = openInto(files, mode, items);
        for (int i = 1; i <= scriptRecords; ++i) {
            items.push_back(item(i));
            store->commit(store->append(items.back()));
            acknowledged = i;
            if (i % 40 == 0) {
                std::string state;
                for (const auto& s : items) state += s + "\n";
                try {
                    store->checkpoint(state);
                } catch (const StorageError&) {
                    // A failed checkpoint leaves the store as it was.
                }
            }
            if (i == 125) {
                store->close();
                store = openInto(files, mode, items);
            }
        }
        store->close();
    } catch (const PowerCut&) {
    } catch (const StorageError&) {
    }
    return acknowledged;
}

struct Tally {
    int cases = 0;
    int failures = 0;
};

void check(MemoryFiles disk, Durability mode, int acknowledged, const std::string& what, Tally& tally) {
    ++tally.cases;
    std::vector<std::string> items;
    try {
        auto store = openInto(disk, mode, items);
        // Never a wrong state: a prefix of the workload.
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] != item(int(i) + 1)) {
                ADD_FAILURE() << what << ": record " << i + 1 << " is \"" << items[i] << "\"";
                ++tally.failures;
                return;
            }
        if (items.size() > std::size_t(scriptRecords)) {
            ADD_FAILURE() << what << ": " << items.size() << " records";
            ++tally.failures;
        }
        if (mode == Durability::Full && int(items.size()) < acknowledged) {
            ADD_FAILURE() << what << ": " << acknowledged << " acknowledged, " << items.size() << " recovered";
            ++tally.failures;
        }
        // The recovered store goes on.
        items.push_back(item(int(items.size()) + 1));
        store->commit(store->append(items.back()));
        store->close();
        std::vector<std::string> again;
        openInto(disk, mode, again);
        if (again != items) {
            ADD_FAILURE() << what << ": a record after recovery was not kept";
            ++tally.failures;
        }
    } catch (const StorageError& e) {
        ADD_FAILURE() << what << ": recovery refused: " << e.what();
        ++tally.failures;
    }
}

std::uint64_t scriptOperations(Durability mode) {
    MemoryFiles files;
    script(files, mode);
    return files.operations;
}

}  // namespace

TEST(PowerCut, EveryCutPointOfTheScriptRecovers) {
    Tally tally;
    for (Durability mode : {Durability::Full, Durability::Normal}) {
        const std::uint64_t operations = scriptOperations(mode);
        ASSERT_GT(operations, 150u);
        for (std::uint64_t at = 1; at <= operations; ++at) {
            const std::string where = std::string(mode == Durability::Full ? "Full" : "Normal") + ", cut at " +
                                      std::to_string(at) + " of " + std::to_string(operations);
            for (std::uint64_t torn : {0, 1, 9, 23, 40}) {
                MemoryFiles files;
                files.cutAt = at;
                files.tornAfter = torn;
                const int acknowledged = script(files, mode);
                if (torn == 0) {
                    check(files.afterCut(Disk::Lost, 0), mode, acknowledged, where + ", synced only", tally);
                    check(files.afterCut(Disk::Kept, 0), mode, acknowledged, where + ", all kept", tally);
                    for (std::uint32_t seed = 1; seed <= 6; ++seed)
                        check(files.afterCut(Disk::Reordered, seed), mode, acknowledged,
                              where + ", reordered " + std::to_string(seed), tally);
                } else {
                    check(files.afterCut(Disk::Torn, 0), mode, acknowledged,
                          where + ", torn after " + std::to_string(torn), tally);
                }
            }
            if (tally.failures > 20) FAIL() << "too many failures";
        }
    }
    EXPECT_EQ(tally.failures, 0);
    EXPECT_GE(tally.cases, 6000);
    std::cout << tally.cases << " power-cut cases\n";
}

TEST(PowerCut, FailedWriteOrSyncThenCrashRecovers) {
    Tally tally;
    for (Durability mode : {Durability::Full, Durability::Normal}) {
        const std::uint64_t operations = scriptOperations(mode);
        for (std::uint64_t at = 1; at <= operations; ++at)
            for (int error : {EIO, ENOSPC}) {
                MemoryFiles files;
                files.failAt = at;
                files.failWith = error;
                const int acknowledged = script(files, mode);
                const std::string where = std::string(mode == Durability::Full ? "Full" : "Normal") + ", " +
                                          std::strerror(error) + " at " + std::to_string(at);
                check(files.afterCut(Disk::Kept, 0), mode, acknowledged, where + ", then killed", tally);
                check(files.afterCut(Disk::Lost, 0), mode, acknowledged, where + ", then power cut", tally);
                for (std::uint32_t seed = 1; seed <= 2; ++seed)
                    check(files.afterCut(Disk::Reordered, seed), mode, acknowledged,
                          where + ", then reordered " + std::to_string(seed), tally);
            }
    }
    EXPECT_EQ(tally.failures, 0);
    EXPECT_GE(tally.cases, 4000);
    std::cout << tally.cases << " failure cases\n";
}
