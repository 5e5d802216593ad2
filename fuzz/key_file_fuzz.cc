// The key file readers over arbitrary bytes: PKCS #12 (a file that starts
// with a SEQUENCE) and PEM text with private keys and certificates, under
// the seeds' password and under none. Iteration counts are held low so that
// no input spends the target's time on key derivation.
#include <cstddef>
#include <cstdint>

#include "keyfile/key_file.h"

using namespace kcertadm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool limited = (SetKeyFileIterationLimitForTesting(4096), true);
  (void)limited;
  if (size > 65536) return 0;
  const ByteView bytes(data, size);
  KeyFileContents contents;
  (void)ReadKeyFile(bytes, "fuzz password", contents);
  (void)ReadKeyFile(bytes, "", contents);
  return 0;
}
