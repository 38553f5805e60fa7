#include "durable/FileLayer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrik::durable {

void throwIo(const std::string& what, const std::string& path, int error) {
    throw StorageError(StorageError::Kind::Io, what + " " + path + ": " + std::strerror(error), error);
}

namespace {

class PosixFile final : public File {
public:
    PosixFile(int fd, std::string path) : fd(fd), name(std::move(path)) {}
    ~PosixFile() override {
        if (fd >= 0) ::close(fd);
    }
    void adopt(int descriptor) noexcept { fd = descriptor; }

    std::size_t read(std::uint64_t offset, void* data, std::size_t size) override {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(fd, static_cast<char*>(data) + done, size - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throwIo("cannot read at offset " + std::to_string(offset + done) + " of", name, errno);
            if (n == 0) break;
            done += std::size_t(n);
        }
        return done;
    }

    void write(std::uint64_t offset, const void* data, std::size_t size) override {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd, static_cast<const char*>(data) + done, size - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throwIo("cannot write at offset " + std::to_string(offset + done) + " of", name, errno);
            done += std::size_t(n);
        }
    }

    void sync() override {
        // Not retried after a failure: the kernel may have dropped the dirty
        // pages already, and a second fdatasync would report success.
        if (::fdatasync(fd) != 0) throwIo("cannot sync", name, errno);
    }

    std::uint64_t size() override {
        struct stat st {};
        if (::fstat(fd, &st) != 0) throwIo("cannot stat", name, errno);
        return std::uint64_t(st.st_size);
    }

    void truncate(std::uint64_t size) override {
        if (::ftruncate(fd, off_t(size)) != 0) throwIo("cannot truncate", name, errno);
    }

    const std::string& path() const override { return name; }

private:
    int fd;
    std::string name;
};

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, Open how) override {
        int flags = O_CLOEXEC;
        switch (how) {
            case Open::Read: flags |= O_RDONLY; break;
            case Open::Write: flags |= O_RDWR; break;
            case Open::Create: flags |= O_RDWR | O_CREAT | O_EXCL; break;
        }
        // Allocated first: running out of memory after open() would leak
        // the descriptor (and with it a lock).
        auto file = std::make_unique<PosixFile>(-1, path);
        int fd;
        do fd = ::open(path.c_str(), flags, 0644);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) throwIo(how == Open::Create ? "cannot create" : "cannot open", path, errno);
        file->adopt(fd);
        return file;
    }

    bool folderExists(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) return false;
            throwIo("cannot look at", path, errno);
        }
        if (!S_ISDIR(st.st_mode))
            throw StorageError(StorageError::Kind::NotFolder, path + " is not a folder", ENOTDIR);
        return true;
    }

    void makeFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0755) != 0) throwIo("cannot create the folder", path, errno);
    }

    std::vector<std::string> list(const std::string& folder) override {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) throwIo("cannot list", folder, errno);
        std::vector<std::string> names;
        try {
            errno = 0;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            if (errno != 0) throwIo("cannot list", folder, errno);
        } catch (...) {
            ::closedir(dir);
            throw;
        }
        ::closedir(dir);
        return names;
    }

    void rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) throwIo("cannot rename " + from + " to", to, errno);
    }

    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) throwIo("cannot remove", path, errno);
    }

    void syncFolder(const std::string& folder) override {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throwIo("cannot open the folder", folder, errno);
        const int result = ::fsync(fd);
        const int error = errno;
        ::close(fd);
        if (result != 0) throwIo("cannot sync the folder", folder, error);
    }

    std::unique_ptr<File> lockFolder(const std::string& folder) override {
        const std::string path = folder + "/LOCK";
        auto file = std::make_unique<PosixFile>(-1, path);
        int fd;
        do fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) throwIo("cannot open the lock file", path, errno);
        file->adopt(fd);
        // flock locks belong to the open file description: a second open of
        // the same folder in this process is refused as well as one in
        // another process, and the lock goes with the process when it dies.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error != EWOULDBLOCK) throwIo("cannot lock", path, error);
            char text[32] = {};
            const std::size_t n = file->read(0, text, sizeof text - 1);
            const std::string holder(text, n);
            const bool here = holder == std::to_string(::getpid());
            throw StorageError(StorageError::Kind::Locked,
                               "the folder " + folder + " is in use by " +
                                   (here ? "another open network of this process (process id " + holder + ")"
                                         : "process id " + (holder.empty() ? std::string("(unknown)") : holder)) +
                                   " (lock file " + path + ")",
                               error);
        }
        const std::string pid = std::to_string(::getpid());
        file->truncate(0);
        file->write(0, pid.data(), pid.size());
        return file;
    }
};

}  // namespace

FileSystem& systemFiles() {
    static PosixFileSystem files;
    return files;
}

}  // namespace tavrik::durable
