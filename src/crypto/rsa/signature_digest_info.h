// The DER DigestInfo of PKCS #1 version 1.5 signatures:
// SEQUENCE { SEQUENCE { OBJECT IDENTIFIER, NULL }, OCTET STRING digest }.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

enum class SignatureDigest { kMd2, kMd5, kSha1, kSha256, kSha384, kSha512 };

// Longest DigestInfo (SHA-512).
constexpr std::size_t kMaxDigestInfoSize = 83;

std::size_t SignatureDigestSize(SignatureDigest digest);

// Longest block data a verification decodes: 64 bytes, or the DigestInfo
// of a digest that needs more (SHA-384, SHA-512).
std::size_t MaxSignatureDataSize(SignatureDigest digest);

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
