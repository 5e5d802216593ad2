// The toolkit services the key ring uses, behind one narrow seam: random
// bytes, DES-CBC with padding, the toolkit's password-based encryption and
// the registration of the key ring as an entropy source. Each call takes the
// locks the toolkit needs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/secure_memory.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

// n bytes from the shared random generator (or, should it fail, the
// kernel's source); a failure of both leaves out zero-filled.
ToolkitStatus KeyRingRandomBytes(std::uint8_t* out, std::size_t n);

// DES-CBC with PKCS #5 padding; the key gets odd parity. 0 or a toolkit status.
int DesCbcPadEncrypt(const std::uint8_t key[8], const std::uint8_t iv[8], ByteView data,
                     SecureBytes& out);
int DesCbcPadDecrypt(const std::uint8_t key[8], const std::uint8_t iv[8], ByteView data,
                     SecureBytes& out);

// Runs one whole message through a cipher object set up by the caller:
// Init with key and methods, one Update, Final. The
// output holds in.size() + 17 bytes until it is cut to what came out. On a
// failure out is empty.
ToolkitStatus RunCipher(const ToolkitLockHeld& lock, bool encrypt, AlgorithmObject* cipher,
                        KeyObject* key, MethodList methods, ByteView in, SecureBytes& out);

// The toolkit's pbeWithMD5AndDES-CBC over in, keyed by passwordItem (raw
// bytes). The output buffer is in.size() + 17 bytes. 0, a toolkit status, or
// 5 when the buffer cannot be had.
int PbeMd5DesCbc(bool encrypt, ByteView passwordItem, const std::uint8_t salt[8],
                 std::uint32_t iterations, ByteView in, SecureBytes& out);

// Offers the in-memory key ring to the random generator's seeding, once.
void RegisterKeyRingSampler();

}  // namespace kcertadm
