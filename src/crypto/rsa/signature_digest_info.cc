#include "crypto/rsa/signature_digest_info.h"

#include <algorithm>
#include <cstring>

namespace kcertadm {
namespace {

constexpr int kBadData = 524;
constexpr int kEncoding = 537;
constexpr int kMismatch = 540;

struct DigestDescriptor {
  std::uint8_t oid[9];
  std::size_t oid_size;
  std::size_t digest_size;
};

// Object identifier contents: md2 and md5 under 1.2.840.113549.2, sha1 is
// 1.3.14.3.2.26, sha256, sha384 and sha512 are 2.16.840.1.101.3.4.2.1 to 3.
constexpr DigestDescriptor kMd2{{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x02}, 8, 16};
constexpr DigestDescriptor kMd5{{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05}, 8, 16};
constexpr DigestDescriptor kSha1{{0x2B, 0x0E, 0x03, 0x02, 0x1A}, 5, 20};
constexpr DigestDescriptor kSha256{{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, 9, 32};
constexpr DigestDescriptor kSha384{{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, 9, 48};
constexpr DigestDescriptor kSha512{{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, 9, 64};

const DigestDescriptor& Descriptor(SignatureDigest digest) {
  switch (digest) {
    case SignatureDigest::kMd2:
      return kMd2;
    case SignatureDigest::kMd5:
      return kMd5;
    case SignatureDigest::kSha256:
      return kSha256;
    case SignatureDigest::kSha384:
      return kSha384;
    case SignatureDigest::kSha512:
      return kSha512;
    case SignatureDigest::kSha1:
      break;
  }
  return kSha1;
}

// SEQUENCE { SEQUENCE { OID, NULL }, OCTET STRING }: three headers, NULL.
std::size_t DigestInfoSize(const DigestDescriptor& d) {
  return 2 + 2 + 2 + d.oid_size + 2 + 2 + d.digest_size;
}

// A bounded view that reads one DER element at a time.
struct DerView {
  const std::uint8_t* data;
  std::size_t size;

  // Reads an element with the given tag; its contents become *contents.
  // Definite lengths in their shortest form only.
  bool Read(std::uint8_t tag, DerView* contents) {
    if (size < 2 || data[0] != tag) return false;
    std::size_t length = data[1], header = 2;
    if (length & 0x80) {
      if (length != 0x81 || size < 3 || data[2] < 0x80) return false;
      length = data[2];
      header = 3;
    }
    if (length > size - header) return false;
    *contents = DerView{data + header, length};
    data += header + length;
    size -= header + length;
    return true;
  }
};

}  // namespace

std::size_t SignatureDigestSize(SignatureDigest digest) { return Descriptor(digest).digest_size; }

std::size_t MaxSignatureDataSize(SignatureDigest digest) {
  return std::max<std::size_t>(64, DigestInfoSize(Descriptor(digest)));
}

std::size_t EncodeDigestInfo(SignatureDigest digest, const std::uint8_t* digest_bytes,
                             std::uint8_t* out) {
  const DigestDescriptor& d = Descriptor(digest);
  const std::size_t algorithm_size = 2 + d.oid_size + 2;
  const std::size_t total = DigestInfoSize(d);
  std::size_t i = 0;
  out[i++] = 0x30;
  out[i++] = static_cast<std::uint8_t>(total - 2);
  out[i++] = 0x30;
  out[i++] = static_cast<std::uint8_t>(algorithm_size);
  out[i++] = 0x06;
  out[i++] = static_cast<std::uint8_t>(d.oid_size);
  std::memcpy(out + i, d.oid, d.oid_size);
  i += d.oid_size;
  out[i++] = 0x05;
  out[i++] = 0x00;
  out[i++] = 0x04;
  out[i++] = static_cast<std::uint8_t>(d.digest_size);
  std::memcpy(out + i, digest_bytes, d.digest_size);
  return i + d.digest_size;
}

int CheckDigestInfo(SignatureDigest digest, const std::uint8_t* data, std::size_t size,
                    const std::uint8_t* digest_bytes) {
  const DigestDescriptor& d = Descriptor(digest);
  DerView block{data, size}, info, algorithm, octets;
  if (!block.Read(0x30, &info) || block.size != 0) return kEncoding;
  if (!info.Read(0x30, &algorithm) || !info.Read(0x04, &octets) || info.size != 0) return kEncoding;
  if (octets.size != d.digest_size || std::memcmp(octets.data, digest_bytes, d.digest_size) != 0)
    return kMismatch;
  DerView oid;
  if (!algorithm.Read(0x06, &oid)) return kEncoding;
  if (oid.size != d.oid_size || std::memcmp(oid.data, d.oid, d.oid_size) != 0) return kMismatch;
  // What follows the identifier must be exactly NULL.
  if (algorithm.size != 2 || algorithm.data[0] != 0x05 || algorithm.data[1] != 0x00)
    return kBadData;
  return 0;
}

}  // namespace kcertadm
