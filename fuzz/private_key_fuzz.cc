// DecryptPrivateKey and the protected-data decryption over arbitrary bytes,
// under a fixed password and under none.
#include <cstddef>
#include <cstdint>

#include "keyring/password_protection.h"

using namespace kcertadm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65536) return 0;
  const ByteView bytes(data, size);
  (void)DecryptPrivateKey(bytes, "fuzz password");
  (void)DecryptPrivateKey(bytes, "");
  (void)DecryptPrivateKeyNumbers(bytes, "fuzz password");
  SecureBytes plain;
  (void)DecryptProtectedData(bytes, std::string_view("fuzz password"), plain);
  SecureBytes none;
  (void)DecryptProtectedData(bytes, std::nullopt, none);
  return 0;
}
