// The durable store on its own (records are opaque bytes here): what a
// reopen gives back, the refusals of damaged or foreign folders with the
// file and offset named and nothing changed, the folder lock, and a failed
// write or sync stopping the store. Crashes at every point are swept in
// PowerCutTest.cpp.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "durable/Crc32c.h"
#include "durable/Format.h"
#include "durable/Store.h"
#include "tests/support/MemoryFiles.h"

using tavrik::durable::Durability;
using tavrik::durable::FileSystem;
using tavrik::durable::Store;
using tavrik::durable::StorageError;
using Kind = tavrik::durable::StorageError::Kind;
using durabletest::MemoryFiles;

namespace {

// A state that is the list of its records; the snapshot is the records
// joined by newlines.
struct Records {
    std::vector<std::string> items;
    std::unique_ptr<Store> open(FileSystem& files, const std::string& folder, Durability mode = Durability::Full) {
        items.clear();
        return Store::open(
            files, folder, mode, [] { return std::string(); },
            [this](std::string_view state) {
                std::istringstream in{std::string(state)};
                for (std::string line; std::getline(in, line);) items.push_back(line);
            },
            [this](std::string_view record) { items.emplace_back(record); });
    }
    std::string state() const {
        std::string all;
        for (const auto& item : items) all += item + "\n";
        return all;
    }
    void add(Store& store, const std::string& item) {
        items.push_back(item);
        store.commit(store.append(item));
    }
};

std::vector<std::string> numbered(int from, int to) {
    std::vector<std::string> v;
    for (int i = from; i <= to; ++i) v.push_back("record " + std::to_string(i));
    return v;
}

// Every file of the folder with its bytes, to prove a refusal changed nothing.
std::map<std::string, std::string> contents(MemoryFiles& files) {
    std::map<std::string, std::string> all;
    for (const auto& name : files.names()) all[name] = files.bytes(name);
    return all;
}

template <typename F>
StorageError refusal(F&& f) {
    try {
        f();
    } catch (const StorageError& e) {
        return e;
    }
    ADD_FAILURE() << "no StorageError";
    return StorageError(Kind::Io, "");
}

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/tavrik-store-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~TempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

}  // namespace

// The checksum of every record and snapshot, whichever way this machine
// computes it, against the polynomial worked bit by bit: every length up to
// a few words, at every alignment, and continued sums.
TEST(Store, ChecksumIsCrc32cAtEveryLengthAndAlignment) {
    const auto bitwise = [](const unsigned char* p, std::size_t n, std::uint32_t crc) {
        crc = ~crc;
        while (n-- > 0) {
            crc ^= *p++;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    EXPECT_EQ(tavrik::durable::crc32c("123456789", 9), 0xE3069283u);
    unsigned char bytes[96];
    for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(i * 167 + 13);
    for (std::size_t at = 0; at < 8; ++at)
        for (std::size_t n = 0; at + n <= sizeof bytes; ++n) {
            ASSERT_EQ(tavrik::durable::crc32c(bytes + at, n), bitwise(bytes + at, n, 0)) << at << " " << n;
            const std::uint32_t head = tavrik::durable::crc32c(bytes + at, n / 3);
            ASSERT_EQ(tavrik::durable::crc32c(bytes + at + n / 3, n - n / 3, head), bitwise(bytes + at, n, 0));
        }
}

TEST(Store, ReopenGivesBackEveryRecordAcrossCheckpoints) {
    for (Durability mode : {Durability::Full, Durability::Normal}) {
        MemoryFiles files;
        Records r;
        {
            auto store = r.open(files, "/net", mode);
            EXPECT_TRUE(store->recovery().created);
            for (const auto& item : numbered(1, 30)) r.add(*store, item);
            store->checkpoint(r.state());
            for (const auto& item : numbered(31, 40)) r.add(*store, item);
            store->checkpoint(r.state());
            for (const auto& item : numbered(41, 45)) r.add(*store, item);
            store->close();
        }
        Records back;
        auto store = back.open(files, "/net", mode);
        EXPECT_EQ(back.items, numbered(1, 45));
        EXPECT_FALSE(store->recovery().created);
        EXPECT_EQ(store->recovery().snapshot, 2u);
        EXPECT_EQ(store->recovery().records, 5u);
        EXPECT_EQ(store->recovery().lastRecord, 45u);
        EXPECT_EQ(store->recovery().droppedTail, "");
        // Only the newest generation is kept.
        EXPECT_FALSE(files.exists("/net/snapshot-1.snap"));
        EXPECT_FALSE(files.exists("/net/journal-1.log"));
        for (const auto& item : numbered(46, 47)) back.add(*store, item);
        store->close();
        Records again;
        again.open(files, "/net", mode);
        EXPECT_EQ(again.items, numbered(1, 47));
    }
}

TEST(Store, RealFilesGroupCommitFromEightThreads) {
    TempFolder dir;
    std::mutex exclusive;
    {
        Records r;
        auto store = r.open(tavrik::durable::systemFiles(), dir.path + "/net");
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 50; ++i) {
                    std::uint64_t n;
                    {
                        std::lock_guard<std::mutex> lock(exclusive);
                        n = store->append("t" + std::to_string(t) + " " + std::to_string(i));
                    }
                    store->commit(n);
                }
            });
        for (auto& t : threads) t.join();
        store->close();
    }
    Records back;
    auto store = back.open(tavrik::durable::systemFiles(), dir.path + "/net");
    ASSERT_EQ(back.items.size(), 400u);
    std::map<int, int> next;  // each thread's records in its own order
    for (const auto& item : back.items) {
        const int t = item[1] - '0';
        EXPECT_EQ(item, "t" + std::to_string(t) + " " + std::to_string(next[t]++));
    }
}

TEST(Store, BadFoldersAreRefusedWithTheirName) {
    TempFolder dir;
    Records r;
    const std::string file = dir.path + "/plain";
    std::ofstream(file) << "not a folder";
    auto e = refusal([&] { r.open(tavrik::durable::systemFiles(), file); });
    EXPECT_EQ(e.kind(), Kind::NotFolder);
    EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();

    e = refusal([&] { r.open(tavrik::durable::systemFiles(), dir.path + "/missing/net"); });
    EXPECT_EQ(e.error(), ENOENT);
    EXPECT_NE(std::string(e.what()).find(dir.path + "/missing/net"), std::string::npos) << e.what();

    // A read-only file system refuses the lock file, before anything is read.
    MemoryFiles files;
    files.failAt = 1;
    files.failWith = EROFS;
    e = refusal([&] { r.open(files, "/net"); });
    EXPECT_EQ(e.error(), EROFS);
    EXPECT_NE(std::string(e.what()).find("/net"), std::string::npos) << e.what();

    if (::geteuid() != 0) {  // root reads everything
        const std::string closed = dir.path + "/closed";
        ::mkdir(closed.c_str(), 0);
        e = refusal([&] { r.open(tavrik::durable::systemFiles(), closed); });
        EXPECT_EQ(e.error(), EACCES);
        EXPECT_NE(std::string(e.what()).find(closed), std::string::npos) << e.what();
    }
}

TEST(Store, FolderLockNamesTheHoldersProcessId) {
    TempFolder dir;
    const std::string folder = dir.path + "/net";
    Records a, b;
    {
        auto store = a.open(tavrik::durable::systemFiles(), folder);
        auto e = refusal([&] { b.open(tavrik::durable::systemFiles(), folder); });
        EXPECT_EQ(e.kind(), Kind::Locked);
        EXPECT_NE(std::string(e.what()).find(std::to_string(::getpid())), std::string::npos) << e.what();
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        try {
            Records c;
            auto store = c.open(tavrik::durable::systemFiles(), folder);
            char one = 1;
            (void)!::write(ready[1], &one, 1);
            ::pause();
        } catch (...) {
        }
        ::_exit(1);
    }
    ::close(ready[1]);
    char one;
    ASSERT_EQ(::read(ready[0], &one, 1), 1);
    auto e = refusal([&] { b.open(tavrik::durable::systemFiles(), folder); });
    EXPECT_EQ(e.kind(), Kind::Locked);
    EXPECT_NE(std::string(e.what()).find("process id " + std::to_string(child)), std::string::npos) << e.what();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    // A dead holder's lock is gone with it.
    auto store = b.open(tavrik::durable::systemFiles(), folder);
    EXPECT_TRUE(store->stopped().empty());
    ::close(ready[0]);
}

namespace {

void fillStore(MemoryFiles& files, int count, bool checkpoint = false) {
    Records r;
    auto store = r.open(files, "/net");
    for (const auto& item : numbered(1, count)) r.add(*store, item);
    if (checkpoint) store->checkpoint(r.state());
    store->close();
    files.settle();
}

}  // namespace

TEST(Store, NewerFormatVersionAndForeignJournalAreRefusedUntouched) {
    for (const char* file : {"/net/snapshot-0.snap", "/net/journal-0.log"}) {
        MemoryFiles files;
        fillStore(files, 3);
        std::string& bytes = files.bytes(file);
        tavrik::durable::format::put32(bytes.data() + 8, 2);
        const auto before = contents(files);
        Records r;
        auto e = refusal([&] { r.open(files, "/net"); });
        EXPECT_EQ(e.kind(), Kind::Version) << e.what();
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("version 2"), std::string::npos) << e.what();
        EXPECT_EQ(contents(files), before);
    }
    MemoryFiles one, other;
    fillStore(one, 3);
    fillStore(other, 5);
    one.bytes("/net/journal-0.log") = other.bytes("/net/journal-0.log");
    const auto before = contents(one);
    Records r;
    auto e = refusal([&] { r.open(one, "/net"); });
    EXPECT_EQ(e.kind(), Kind::Foreign) << e.what();
    EXPECT_NE(std::string(e.what()).find("/net/journal-0.log"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("offset 16"), std::string::npos) << e.what();
    EXPECT_EQ(contents(one), before);
}

TEST(Store, SnapshotCutAtEveryLengthIsRefusedWithItsOffset) {
    MemoryFiles files;
    fillStore(files, 20, true);
    const std::string name = "/net/snapshot-1.snap";
    const std::string whole = files.bytes(name);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        files.bytes(name) = whole.substr(0, length);
        const auto before = contents(files);
        Records r;
        auto e = refusal([&] { r.open(files, "/net"); });
        EXPECT_EQ(e.kind(), Kind::Corrupt) << e.what();
        const std::string message = e.what();
        EXPECT_NE(message.find(name), std::string::npos) << message;
        EXPECT_NE(message.find("offset " + std::to_string(length)), std::string::npos) << message;
        EXPECT_EQ(contents(files), before) << "length " << length;
    }
    files.bytes(name) = whole;
    Records r;
    r.open(files, "/net");
    EXPECT_EQ(r.items, numbered(1, 20));
}

TEST(Store, TornJournalEndIsDroppedAndReported) {
    MemoryFiles files;
    fillStore(files, 10);
    const std::string name = "/net/journal-0.log";
    const std::string whole = files.bytes(name);
    const std::size_t lastRecord = whole.size() - (tavrik::durable::format::recordHeader + 9);
    for (std::size_t length = lastRecord + 1; length < whole.size(); ++length) {
        MemoryFiles copy = files.afterCut(durabletest::Disk::Kept, 0);
        copy.bytes(name) = whole.substr(0, length);
        Records r;
        auto store = r.open(copy, "/net");
        EXPECT_EQ(r.items, numbered(1, 9));
        const std::string dropped = store->recovery().droppedTail;
        EXPECT_NE(dropped.find(name + " at offset " + std::to_string(lastRecord)), std::string::npos) << dropped;
        // The torn bytes are cut off: the next record follows record 9.
        r.add(*store, "next");
        store->close();
        Records back;
        auto again = back.open(copy, "/net");
        EXPECT_EQ(back.items.back(), "next");
        EXPECT_EQ(again->recovery().droppedTail, "");
    }
    // Garbage after the last record (zeros of a file extended by a crash, or
    // random bytes) is a torn end too.
    for (char fill : {'\0', '\x5a'}) {
        MemoryFiles copy = files.afterCut(durabletest::Disk::Kept, 0);
        copy.bytes(name) = whole + std::string(100, fill);
        Records r;
        auto store = r.open(copy, "/net");
        EXPECT_EQ(r.items, numbered(1, 10));
        EXPECT_NE(store->recovery().droppedTail, "");
    }
}

TEST(Store, DamageBeforeTheEndRefusesToOpenWithItsOffset) {
    MemoryFiles files;
    fillStore(files, 10);
    const std::string name = "/net/journal-0.log";
    const std::string whole = files.bytes(name);
    const std::size_t record = tavrik::durable::format::recordHeader + 8;  // "record N" for N < 10
    for (int victim = 1; victim <= 8; ++victim) {
        const std::size_t offset = tavrik::durable::format::headerSize + (victim - 1) * record;
        for (std::size_t at : {offset, offset + 5, offset + record - 1}) {
            std::string damaged = whole;
            damaged[at] ^= 0x10;
            files.bytes(name) = damaged;
            const auto before = contents(files);
            Records r;
            auto e = refusal([&] { r.open(files, "/net"); });
            EXPECT_EQ(e.kind(), Kind::Corrupt) << e.what();
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("offset " + std::to_string(offset)), std::string::npos)
                << e.what();
            EXPECT_EQ(contents(files), before);
        }
    }
}

TEST(Store, FailedWriteOrSyncStopsChangesForGood) {
    for (int error : {EIO, ENOSPC}) {
        for (int failing = 0; failing < 2; ++failing) {  // the write, then the sync
            MemoryFiles files;
            Records r;
            auto store = r.open(files, "/net");
            r.add(*store, "kept");
            files.failAt = files.operations + 1 + failing;
            files.failWith = error;
            auto e = refusal([&] { r.add(*store, "refused"); });
            EXPECT_EQ(e.kind(), Kind::Stopped);
            const std::string message = e.what();
            EXPECT_NE(message.find(failing ? "sync" : "write"), std::string::npos) << message;
            EXPECT_NE(message.find(std::strerror(error)), std::string::npos) << message;
            EXPECT_NE(message.find("reads go on"), std::string::npos) << message;
            // Never retried: the next change is refused without touching a file.
            const auto operations = files.operations;
            e = refusal([&] { store->append("later"); });
            EXPECT_EQ(e.kind(), Kind::Stopped);
            e = refusal([&] { store->checkpoint(r.state()); });
            EXPECT_EQ(e.kind(), Kind::Stopped);
            EXPECT_EQ(files.operations, operations);
            EXPECT_NE(store->stopped(), "");
        }
    }
}
