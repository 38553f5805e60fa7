#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrik::durable {

// CRC-32C (Castagnoli), the checksum of every journal record and snapshot.
// `crc` continues an earlier sum; start with 0.
std::uint32_t crc32c(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace tavrik::durable
