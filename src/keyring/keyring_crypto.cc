#include "keyring/keyring_crypto.h"

#include <sys/random.h>

#include <cerrno>

namespace kcertadm {
namespace {
constexpr int kToolkitInternal = 520;
}  // namespace

// Stand-in until the shared random generator is available.
void KeyRingRandomBytes(std::uint8_t* out, std::size_t n) {
  while (n > 0) {
    ssize_t got = ::getrandom(out, n, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return;
    }
    out += got;
    n -= static_cast<std::size_t>(got);
  }
}

int DesCbcPadEncrypt(const std::uint8_t*, const std::uint8_t*, ByteView, SecureBytes& out) {
  out.clear();
  return kToolkitInternal;
}

int DesCbcPadDecrypt(const std::uint8_t*, const std::uint8_t*, ByteView, SecureBytes& out) {
  out.clear();
  return kToolkitInternal;
}

int PbeMd5DesCbc(bool, ByteView, const std::uint8_t*, std::uint32_t, ByteView, SecureBytes& out) {
  out.clear();
  return kToolkitInternal;
}

void RegisterKeyRingSampler() {}

}  // namespace kcertadm
