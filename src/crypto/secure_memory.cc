#include "crypto/secure_memory.h"

#include <atomic>
#include <cstring>

namespace kcertadm {
namespace {

std::atomic<SecureReleaseObserver> releaseObserver{nullptr};

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

}  // namespace kcertadm
