#include "keyring/certificate_parts.h"

#include <new>

#include "keyring/der_view.h"

namespace kcertadm {
namespace {

constexpr std::uint8_t kRsaEncryptionOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};

void CopyTo(Bytes* out, der::View bytes) {
  if (out) out->assign(bytes.begin(), bytes.end());
}

}  // namespace

int CertificateParts(ByteView certificate, Bytes* tbsCertificate, Bytes* signatureAlgorithm,
                     Bytes* signature) {
  der::View in = certificate;
  auto outer = der::Expect(in, der::kSequence);
  if (!outer) return kCertPartBadEncoding;
  der::View body = outer->content;
  auto tbs = der::Expect(body, der::kSequence);
  auto algorithm = der::Expect(body, der::kSequence);
  auto bits = der::Expect(body, der::kBitString);
  if (!tbs || !algorithm || !bits || bits->content.empty() || bits->content[0] != 0)
    return kCertPartBadEncoding;
  try {
    CopyTo(tbsCertificate, tbs->whole);
    CopyTo(signatureAlgorithm, algorithm->whole);
    CopyTo(signature, bits->content.subspan(1));
  } catch (const std::bad_alloc&) {
    return kCertPartNoMemory;
  }
  return 0;
}

int TbsCertificateFields(ByteView tbsCertificate, const std::array<Bytes*, kTbsFieldCount>& out) {
  der::View in = tbsCertificate;
  auto outer = der::Expect(in, der::kSequence);
  if (!outer) return kCertPartBadEncoding;
  der::View body = outer->content;
  std::array<std::optional<der::View>, kTbsFieldCount> found;

  if (auto version = der::Peek(body); version && version->tag == der::kContext0) {
    der::Next(body);
    der::View inner = version->content;
    auto integer = der::Expect(inner, der::kInteger);
    if (!integer) return kCertPartBadEncoding;
    found[kTbsVersion] = integer->content;
  }
  auto serial = der::Expect(body, der::kInteger);
  if (!serial) return kCertPartBadEncoding;
  found[kTbsSerialNumber] = serial->content;
  for (int field = kTbsSignature; field <= kTbsSubjectPublicKeyInfo; ++field) {
    auto element = der::Expect(body, der::kSequence);
    if (!element) return kCertPartBadEncoding;
    found[field] = element->whole;
  }
  for (int field = kTbsTrailing1; field <= kTbsTrailing3 && !body.empty(); ++field) {
    auto element = der::Next(body);
    if (!element) return kCertPartBadEncoding;
    found[field] = element->whole;
  }

  try {
    for (int field = 0; field < kTbsFieldCount; ++field) {
      if (!out[field]) continue;
      if (!found[field]) return kCertPartMissing;
      CopyTo(out[field], *found[field]);
    }
  } catch (const std::bad_alloc&) {
    return kCertPartNoMemory;
  }
  return 0;
}

int SpkiModulusExponent(ByteView spki, ByteView& modulus, ByteView& exponent) {
  der::View in = spki;
  auto outer = der::Expect(in, der::kSequence);
  if (!outer) return kCertPartBadEncoding;
  der::View body = outer->content;
  auto algorithm = der::Expect(body, der::kSequence);
  auto bits = der::Expect(body, der::kBitString);
  if (!algorithm || !bits || bits->content.empty() || bits->content[0] != 0)
    return kCertPartBadEncoding;
  der::View keyBytes = bits->content.subspan(1);
  auto key = der::Expect(keyBytes, der::kSequence);
  if (!key) return kCertPartBadEncoding;
  der::View numbers = key->content;
  auto n = der::Expect(numbers, der::kInteger);
  auto e = der::Expect(numbers, der::kInteger);
  if (!n || !e || n->content.empty() || e->content.empty()) return kCertPartBadEncoding;
  modulus = n->content;
  exponent = e->content;
  return 0;
}

Bytes CanonicalPublicKey(ByteView modulus, ByteView exponent) {
  Bytes numbers;
  der::AppendUnsignedInteger(numbers, modulus);
  der::AppendUnsignedInteger(numbers, exponent);
  Bytes rsaKey{0x00};  // no unused bits
  der::Append(rsaKey, der::kSequence, numbers);
  Bytes content = der::AlgorithmIdentifier(kRsaEncryptionOid);
  der::Append(content, der::kBitString, rsaKey);
  Bytes out;
  der::Append(out, der::kSequence, content);
  return out;
}

std::optional<Bytes> CanonicalPublicKeyFromSpki(ByteView spki) {
  ByteView modulus, exponent;
  if (SpkiModulusExponent(spki, modulus, exponent) != 0) return std::nullopt;
  return CanonicalPublicKey(modulus, exponent);
}

}  // namespace kcertadm
