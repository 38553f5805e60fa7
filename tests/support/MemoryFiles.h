#pragma once

// A file system in memory for the durable store's tests, standing in for
// the operating system's through durable::FileSystem. It keeps, for every
// file, what a sync has made durable and the writes since, and for every
// folder the names a folder sync has made durable. A test can
//  - fail the n-th changing operation (write, sync, truncate, create,
//    rename, remove, folder sync) with EIO or ENOSPC (a failed write may
//    have written part of its bytes; a failed sync leaves the writes
//    unsynced, as Linux does when it drops the pages it could not write);
//  - cut the power at the n-th changing operation: that operation and
//    every later one throws PowerCut, as if the process had stopped there;
//    then afterCut() gives the disk as a restarted machine finds it: only
//    what was synced (Lost), everything written (Kept: what a killed process
//    leaves, the kernel still holding its writes), everything with the write
//    in flight torn after some of its bytes (Torn), or the synced state plus
//    a random subset of the unsynced writes (Reordered: the pages of a sync
//    that did not complete reach the disk in any order).

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "durable/FileLayer.h"

namespace durabletest {

using tavrik::durable::File;
using tavrik::durable::FileSystem;
using tavrik::durable::StorageError;

struct PowerCut {};

enum class Disk { Lost, Kept, Torn, Reordered };

class MemoryFiles final : public FileSystem {
public:
    struct Write {
        std::uint64_t offset;
        std::string bytes;
        bool truncate;  // set size to offset
    };
    struct Inode {
        std::string durable, current;
        std::vector<Write> unsynced;
    };
    using Inodes = std::map<int, std::shared_ptr<Inode>>;

    // Changing operations counted so far.
    std::uint64_t operations = 0;
    std::uint64_t syncs = 0;
    // The operation (counted from 1) that fails or loses the power; 0: none.
    std::uint64_t failAt = 0;
    int failWith = EIO;
    std::uint64_t cutAt = 0;
    std::uint64_t tornAfter = 0;  // bytes of a cut write that land (Torn)
    bool cut = false;
    std::string lastWrite;  // path of the last write, for Torn

    MemoryFiles() { folders.insert("/"); }

    // The disk after a power cut (or a kill, with Kept), as a new file system.
    MemoryFiles afterCut(Disk disk, std::uint32_t seed) const {
        MemoryFiles next;
        next.folders = folders;
        std::mt19937 random(seed);
        const auto& names = disk == Disk::Lost || disk == Disk::Reordered ? durableNames : currentNames;
        for (const auto& [path, inode] : names) {
            const auto& node = *inodes.at(inode);
            auto copy = std::make_shared<Inode>();
            switch (disk) {
                case Disk::Lost: copy->durable = node.durable; break;
                case Disk::Kept:
                case Disk::Torn: copy->durable = node.current; break;
                case Disk::Reordered:
                    copy->durable = node.durable;
                    for (const Write& w : node.unsynced)
                        if (random() % 2 == 0) apply(copy->durable, w);
                    break;
            }
            copy->current = copy->durable;
            next.inodes[inode] = copy;
            next.currentNames[path] = inode;
            next.durableNames[path] = inode;
        }
        next.nextInode = nextInode;
        return next;
    }

    // Changes the bytes of a file in place (tests that damage files).
    std::string& bytes(const std::string& path) {
        auto& node = *inodes.at(currentNames.at(path));
        node.unsynced.clear();
        node.durable = node.current;
        return node.current;
    }
    void settle() {
        for (auto& [id, node] : inodes) {
            node->durable = node->current;
            node->unsynced.clear();
        }
        durableNames = currentNames;
    }
    bool exists(const std::string& path) const { return currentNames.count(path) != 0; }
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto& entry : currentNames) all.push_back(entry.first);
        return all;
    }

    std::unique_ptr<File> open(const std::string& path, Open how) override {
        if (how == Open::Create) {
            step("create", path);
            if (currentNames.count(path)) fail(EEXIST, "cannot create", path);
            if (!folders.count(parent(path))) fail(ENOENT, "cannot create", path);
            inodes[nextInode] = std::make_shared<Inode>();
            currentNames[path] = nextInode++;
        } else if (!currentNames.count(path)) {
            fail(ENOENT, "cannot open", path);
        }
        return std::make_unique<MemoryFile>(*this, path, inodes.at(currentNames.at(path)));
    }
    bool folderExists(const std::string& path) override {
        if (folders.count(path)) return true;
        if (currentNames.count(path))
            throw StorageError(StorageError::Kind::NotFolder, path + " is not a folder", ENOTDIR);
        return false;
    }
    void makeFolder(const std::string& path) override {
        step("mkdir", path);
        if (!folders.count(parent(path))) fail(ENOENT, "cannot create the folder", path);
        folders.insert(path);
    }
    std::vector<std::string> list(const std::string& folder) override {
        std::vector<std::string> names;
        for (const auto& entry : currentNames)
            if (parent(entry.first) == folder) names.push_back(entry.first.substr(folder.size() + 1));
        return names;
    }
    void rename(const std::string& from, const std::string& to) override {
        step("rename", from);
        if (!currentNames.count(from)) fail(ENOENT, "cannot rename", from);
        currentNames[to] = currentNames.at(from);
        currentNames.erase(from);
    }
    void remove(const std::string& path) override {
        if (!currentNames.count(path)) return;
        step("remove", path);
        currentNames.erase(path);
    }
    void syncFolder(const std::string& folder) override {
        step("sync folder", folder);
        for (auto it = durableNames.begin(); it != durableNames.end();)
            it = parent(it->first) == folder ? durableNames.erase(it) : std::next(it);
        for (const auto& entry : currentNames)
            if (parent(entry.first) == folder) durableNames.insert(entry);
    }
    std::unique_ptr<File> lockFolder(const std::string& folder) override {
        if (locked.count(folder))
            throw StorageError(StorageError::Kind::Locked, "the folder " + folder + " is in use by process id 1", 0);
        auto lock = std::make_unique<Lock>(*this, folder);
        locked.insert(folder);
        return lock;
    }

private:
    class MemoryFile final : public File {
    public:
        MemoryFile(MemoryFiles& files, std::string path, std::shared_ptr<Inode> node)
            : files(files), name(std::move(path)), node(std::move(node)) {}
        std::size_t read(std::uint64_t offset, void* data, std::size_t size) override {
            if (offset >= node->current.size()) return 0;
            const std::size_t n = std::min<std::size_t>(size, node->current.size() - offset);
            std::memcpy(data, node->current.data() + offset, n);
            return n;
        }
        void write(std::uint64_t offset, const void* data, std::size_t size) override {
            const std::string bytes(static_cast<const char*>(data), size);
            if (files.cutAt != 0 && files.operations + 1 == files.cutAt && !files.cut) {
                // The write in flight when the power goes: part of it lands.
                files.lastWrite = name;
                const Write partial{offset, bytes.substr(0, std::min<std::size_t>(files.tornAfter, size)), false};
                apply(node->current, partial);
                node->unsynced.push_back(partial);
            }
            if (files.failAt != 0 && files.operations + 1 == files.failAt && files.failWith == ENOSPC) {
                // A full disk takes what fits: half of the bytes.
                const Write partial{offset, bytes.substr(0, size / 2), false};
                apply(node->current, partial);
                node->unsynced.push_back(partial);
            }
            files.step("write", name);
            const Write whole{offset, bytes, false};
            apply(node->current, whole);
            node->unsynced.push_back(whole);
        }
        void sync() override {
            files.step("sync", name);
            ++files.syncs;
            node->durable = node->current;
            node->unsynced.clear();
        }
        std::uint64_t size() override { return node->current.size(); }
        void truncate(std::uint64_t size) override {
            files.step("truncate", name);
            const Write cut{size, {}, true};
            apply(node->current, cut);
            node->unsynced.push_back(cut);
        }
        const std::string& path() const override { return name; }

    private:
        MemoryFiles& files;
        std::string name;
        std::shared_ptr<Inode> node;
    };

    class Lock final : public File {
    public:
        Lock(MemoryFiles& files, std::string folder) : files(files), folder(std::move(folder)) {}
        ~Lock() override { files.locked.erase(folder); }
        std::size_t read(std::uint64_t, void*, std::size_t) override { return 0; }
        void write(std::uint64_t, const void*, std::size_t) override {}
        void sync() override {}
        std::uint64_t size() override { return 0; }
        void truncate(std::uint64_t) override {}
        const std::string& path() const override { return folder; }

    private:
        MemoryFiles& files;
        std::string folder;
    };

    static void apply(std::string& data, const Write& w) {
        if (w.truncate) {
            data.resize(w.offset);
            return;
        }
        if (data.size() < w.offset + w.bytes.size()) data.resize(w.offset + w.bytes.size(), '\0');
        data.replace(w.offset, w.bytes.size(), w.bytes);
    }
    static std::string parent(const std::string& path) {
        const auto slash = path.rfind('/');
        return slash == 0 ? "/" : path.substr(0, slash);
    }
    [[noreturn]] static void fail(int error, const std::string& what, const std::string& path) {
        tavrik::durable::throwIo(what, path, error);
    }
    void step(const char* what, const std::string& path) {
        if (cut) throw PowerCut{};
        ++operations;
        if (operations == cutAt) {
            cut = true;
            throw PowerCut{};
        }
        if (operations == failAt) fail(failWith, std::string("cannot ") + what, path);
    }

    std::set<std::string> folders;
    Inodes inodes;
    std::map<std::string, int> currentNames, durableNames;
    std::set<std::string> locked;
    int nextInode = 1;
};

}  // namespace durabletest
