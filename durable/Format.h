#pragma once

// The byte layout of snapshot and journal files (little-endian), shared by
// the store and the folder dump command.
//
// Header of both kinds (64 bytes):
//   0 magic (8)  8 format version (4)  12 header size (4)  16 network id (16)
//   32 generation (8)  40 snapshot: last record included; journal: number of
//   its first record (8)  48 snapshot: size of the state (8)  60 checksum of
//   bytes 0..59 (4)
// Snapshot: header, the state, the checksum of the state (4).
// Journal: header, then records of
//   0 checksum of bytes 4.. to the record's end (4)  4 size of the bytes (4)
//   8 record number (8)  16 the last record number that had been synced when
//   this one was written (8)  24 the bytes

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace tavrik::durable::format {

inline constexpr std::size_t headerSize = 64;
inline constexpr std::size_t recordHeader = 24;
inline constexpr char snapshotMagic[9] = "TVRKSNAP";
inline constexpr char journalMagic[9] = "TVRKJRNL";

inline void put32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = char(v >> (8 * i));
}
inline void put64(char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = char(v >> (8 * i));
}
inline std::uint32_t get32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
    return v;
}
inline std::uint64_t get64(const char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
    return v;
}

std::string header(const char* magic, const unsigned char* id, std::uint64_t generation, std::uint64_t number,
                   std::uint64_t stateSize);
std::string snapshotFile(const unsigned char* id, std::uint64_t generation, std::uint64_t last,
                         std::string_view state);
inline std::string journalHeader(const unsigned char* id, std::uint64_t generation, std::uint64_t first) {
    return header(journalMagic, id, generation, first, 0);
}
// Builds one record into `out` (reusing its capacity).
void record(std::string& out, std::uint64_t number, std::uint64_t synced, std::string_view bytes);

struct Scan {
    std::uint64_t end = headerSize;  // offset after the last good record
    std::uint64_t records = 0;
    // A good record after `end` says the record at `end` had been synced.
    bool damagedBeforeEnd = false;
};
// Walks the records of a journal file's bytes from its header on, handing
// each good one (with its offset) to `each`, until the end or the first bad
// record.
Scan scanJournal(std::string_view file, std::uint64_t first,
                 const std::function<void(std::uint64_t, std::string_view)>& each);

}  // namespace tavrik::durable::format
