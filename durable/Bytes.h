#pragma once

// Little-endian writing and reading of the values that snapshots and
// journal records are made of. The reader throws std::runtime_error when the
// bytes end before a value does.

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavrik::durable {

class Writer {
public:
    explicit Writer(std::string& out) : out(out) {}
    void u8(std::uint8_t v) { out.push_back(char(v)); }
    void u32(std::uint32_t v) {
        char b[4];
        for (int i = 0; i < 4; ++i) b[i] = char(v >> (8 * i));
        out.append(b, 4);
    }
    void i32(std::int32_t v) { u32(std::uint32_t(v)); }
    void i64(std::int64_t v) {
        u32(std::uint32_t(std::uint64_t(v)));
        u32(std::uint32_t(std::uint64_t(v) >> 32));
    }
    void str(std::string_view s) {
        u32(std::uint32_t(s.size()));
        out.append(s.data(), s.size());
    }

private:
    std::string& out;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in(in) {}
    std::uint8_t u8() { return std::uint8_t(take(1)[0]); }
    std::uint32_t u32() {
        const char* p = take(4);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
        return v;
    }
    std::int32_t i32() { return std::int32_t(u32()); }
    std::int64_t i64() {
        const std::uint64_t lo = u32();
        return std::int64_t(lo | std::uint64_t(u32()) << 32);
    }
    std::string str() {
        const std::uint32_t n = u32();
        return std::string(take(n), n);
    }
    // A count of items each at least `least` bytes long, checked against
    // what is left (a damaged count does not reserve gigabytes).
    std::uint32_t count(std::size_t least) {
        const std::uint32_t n = u32();
        if (least != 0 && n > (in.size() - at) / least) throw std::runtime_error("a count runs past the end");
        return n;
    }
    bool done() const { return at == in.size(); }
    std::size_t offset() const { return at; }

private:
    const char* take(std::size_t n) {
        if (n > in.size() - at) throw std::runtime_error("cut short at byte " + std::to_string(in.size()));
        const char* p = in.data() + at;
        at += n;
        return p;
    }
    std::string_view in;
    std::size_t at = 0;
};

}  // namespace tavrik::durable
