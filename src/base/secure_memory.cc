#include "base/secure_memory.h"

#include <atomic>
#include <cstring>

namespace kcertadm {
namespace {

std::atomic<SecureReleaseObserver> releaseObserver{nullptr};
// Allocations left until the one that fails; 0: none fails.
std::atomic<std::uint32_t> allocationsUntilFailure{0};

}  // namespace

void SecureWipe(void* p, std::size_t n) noexcept {
  if (p == nullptr || n == 0) return;
  std::memset(p, 0, n);
  // Keep the stores: the compiler must assume the memory is read.
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

void SetSecureReleaseObserverForTesting(SecureReleaseObserver observer) noexcept {
  releaseObserver.store(observer);
}

void NoteSecureRelease(const void* block, std::size_t size) noexcept {
  if (SecureReleaseObserver observer = releaseObserver.load(std::memory_order_relaxed)) {
    observer(block, size);
  }
}

void FailSecureAllocationForTesting(std::uint32_t nth) noexcept {
  allocationsUntilFailure.store(nth);
}

bool SecureAllocationFailurePending() noexcept { return allocationsUntilFailure.load() != 0; }

bool SecureAllocationRefused() noexcept {
  std::uint32_t left = allocationsUntilFailure.load(std::memory_order_relaxed);
  while (left != 0) {
    if (allocationsUntilFailure.compare_exchange_weak(left, left - 1)) return left == 1;
  }
  return false;
}

}  // namespace kcertadm
