#include "crypto/secure_memory.h"

#include <cstring>

namespace kcertadm {

void SecureWipe(void* p, std::size_t n) noexcept {
  if (p == nullptr || n == 0) return;
  std::memset(p, 0, n);
  // Keep the stores: the compiler must assume the memory is read.
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

}  // namespace kcertadm
