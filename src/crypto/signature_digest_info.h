// The DER DigestInfo of PKCS #1 version 1.5 signatures:
// SEQUENCE { SEQUENCE { OBJECT IDENTIFIER, NULL }, OCTET STRING digest }.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

enum class SignatureDigest { kMd2, kMd5, kSha1 };

// Longest DigestInfo (SHA-1) and longest block data a verification accepts.
constexpr std::size_t kMaxDigestInfoSize = 35;
constexpr std::size_t kMaxSignatureDataSize = 64;

std::size_t SignatureDigestSize(SignatureDigest digest);

// Writes the DER DigestInfo for `digest_bytes` (SignatureDigestSize bytes)
// to out (kMaxDigestInfoSize bytes of room); returns its length.
std::size_t EncodeDigestInfo(SignatureDigest digest, const std::uint8_t* digest_bytes,
                             std::uint8_t* out);

// Checks the data of a verified signature block against the computed
// digest: 537 when it is not a DER DigestInfo (nothing may follow it), 540
// when the digest differs or another digest algorithm is named, 524 when
// the algorithm parameters are not exactly NULL.
int CheckDigestInfo(SignatureDigest digest, const std::uint8_t* data, std::size_t size,
                    const std::uint8_t* digest_bytes);

}  // namespace kcertadm
