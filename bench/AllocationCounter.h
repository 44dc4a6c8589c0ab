// SPDX-License-Identifier: MIT
// Counts every allocation of the benchmark program, so a benchmark can show that its steady state
// allocates nothing. Replaces the global operator new: include it in exactly one file of a program.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

// GCC takes the malloc/free pair inside these replacements for a mismatch; it is not one.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace tw::bench {
inline std::atomic<std::uint64_t> g_allocations{0};
inline std::uint64_t allocationCount() { return g_allocations.load(std::memory_order_relaxed); }
} // namespace tw::bench

void* operator new(std::size_t size) {
    tw::bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
