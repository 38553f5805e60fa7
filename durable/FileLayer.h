#pragma once

// Every file operation of the durable store goes through these two
// interfaces, so that a test can put a file system of its own underneath (one
// that loses what was not synced at a chosen moment, tears a write, or fails
// one with EIO or ENOSPC) and check what a reopened store holds.
//
// Failures throw StorageError with errno and a message that names the file
// (and the offset where one matters).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrik::durable {

class StorageError : public std::runtime_error {
public:
    enum class Kind {
        Io,          // a system call failed (errno() says which error)
        NotFolder,   // the path exists and is not a folder
        Locked,      // another process or network holds the folder
        Corrupt,     // a file's contents are damaged before their end
        Version,     // written by a newer format version
        Foreign,     // a file of another network in the folder
        Stopped,     // an earlier write or sync failed: no more changes
    };
    StorageError(Kind kind, const std::string& message, int error = 0)
        : std::runtime_error(message), kind_(kind), error_(error) {}
    Kind kind() const noexcept { return kind_; }
    int error() const noexcept { return error_; }

private:
    Kind kind_;
    int error_;
};

class File {
public:
    virtual ~File() = default;
    // Reads up to `size` bytes at `offset`; fewer only at the end of the file.
    virtual std::size_t read(std::uint64_t offset, void* data, std::size_t size) = 0;
    // Writes all `size` bytes at `offset` or throws.
    virtual void write(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Makes the file's data durable (fdatasync).
    virtual void sync() = 0;
    virtual std::uint64_t size() = 0;
    virtual void truncate(std::uint64_t size) = 0;
    virtual const std::string& path() const = 0;
};

class FileSystem {
public:
    enum class Open { Read, Write, Create };  // Create: a new file, refused when it exists
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<File> open(const std::string& path, Open how) = 0;
    // Whether `path` is a folder; false when absent; throws NotFolder when it
    // is something else.
    virtual bool folderExists(const std::string& path) = 0;
    virtual void makeFolder(const std::string& path) = 0;
    // The names in a folder, without "." and "..".
    virtual std::vector<std::string> list(const std::string& folder) = 0;
    virtual void rename(const std::string& from, const std::string& to) = 0;
    virtual void remove(const std::string& path) = 0;
    // Makes creations, renames and removals in the folder durable.
    virtual void syncFolder(const std::string& folder) = 0;
    // Takes the folder's lock file for this open store (released with the
    // returned object) and writes this process's id into it; throws Locked
    // with the holder's process id when another process or another open
    // store holds it.
    virtual std::unique_ptr<File> lockFolder(const std::string& folder) = 0;
};

// The operating system's files (POSIX calls, EINTR retried).
FileSystem& systemFiles();

// "<what> <path>: <strerror>" as a StorageError of kind Io.
[[noreturn]] void throwIo(const std::string& what, const std::string& path, int error);

}  // namespace tavrik::durable
