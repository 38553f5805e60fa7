#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrik::durable {

// CRC-32C (Castagnoli), the checksum of every journal record and snapshot.
// `crc` continues an earlier sum; start with 0. Uses the processor's CRC32
// instruction where there is one (x86-64 with SSE4.2), else tables.
std::uint32_t crc32c(const void* data, std::size_t size, std::uint32_t crc = 0);
// The same sum from tables alone (for tests: both must agree).
std::uint32_t crc32cTables(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace tavrik::durable
