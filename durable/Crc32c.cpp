#include "durable/Crc32c.h"

#include <array>

namespace tavrik::durable {
namespace {

// Slicing by eight: eight tables, one for each byte of a 64-bit word, so the
// loop takes eight bytes per step (about 1 GB/s, so recovery of a journal
// with a million bookings spends some tens of milliseconds on checksums).
struct Tables {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    constexpr Tables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0x82F63B78u & (0u - (c & 1u)));
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};

constexpr Tables tables;

}  // namespace

std::uint32_t crc32c(const void* data, std::size_t size, std::uint32_t crc) {
    const auto* p = static_cast<const unsigned char*>(data);
    const auto& t = tables.t;
    crc = ~crc;
    while (size >= 8) {
        const std::uint32_t lo = crc ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                        std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    return ~crc;
}

}  // namespace tavrik::durable
