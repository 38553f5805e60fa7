#pragma once

// A folder that keeps a state on disk: a snapshot of the whole state and an
// append-only journal of the changes made after it. The store does not know
// what the records mean: it keeps bytes in order and hands them back in the
// same order when the folder is opened again.
//
// Files (all numbers little-endian; `tavrik-dump` (durable/DumpFolder.cpp) prints
// them):
//   LOCK                 the process id of the holder (flock)
//   snapshot-<G>.snap    header (magic, format version, network id,
//                        generation G, the last record it includes), the
//                        state's bytes, a checksum
//   journal-<G>.log      header (magic, version, network id, generation G,
//                        the number of its first record), then records:
//                        checksum, size, number, the number of the last
//                        record synced when this one was written, bytes
// Recovery reads the newest snapshot S and then journal-S, journal-S+1, ...
// (a checkpoint that stops half way leaves a journal of the next generation
// without its snapshot; its records follow on from journal-S).
//
// Durability:
//   Full    commit() returns once the record is synced; writers that commit
//           at the same time share one sync (group commit).
//   Normal  append() has written the record to the file (the kernel holds
//           it: it survives the process being killed), commit() does not
//           wait; syncs happen at checkpoints and on close.
//
// A failed write or sync stops the store: every later append and commit
// throws StorageError::Kind::Stopped, naming the failure. A failed sync is
// never retried (the kernel may have dropped the pages it could not write,
// and a second sync would then report success).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "durable/FileLayer.h"

namespace tavrik::durable {

enum class Durability { Full, Normal };

inline constexpr std::uint32_t formatVersion = 1;

struct Recovery {
    bool created = false;           // the folder held no store: a new one was made
    std::uint64_t snapshot = 0;     // generation of the snapshot read
    std::uint64_t records = 0;      // journal records replayed after it
    std::uint64_t lastRecord = 0;   // number of the last record (0: none yet)
    // Empty, or what was dropped from the journal's end: a record that was
    // being written when the process or the machine stopped (never
    // acknowledged), named with its file and offset.
    std::string droppedTail;
};

class Store {
public:
    // Called with the snapshot's bytes, then with every journal record in
    // order. A callback that throws std::bad_alloc stops the opening with
    // it; any other exception is reported as a record that cannot be
    // applied (Corrupt, with file and offset).
    using Apply = std::function<void(std::string_view)>;

    // Opens the store in `folder`, creating the folder (its parent must
    // exist) and a store whose snapshot is `initial()` when there is none.
    // Throws StorageError naming the file and offset when the folder cannot
    // be used; nothing in it is then changed.
    static std::unique_ptr<Store> open(FileSystem& files, const std::string& folder, Durability mode,
                                       const std::function<std::string()>& initial, const Apply& loadSnapshot,
                                       const Apply& replay);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Writes one record and returns its number. The caller serialises
    // appends (it holds its exclusive lock) and calls commit() after
    // releasing that lock.
    std::uint64_t append(std::string_view record);
    // Full: returns when record `number` is synced (one caller syncs for all
    // that wait). Normal: returns at once. Throws Stopped after a failure.
    void commit(std::uint64_t number);
    // Writes `state` as a new snapshot covering every record appended so far
    // and starts a new journal after it. The caller holds appends off (its
    // lock, shared or exclusive) for the whole call. When it fails the
    // previous snapshot and journal stay in use and the error is thrown; a
    // failed sync of the journal itself stops the store.
    void checkpoint(std::string_view state);
    // Stops the store from accepting changes, for `why` (a change made in
    // memory that could not be recorded).
    void halt(const char* why) noexcept;
    // Syncs and releases the folder. Throws when the last sync fails; the
    // folder is released either way.
    void close();

    const Recovery& recovery() const { return recovered; }
    Durability mode() const { return durability; }
    const std::string& folder() const { return dir; }
    // Empty while changes are accepted; else why they are not.
    std::string stopped() const;
    std::uint64_t lastRecord() const { return written.load(std::memory_order_acquire); }

private:
    Store(FileSystem& files, std::string folder, Durability mode);
    void recover(const std::function<std::string()>& initial, const Apply& loadSnapshot, const Apply& replay);
    void create(const std::function<std::string()>& initial, const Apply& loadSnapshot);
    void syncAll();
    [[noreturn]] void stop(const StorageError& error, const std::string& what);
    [[noreturn]] void throwStopped() const;
    std::string path(const std::string& name) const { return dir + "/" + name; }

    FileSystem& files;
    const std::string dir;
    const Durability durability;
    std::unique_ptr<File> lock;
    unsigned char id[16] = {};
    Recovery recovered;

    // The journal being appended to; replaced only by checkpoint, while no
    // append runs and no sync is under way.
    std::unique_ptr<File> journal;
    std::uint64_t generation = 0;
    std::uint64_t end = 0;  // offset of the next record
    std::string buffer;     // the record being written (appends are serialised)

    std::atomic<std::uint64_t> written{0};  // last record written to the file
    mutable std::mutex syncState;
    std::condition_variable synced;
    std::uint64_t durable = 0;  // last record known synced
    bool syncing = false;
    std::string failure;  // set once; the store then accepts no change
    bool halted = false;  // halt() was called
    bool closed = false;
};

}  // namespace tavrik::durable
