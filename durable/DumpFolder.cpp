// Prints what a durable network's folder holds: each snapshot's and
// journal's header, and every journal record (offset, number, size, the
// last record synced when it was written, its first byte: the kind of
// change), then what is past the last good record.
//
//   tavrik-dump <folder>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "durable/Crc32c.h"
#include "durable/FileLayer.h"
#include "durable/Format.h"

using namespace tavrik::durable;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrik-dump <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    try {
        FileSystem& files = systemFiles();
        std::vector<std::string> names = files.list(folder);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const bool snapshot = name.rfind("snapshot-", 0) == 0, journal = name.rfind("journal-", 0) == 0;
            if (!snapshot && !journal) {
                std::printf("%s\n", name.c_str());
                continue;
            }
            auto file = files.open(folder + "/" + name, FileSystem::Open::Read);
            std::string bytes(std::size_t(file->size()), '\0');
            bytes.resize(file->read(0, bytes.data(), bytes.size()));
            std::printf("%s: %zu bytes\n", name.c_str(), bytes.size());
            if (bytes.size() < format::headerSize) {
                std::printf("  header cut short\n");
                continue;
            }
            const char* h = bytes.data();
            const bool headerGood = crc32c(h, format::headerSize - 4) == format::get32(h + format::headerSize - 4);
            std::printf("  magic %.8s, version %u, generation %llu, %s %llu, header checksum %s\n", h,
                        format::get32(h + 8), (unsigned long long)format::get64(h + 32),
                        snapshot ? "last record" : "first record", (unsigned long long)format::get64(h + 40),
                        headerGood ? "good" : "BAD");
            if (snapshot) {
                const std::uint64_t size = format::get64(h + 48);
                const bool whole = bytes.size() == format::headerSize + size + 4;
                std::printf("  state: %llu bytes, %s\n", (unsigned long long)size,
                            !whole ? "CUT SHORT or too long"
                            : crc32c(h + format::headerSize, size) == format::get32(h + format::headerSize + size)
                                ? "checksum good"
                                : "checksum BAD");
                continue;
            }
            const format::Scan scan = format::scanJournal(
                bytes, format::get64(h + 40), [&](std::uint64_t offset, std::string_view record) {
                    const char* p = bytes.data() + offset;
                    std::printf("  offset %llu: record %llu, %zu bytes, synced up to %llu, kind %d\n",
                                (unsigned long long)offset, (unsigned long long)format::get64(p + 8), record.size(),
                                (unsigned long long)format::get64(p + 16),
                                record.empty() ? -1 : int(static_cast<unsigned char>(record[0])));
                });
            std::printf("  %llu records", (unsigned long long)scan.records);
            if (scan.end < bytes.size())
                std::printf(", then %llu bytes that are no record at offset %llu (%s)",
                            (unsigned long long)(bytes.size() - scan.end), (unsigned long long)scan.end,
                            scan.damagedBeforeEnd ? "damage before the end" : "a torn end");
            std::printf("\n");
        }
    } catch (const StorageError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
