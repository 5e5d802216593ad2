#include "crypto/rsa/signature_digest_info.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "asn1/der_append.h"
#include "asn1/der_reader.h"
#include "asn1/oids.h"

namespace kcertadm {
namespace {

constexpr int kBadData = 524;
constexpr int kEncoding = 537;
constexpr int kMismatch = 540;

struct DigestDescriptor {
  der::View oid;
  std::size_t digest_size;
};

const DigestDescriptor kMd2{oid::bytes::kMd2, 16};
const DigestDescriptor kMd5{oid::bytes::kMd5, 16};
const DigestDescriptor kSha1{oid::bytes::kSha1, 20};
const DigestDescriptor kSha256{oid::bytes::kSha256, 32};
const DigestDescriptor kSha384{oid::bytes::kSha384, 48};
const DigestDescriptor kSha512{oid::bytes::kSha512, 64};

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
  return 2 + 2 + 2 + d.oid.size() + 2 + 2 + d.digest_size;
}

// No DigestInfo taken here is longer than a one-octet long-form length
// allows (tag, 0x81, length, contents): anything longer is refused before
// it is read.
constexpr std::size_t kLongestReadable = 3 + 255;

}  // namespace

std::size_t SignatureDigestSize(SignatureDigest digest) { return Descriptor(digest).digest_size; }

std::size_t MaxSignatureDataSize(SignatureDigest digest) {
  return std::max<std::size_t>(64, DigestInfoSize(Descriptor(digest)));
}

std::size_t EncodeDigestInfo(SignatureDigest digest, const std::uint8_t* digest_bytes,
                             std::uint8_t* out) {
  const DigestDescriptor& d = Descriptor(digest);
  std::vector<std::uint8_t> body;
  der::AppendAlgorithmIdentifier(body, d.oid);
  der::Append(body, der::kOctetString, der::View(digest_bytes, d.digest_size));
  std::vector<std::uint8_t> info;
  der::Append(info, der::kSequence, body);
  std::memcpy(out, info.data(), info.size());
  return info.size();
}

int CheckDigestInfo(SignatureDigest digest, const std::uint8_t* data, std::size_t size,
                    const std::uint8_t* digest_bytes) {
  const DigestDescriptor& d = Descriptor(digest);
  if (data == nullptr || size > kLongestReadable) return kEncoding;
  const auto info = der::ExpectOnly(der::View(data, size), der::kSequence, der::kDerOnly);
  if (!info) return kEncoding;
  der::View content = info->content;
  const auto algorithm = der::Expect(content, der::kSequence, der::kDerOnly);
  const auto octets =
      algorithm ? der::Expect(content, der::kOctetString, der::kDerOnly) : std::nullopt;
  if (!octets || !content.empty()) return kEncoding;
  if (!der::Equal(octets->content, der::View(digest_bytes, d.digest_size))) return kMismatch;
  der::View identifier = algorithm->content;
  const auto oid = der::Expect(identifier, der::kOid, der::kDerOnly);
  if (!oid) return kEncoding;
  if (!der::Equal(oid->content, d.oid)) return kMismatch;
  // What follows the identifier must be exactly NULL.
  const auto null = der::ExpectOnly(identifier, der::kNull, der::kDerOnly);
  if (!null || !null->content.empty()) return kBadData;
  return 0;
}

}  // namespace kcertadm
