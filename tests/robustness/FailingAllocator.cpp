// The replacement of every form of the global operator new and delete for
// the allocation-failure test executable. Memory comes from malloc and goes
// back to free; the failure decision is per thread, so the test framework's
// own allocations in other threads (there are none today) are never hit.

#include "tests/robustness/FailingAllocator.h"

#include <cstdlib>
#include <new>

namespace failing {

namespace {

// Plain thread-locals with constant initialisation: safe to touch from the
// first allocation of the process on.
thread_local bool isArmed = false;
thread_local bool isPersistent = false;
thread_local std::uint64_t target = 0;
thread_local std::uint64_t count = 0;
thread_local std::uint64_t failed = 0;

}  // namespace

void arm(std::uint64_t n, bool persistent) {
    target = n;
    count = 0;
    failed = 0;
    isPersistent = persistent;
    isArmed = true;
}

std::uint64_t disarm() {
    isArmed = false;
    const std::uint64_t n = failed;
    failed = 0;
    return n;
}

std::uint64_t counted() { return count; }

// True when this allocation is to fail.
static bool failHere() {
    if (!isArmed) return false;
    ++count;
    if (count == target || (isPersistent && count > target)) {
        ++failed;
        return true;
    }
    return false;
}

}  // namespace failing

namespace {

void* allocate(std::size_t size) {
    if (failing::failHere()) throw std::bad_alloc();
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* allocateNothrow(std::size_t size) noexcept {
    if (failing::failHere()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    if (failing::failHere()) throw std::bad_alloc();
    void* p = nullptr;
    std::size_t a = static_cast<std::size_t>(alignment);
    if (a < sizeof(void*)) a = sizeof(void*);
    if (posix_memalign(&p, a, size == 0 ? 1 : size) != 0) throw std::bad_alloc();
    return p;
}

void* allocateAlignedNothrow(std::size_t size, std::align_val_t alignment) noexcept {
    try {
        return allocateAligned(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateNothrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateNothrow(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateAlignedNothrow(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateAlignedNothrow(size, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
