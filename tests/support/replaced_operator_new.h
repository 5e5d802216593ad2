// Included by exactly one source of a test program that replaces the global
// operator new: that program defines TestAllocate, which returns null for an
// allocation that fails. Every form of new goes through it (the throwing
// ones throw std::bad_alloc on null) and every form of delete through free().
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

void* TestAllocate(std::size_t n) noexcept;

// The blocks come from malloc, so free() is the matching release; the
// compiler cannot see that through the replacement.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  if (void* block = TestAllocate(n)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return TestAllocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return TestAllocate(n); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
