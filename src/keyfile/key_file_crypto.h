// The toolkit operations the key file formats are made of, each one whole
// call on toolkit objects under ToolkitLock: PBKDF2, AES-CBC with padding,
// the password-based ciphers of PKCS #12, the PKCS #12 key derivation for
// MAC keys, and HMAC. Each returns 0 or a toolkit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/secure_memory.h"
#include "crypto/toolkit/toolkit.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

// The password as PKCS #12 feeds it to its key derivation: a BMPString
// (UTF-16, big-endian) with two zero bytes at the end. None when the text
// is not UTF-8.
std::optional<SecureBytes> BmpPassword(std::string_view utf8);

// length bytes of PBKDF2 with prf (AlgInfoHmacSha1 ... AlgInfoHmacSha512).
int DerivePbkdf2(const AlgorithmInfoType* prf, ByteView password, ByteView salt,
                 std::uint32_t iterations, std::uint8_t* out, std::uint32_t length);

// AES-CBC with PKCS #5 padding (AlgInfoAes128CbcPad ... AlgInfoAes256CbcPad)
// under key and a 16-byte iv. A wrong key shows as a bad padding status.
int AesCbcPad(bool encrypt, const AlgorithmInfoType* cipher, ByteView key, const std::uint8_t* iv,
              ByteView in, SecureBytes& out);

// A PKCS #12 password-based cipher (AlgInfoPkcs12PbeSha1DesEde3Cbc,
// AlgInfoPkcs12PbeSha1Rc2Cbc40) under the BMPString password.
int Pkcs12PbeCipher(bool encrypt, const AlgorithmInfoType* pbe, ByteView bmpPassword, ByteView salt,
                    std::uint32_t iterations, ByteView in, SecureBytes& out);

// The MAC key of a PKCS #12 file (ID 3 of the PKCS #12 derivation over
// digest, AlgInfoSha1 or AlgInfoSha256).
int Pkcs12MacKey(const AlgorithmInfoType* digest, ByteView bmpPassword, ByteView salt,
                 std::uint32_t iterations, std::uint8_t* out, std::uint32_t length);

// HMAC (AlgInfoHmacSha1 ... AlgInfoHmacSha512) of data under key into out
// (outSize bytes of room); *length receives the MAC's size.
int HmacOf(const AlgorithmInfoType* hmac, ByteView key, ByteView data, std::uint8_t* out,
           std::uint32_t outSize, std::uint32_t* length);

}  // namespace kcertadm
