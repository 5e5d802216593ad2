// The PKCS #12 key derivation (RFC 7292 appendix B.2): key, IV or MAC key
// bytes from a password and a salt by an iterated digest, as PKCS #12 files
// and their password-based ciphers use it.
#pragma once

#include <cstdint>

#include "crypto/toolkit/toolkit.h"

namespace kcertadm {

// The ID byte: what the derived bytes are for.
enum class Pkcs12Purpose : std::uint8_t { kKey = 1, kIv = 2, kMac = 3 };

struct Pkcs12KdfInput {
  // The digest: AlgInfoSha1() or AlgInfoSha256() (the MAC of current
  // PKCS #12 files). Others join through the table of digest
  // block sizes in pkcs12_kdf.cc; any other type is refused with 545.
  const AlgorithmInfoType* digest;
  Pkcs12Purpose purpose;
  // The password as a BMPString (UCS-2, big-endian) with its two zero bytes
  // at the end (empty for no password at all).
  ByteItem password;
  ByteItem salt;
  std::uint32_t iterations;  // at least 1 (0 is 524); callers bound it
};

// Writes `length` derived bytes to `out`, finding the digest in `methods`
// (DigestMethods). Returns 0 or a toolkit status: 545 for a digest the
// derivation or the list does not serve, 524 for 0 iterations, 518.
int Pkcs12DeriveKey(const Pkcs12KdfInput& input, MethodList methods, std::uint8_t* out,
                    std::uint32_t length);

}  // namespace kcertadm
