#include "durable/Store.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "durable/Crc32c.h"
#include "durable/Format.h"

namespace tavrik::durable {

using format::get32;
using format::get64;
using format::put32;
using format::put64;

namespace {

[[noreturn]] void corrupt(const std::string& message) {
    throw StorageError(StorageError::Kind::Corrupt, message);
}

std::string at(const std::string& file, std::uint64_t offset) {
    return file + " at offset " + std::to_string(offset);
}

std::string idText(const unsigned char* id) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        text += digits[id[i] >> 4];
        text += digits[id[i] & 15];
    }
    return text;
}

std::string readAll(File& file) {
    const std::uint64_t size = file.size();
    std::string bytes(std::size_t(size), '\0');
    bytes.resize(file.read(0, bytes.data(), bytes.size()));
    return bytes;
}

// Checks magic, version and header checksum; `what` names the file kind.
void checkHeader(const std::string& bytes, const char* magic, const std::string& file, const char* what) {
    if (bytes.size() < 8 || std::memcmp(bytes.data(), magic, 8) != 0) {
        if (bytes.size() < 8 && std::string_view(magic, bytes.size()) == std::string_view(bytes))
            corrupt(std::string(what) + " " + file + " is cut short at offset " + std::to_string(bytes.size()) +
                    ": its header needs " + std::to_string(format::headerSize) + " bytes");
        corrupt(file + " is not a tavrik " + what + " (offset 0: wrong magic bytes)");
    }
    if (bytes.size() >= 12) {
        const std::uint32_t version = get32(bytes.data() + 8);
        if (version > formatVersion)
            throw StorageError(StorageError::Kind::Version,
                               std::string(what) + " " + file + " was written by format version " +
                                   std::to_string(version) + "; this library reads versions up to " +
                                   std::to_string(formatVersion) + " (offset 8)");
    }
    if (bytes.size() < format::headerSize)
        corrupt(std::string(what) + " " + file + " is cut short at offset " + std::to_string(bytes.size()) +
                ": its header needs " + std::to_string(format::headerSize) + " bytes");
    if (crc32c(bytes.data(), format::headerSize - 4) != get32(bytes.data() + format::headerSize - 4))
        corrupt(std::string(what) + " header of " + at(file, 0) + " fails its checksum (offset " +
                std::to_string(format::headerSize - 4) + ")");
    if (get32(bytes.data() + 8) == 0) corrupt(file + " has format version 0 (offset 8)");
}

struct Names {
    std::map<std::uint64_t, std::string> snapshots, journals;
    std::vector<std::string> temporaries;
};

bool parseGeneration(const std::string& name, const std::string& prefix, const std::string& suffix,
                     std::uint64_t& generation) {
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 19 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    generation = std::stoull(digits);
    return name == prefix + std::to_string(generation) + suffix;
}

Names listStore(FileSystem& files, const std::string& folder) {
    Names names;
    for (const std::string& name : files.list(folder)) {
        std::uint64_t generation;
        if (parseGeneration(name, "snapshot-", ".snap", generation)) names.snapshots[generation] = name;
        else if (parseGeneration(name, "journal-", ".log", generation)) names.journals[generation] = name;
        else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0 &&
                 (name.rfind("snapshot-", 0) == 0 || name.rfind("journal-", 0) == 0))
            names.temporaries.push_back(name);
    }
    return names;
}

}  // namespace

Store::Store(FileSystem& files, std::string folder, Durability mode)
    : files(files), dir(std::move(folder)), durability(mode) {}

Store::~Store() {
    try {
        close();
    } catch (...) {
        // A destructor cannot report; close() explicitly to see the error.
    }
}

std::unique_ptr<Store> Store::open(FileSystem& files, const std::string& folder, Durability mode,
                                   const std::function<std::string()>& initial, const Apply& loadSnapshot,
                                   const Apply& replay) {
    std::unique_ptr<Store> store(new Store(files, folder, mode));
    if (!files.folderExists(folder)) files.makeFolder(folder);
    store->lock = files.lockFolder(folder);
    store->recover(initial, loadSnapshot, replay);
    return store;
}

void Store::create(const std::function<std::string()>& initial, const Apply& loadSnapshot) {
    std::random_device random;
    for (int i = 0; i < 16; i += 4) {
        const std::uint32_t r = random();
        std::memcpy(id + i, &r, 4);
    }
    const std::string state = initial();
    loadSnapshot(state);
    const std::string snapshotName = path("snapshot-0.snap");
    const std::string temporary = snapshotName + ".tmp";
    {
        auto file = files.open(temporary, FileSystem::Open::Create);
        const std::string bytes = format::snapshotFile(id, 0, 0, state);
        file->write(0, bytes.data(), bytes.size());
        file->sync();
    }
    journal = files.open(path("journal-0.log"), FileSystem::Open::Create);
    const std::string header = format::journalHeader(id, 0, 1);
    journal->write(0, header.data(), header.size());
    journal->sync();
    files.syncFolder(dir);
    files.rename(temporary, snapshotName);
    files.syncFolder(dir);
    end = header.size();
    recovered.created = true;
}

void Store::recover(const std::function<std::string()>& initial, const Apply& loadSnapshot, const Apply& replay) {
    Names names = listStore(files, dir);
    if (names.snapshots.empty()) {
        // A store whose creation stopped before its snapshot was in place
        // holds at most an empty journal-0: it is made again. Anything else
        // without a snapshot is not a store this library can read.
        bool fresh = names.journals.empty();
        if (names.journals.size() == 1 && names.journals.count(0) == 1) {
            auto file = files.open(path(names.journals[0]), FileSystem::Open::Read);
            fresh = file->size() <= format::headerSize;
        }
        if (!fresh)
            corrupt("the folder " + dir + " holds " + names.journals.begin()->second +
                    " but no snapshot: the store cannot be read");
        for (const auto& journalFile : names.journals) files.remove(path(journalFile.second));
        for (const std::string& name : names.temporaries) files.remove(path(name));
        create(initial, loadSnapshot);
        return;
    }

    // The newest snapshot: a checkpoint renames it into place only once it
    // is complete and synced, so a damaged one is damage, not a crash.
    const std::uint64_t base = names.snapshots.rbegin()->first;
    const std::string snapshotPath = path(names.snapshots.rbegin()->second);
    std::uint64_t last;
    {
        auto file = files.open(snapshotPath, FileSystem::Open::Read);
        const std::string bytes = readAll(*file);
        checkHeader(bytes, format::snapshotMagic, snapshotPath, "snapshot");
        std::memcpy(id, bytes.data() + 16, 16);
        if (get64(bytes.data() + 32) != base)
            corrupt("snapshot " + snapshotPath + " holds generation " + std::to_string(get64(bytes.data() + 32)) +
                    " (offset 32)");
        last = get64(bytes.data() + 40);
        const std::uint64_t size = get64(bytes.data() + 48);
        const std::uint64_t need = format::headerSize + size + 4;
        if (size > bytes.size() || bytes.size() < need)
            corrupt("snapshot " + snapshotPath + " is cut short at offset " + std::to_string(bytes.size()) +
                    ": it should hold " + std::to_string(need) + " bytes");
        if (bytes.size() > need)
            corrupt("snapshot " + snapshotPath + " has " + std::to_string(bytes.size() - need) +
                    " bytes too many at offset " + std::to_string(need));
        const std::string_view state(bytes.data() + format::headerSize, std::size_t(size));
        if (crc32c(state.data(), state.size()) != get32(bytes.data() + format::headerSize + size))
            corrupt("snapshot " + snapshotPath + " fails its checksum (contents at offset " +
                    std::to_string(format::headerSize) + ", checksum at offset " +
                    std::to_string(format::headerSize + size) + ")");
        try {
            loadSnapshot(state);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            corrupt("snapshot " + snapshotPath + " cannot be read (contents at offset " +
                    std::to_string(format::headerSize) + "): " + e.what());
        }
    }
    recovered.snapshot = base;

    // The journals from the snapshot's generation on, without a gap.
    std::vector<std::uint64_t> chain;
    for (auto it = names.journals.lower_bound(base); it != names.journals.end(); ++it) {
        if (it->first != base + chain.size())
            corrupt("the folder " + dir + " holds " + it->second + " but not journal-" +
                    std::to_string(base + chain.size()) + ".log");
        chain.push_back(it->first);
    }
    // A checkpoint writes and syncs its new journal's header before the
    // snapshot that needs it is renamed into place: a newest journal past
    // the snapshot's generation whose header is incomplete is what a
    // checkpoint cut short left behind, and holds no record.
    std::vector<std::string> abandoned;
    while (chain.size() > 1) {
        const std::string name = names.journals[chain.back()];
        auto file = files.open(path(name), FileSystem::Open::Read);
        char head[format::headerSize];
        const std::size_t n = file->read(0, head, sizeof head);
        if (n == sizeof head && std::memcmp(head, format::journalMagic, 8) == 0 &&
            crc32c(head, sizeof head - 4) == get32(head + sizeof head - 4))
            break;
        abandoned.push_back(name);
        recovered.droppedTail = "removed " + path(name) + ", the incomplete journal of a checkpoint that did not finish";
        chain.pop_back();
    }
    if (chain.empty()) corrupt("the folder " + dir + " holds " + names.snapshots.rbegin()->second +
                               " but not its journal journal-" + std::to_string(base) + ".log");

    for (std::size_t i = 0; i < chain.size(); ++i) {
        const bool newest = i + 1 == chain.size();
        const std::string journalPath = path(names.journals[chain[i]]);
        auto file = files.open(journalPath, newest ? FileSystem::Open::Write : FileSystem::Open::Read);
        const std::string bytes = readAll(*file);
        checkHeader(bytes, format::journalMagic, journalPath, "journal");
        if (std::memcmp(bytes.data() + 16, id, 16) != 0)
            throw StorageError(StorageError::Kind::Foreign,
                               "journal " + journalPath + " belongs to another network (id " +
                                   idText(reinterpret_cast<const unsigned char*>(bytes.data() + 16)) +
                                   " at offset 16; the snapshot's is " + idText(id) + ")");
        if (get64(bytes.data() + 32) != chain[i])
            corrupt("journal " + journalPath + " holds generation " + std::to_string(get64(bytes.data() + 32)) +
                    " (offset 32)");
        if (get64(bytes.data() + 40) != last + 1)
            corrupt("journal " + journalPath + " starts at record " + std::to_string(get64(bytes.data() + 40)) +
                    " (offset 40), but the records before it end at " + std::to_string(last));

        const format::Scan scan = format::scanJournal(bytes, last + 1, [&](std::uint64_t offset, std::string_view record) {
            try {
                replay(record);
            } catch (const std::bad_alloc&) {
                throw;
            } catch (const std::exception& e) {
                corrupt("the record at " + at(journalPath, offset) + " cannot be applied: " + e.what());
            }
        });
        recovered.records += scan.records;
        last += scan.records;
        if (scan.end < bytes.size()) {
            // A record later in the file says this one had been synced:
            // the damage is in acknowledged data, not a torn end.
            if (scan.damagedBeforeEnd || !newest)
                corrupt("journal " + journalPath + " is damaged at offset " + std::to_string(scan.end) +
                        " (record " + std::to_string(last + 1) + "), before its end at " +
                        std::to_string(bytes.size()));
            recovered.droppedTail = "dropped " + std::to_string(bytes.size() - scan.end) +
                                    " bytes at the end of " + at(journalPath, scan.end) +
                                    ": a record that was being written (never acknowledged)";
        }
        if (newest) {
            journal = std::move(file);
            generation = chain[i];
            end = scan.end;
        }
    }

    // Everything is read: now the folder may be changed. A torn end is cut
    // off so that new records follow the last good one.
    if (end < journal->size()) {
        journal->truncate(end);
    }
    journal->sync();
    for (const auto& old : names.snapshots)
        if (old.first < base) files.remove(path(old.second));
    for (const auto& old : names.journals)
        if (old.first < base) files.remove(path(old.second));
    for (const std::string& name : names.temporaries) files.remove(path(name));
    for (const std::string& name : abandoned) files.remove(path(name));
    files.syncFolder(dir);
    recovered.lastRecord = last;
    written.store(last, std::memory_order_release);
    durable = last;
}

std::uint64_t Store::append(std::string_view record) {
    std::uint64_t claim;
    {
        std::lock_guard<std::mutex> state(syncState);
        if (!failure.empty() || halted || closed) throwStopped();
        claim = durable;
    }
    const std::uint64_t number = written.load(std::memory_order_relaxed) + 1;
    try {
        format::record(buffer, number, claim, record);
    } catch (const std::bad_alloc&) {
        halt("running out of memory while recording a change");
        throw;
    }
    try {
        journal->write(end, buffer.data(), buffer.size());
    } catch (const StorageError& e) {
        stop(e, "a write to the journal failed");
    }
    end += buffer.size();
    written.store(number, std::memory_order_release);
    return number;
}

void Store::commit(std::uint64_t number) {
    if (durability == Durability::Normal) return;
    std::unique_lock<std::mutex> state(syncState);
    for (;;) {
        if (durable >= number) return;
        if (!failure.empty()) throwStopped();
        if (syncing) {
            synced.wait(state);
            continue;
        }
        // This caller syncs for every record written so far; the ones
        // that come while it syncs wait for the next round.
        syncing = true;
        const std::uint64_t target = written.load(std::memory_order_acquire);
        File* file = journal.get();
        state.unlock();
        try {
            file->sync();
        } catch (const StorageError& e) {
            state.lock();
            syncing = false;
            if (failure.empty()) failure = std::string("a sync of the journal failed: ") + e.what();
            synced.notify_all();
            throwStopped();
        } catch (...) {
            state.lock();
            syncing = false;
            if (failure.empty()) failure = "a sync of the journal failed";
            synced.notify_all();
            throw;
        }
        state.lock();
        syncing = false;
        durable = std::max(durable, target);
        synced.notify_all();
    }
}

void Store::syncAll() {
    const std::uint64_t last = written.load(std::memory_order_acquire);
    std::unique_lock<std::mutex> state(syncState);
    synced.wait(state, [&] { return !syncing; });
    if (!failure.empty()) throwStopped();
    if (durable >= last) return;
    try {
        journal->sync();
    } catch (const StorageError& e) {
        if (failure.empty()) failure = std::string("a sync of the journal failed: ") + e.what();
        synced.notify_all();
        throwStopped();
    }
    durable = last;
    synced.notify_all();
}

void Store::checkpoint(std::string_view state) {
    {
        std::lock_guard<std::mutex> lock(syncState);
        if (!failure.empty() || halted || closed) throwStopped();
    }
    syncAll();
    const std::uint64_t next = generation + 1;
    const std::uint64_t last = written.load(std::memory_order_acquire);
    const std::string snapshotPath = path("snapshot-" + std::to_string(next) + ".snap");
    const std::string temporary = snapshotPath + ".tmp";
    const std::string journalPath = path("journal-" + std::to_string(next) + ".log");
    std::unique_ptr<File> newJournal;
    bool renamed = false;
    try {
        files.remove(temporary);
        {
            auto file = files.open(temporary, FileSystem::Open::Create);
            const std::string bytes = format::snapshotFile(id, next, last, state);
            file->write(0, bytes.data(), bytes.size());
            file->sync();
        }
        files.remove(journalPath);
        newJournal = files.open(journalPath, FileSystem::Open::Create);
        const std::string header = format::journalHeader(id, next, last + 1);
        newJournal->write(0, header.data(), header.size());
        newJournal->sync();
        // The journal's name is durable before the snapshot's: a snapshot
        // is never found without its journal.
        files.syncFolder(dir);
        files.rename(temporary, snapshotPath);
        renamed = true;
        files.syncFolder(dir);
    } catch (...) {
        // Undo what can be undone; the old snapshot and journal go on.
        // After the rename the new snapshot may already be what a reopen
        // reads (its journal is in place), so nothing is undone then, but
        // appends must not go on in the old journal either.
        if (renamed) {
            halt("a checkpoint failed after its snapshot was renamed into place");
            throw;
        }
        bool undone = true;
        try {
            files.remove(temporary);
        } catch (...) {
        }
        if (newJournal) {
            newJournal.reset();
            undone = false;
            try {
                files.remove(journalPath);
                files.syncFolder(dir);
                undone = true;
            } catch (...) {
            }
        }
        if (!undone) {
            // An empty journal of the next generation would follow the old
            // one's later records with the wrong record number.
            halt("a checkpoint failed and its new journal could not be removed");
        }
        throw;
    }
    {
        std::lock_guard<std::mutex> lock(syncState);
        journal = std::move(newJournal);
        generation = next;
        end = format::headerSize;
    }
    // The older files are no longer read; a failure to remove them only
    // leaves them for the next open to remove.
    try {
        for (const auto& old : listStore(files, dir).snapshots)
            if (old.first < next) files.remove(path(old.second));
        for (const auto& old : listStore(files, dir).journals)
            if (old.first < next) files.remove(path(old.second));
    } catch (const StorageError&) {
    }
}

void Store::close() {
    {
        std::lock_guard<std::mutex> state(syncState);
        if (closed) return;
    }
    // A store that stopped has reported its failure already; one that
    // did not reports a failure of this last sync.
    std::string error;
    bool failedBefore;
    {
        std::lock_guard<std::mutex> state(syncState);
        failedBefore = !failure.empty();
    }
    if (!failedBefore && journal) {
        try {
            syncAll();
        } catch (const StorageError& e) {
            error = e.what();
        }
    }
    {
        std::lock_guard<std::mutex> state(syncState);
        closed = true;
        journal.reset();
    }
    lock.reset();
    if (!error.empty()) throw StorageError(StorageError::Kind::Stopped, error);
}

void Store::halt(const char* why) noexcept {
    std::lock_guard<std::mutex> state(syncState);
    halted = true;
    try {
        if (failure.empty()) failure = why;
    } catch (...) {
        // No memory even for the reason: stopped() says "out of memory".
    }
    synced.notify_all();
}

std::string Store::stopped() const {
    std::lock_guard<std::mutex> state(syncState);
    if (closed) return "the store " + dir + " is closed";
    if (halted && failure.empty()) return "out of memory";
    return failure;
}

void Store::stop(const StorageError& error, const std::string& what) {
    {
        std::lock_guard<std::mutex> state(syncState);
        if (failure.empty()) failure = what + ": " + error.what();
        synced.notify_all();
    }
    throwStopped();
}

void Store::throwStopped() const {
    std::string why;
    {
        // Called with or without syncState held: read through a copy taken
        // by the caller when held.
        why = failure.empty() ? (closed ? "the store is closed" : "") : failure;
    }
    throw StorageError(StorageError::Kind::Stopped,
                       "the network in " + dir + " accepts no more changes (" + why +
                           "; reads go on; reopen the folder to go on changing it)");
}

}  // namespace tavrik::durable
