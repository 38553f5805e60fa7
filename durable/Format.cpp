#include "durable/Format.h"

#include "durable/Crc32c.h"
#include "durable/Store.h"

namespace tavrik::durable::format {

std::string header(const char* magic, const unsigned char* id, std::uint64_t generation, std::uint64_t number,
                   std::uint64_t stateSize) {
    std::string bytes(headerSize, '\0');
    std::memcpy(bytes.data(), magic, 8);
    put32(bytes.data() + 8, formatVersion);
    put32(bytes.data() + 12, headerSize);
    std::memcpy(bytes.data() + 16, id, 16);
    put64(bytes.data() + 32, generation);
    put64(bytes.data() + 40, number);
    put64(bytes.data() + 48, stateSize);
    put32(bytes.data() + 60, crc32c(bytes.data(), headerSize - 4));
    return bytes;
}

std::string snapshotFile(const unsigned char* id, std::uint64_t generation, std::uint64_t last,
                         std::string_view state) {
    std::string bytes = header(snapshotMagic, id, generation, last, state.size());
    bytes.reserve(headerSize + state.size() + 4);
    bytes.append(state.data(), state.size());
    char sum[4];
    put32(sum, crc32c(state.data(), state.size()));
    bytes.append(sum, 4);
    return bytes;
}

void record(std::string& out, std::uint64_t number, std::uint64_t synced, std::string_view bytes) {
    out.resize(recordHeader + bytes.size());
    char* p = out.data();
    put32(p + 4, std::uint32_t(bytes.size()));
    put64(p + 8, number);
    put64(p + 16, synced);
    std::memcpy(p + recordHeader, bytes.data(), bytes.size());
    put32(p, crc32c(p + 4, out.size() - 4));
}

namespace {

// Whether a good record of bytes [offset, offset + size) has this number.
bool good(std::string_view file, std::uint64_t offset, std::uint64_t number) {
    if (offset + recordHeader > file.size()) return false;
    const char* p = file.data() + offset;
    const std::uint64_t size = get32(p + 4);
    if (size > file.size() - offset - recordHeader) return false;
    if (get64(p + 8) != number) return false;
    return crc32c(p + 4, std::size_t(recordHeader - 4 + size)) == get32(p);
}

}  // namespace

Scan scanJournal(std::string_view file, std::uint64_t first,
                 const std::function<void(std::uint64_t, std::string_view)>& each) {
    Scan scan;
    std::uint64_t number = first;
    while (good(file, scan.end, number)) {
        const char* p = file.data() + scan.end;
        const std::uint32_t size = get32(p + 4);
        each(scan.end, std::string_view(p + recordHeader, size));
        scan.end += recordHeader + size;
        ++scan.records;
        ++number;
    }
    if (scan.end >= file.size()) return scan;
    // Something follows that is not the next record. When a later record,
    // written after the damaged one had been synced, is intact, the damage
    // hit acknowledged data. Otherwise the damaged bytes were never synced:
    // the end of a journal cut by a crash (records of a sync that did not
    // complete reach the disk in any order, or not at all).
    const std::uint64_t most = number + (file.size() - scan.end) / recordHeader;
    for (std::uint64_t offset = scan.end + 1; offset + recordHeader <= file.size(); ++offset) {
        const char* p = file.data() + offset;
        const std::uint64_t later = get64(p + 8);
        if (later <= number || later > most || get64(p + 16) < number) continue;
        if (good(file, offset, later)) {
            scan.damagedBeforeEnd = true;
            break;
        }
    }
    return scan;
}

}  // namespace tavrik::durable::format
