#pragma once

// Control of the failing global allocator that AllocationFailureTest.cpp
// installs for its whole executable. Disarmed it only counts nothing and
// allocates; armed, the N-th allocation of the calling thread (and in
// persistent mode every later one too) fails as an out-of-memory would:
// std::bad_alloc from the throwing forms, null from the nothrow forms.

#include <cstdint>

namespace failing {

void arm(std::uint64_t n, bool persistent);
// Disarms; returns how many allocations were made to fail since arm()
// (and forgets them).
std::uint64_t disarm();
// Allocations counted since the last arm().
std::uint64_t counted();

// Arms for one scope; disarms on every way out.
class Armed {
public:
    Armed(std::uint64_t n, bool persistent) { arm(n, persistent); }
    ~Armed() { finish(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
    std::uint64_t finish() {
        if (!done) {
            done = true;
            failures = disarm();
        }
        return failures;
    }

private:
    bool done = false;
    std::uint64_t failures = 0;
};

}  // namespace failing
