#include "keyring/certificate_parts.h"

#include <new>

#include "asn1/der_append.h"
#include "asn1/oids.h"
#include "cert/signed_structure.h"

namespace kcertadm {
namespace {

void CopyTo(Bytes* out, der::View bytes) {
  if (out) out->assign(bytes.begin(), bytes.end());
}

}  // namespace

int CertificateParts(ByteView certificate, Bytes* tbsCertificate, Bytes* signatureAlgorithm,
                     Bytes* signature) {
  // The key ring reads SEQUENCEs only, and an indefinite length as empty.
  if (certificate.empty() || certificate[0] != der::kSequence) return kCertPartBadEncoding;
  const auto parts = DecodeSigned(certificate, der::kIndefiniteAsEmpty);
  if (!parts) return kCertPartBadEncoding;
  try {
    CopyTo(tbsCertificate, parts->toBeSigned);
    CopyTo(signatureAlgorithm, parts->signatureAlgorithm);
    CopyTo(signature, parts->signature);
  } catch (const std::bad_alloc&) {
    return kCertPartNoMemory;
  }
  return 0;
}

int TbsCertificateFields(ByteView tbsCertificate, const std::array<Bytes*, kTbsFieldCount>& out) {
  // The key ring reads a SEQUENCE whose version is a [0] holding an INTEGER.
  if (tbsCertificate.empty() || tbsCertificate[0] != der::kSequence) return kCertPartBadEncoding;
  const auto parts = DecodeTbs(tbsCertificate, der::kIndefiniteAsEmpty);
  if (!parts) return kCertPartBadEncoding;
  std::array<std::optional<der::View>, kTbsFieldCount> found;
  if (parts->version) {
    if (parts->version->tag != der::kContext0) return kCertPartBadEncoding;
    der::View inner = parts->version->content;
    auto integer = der::Expect(inner, der::kInteger, der::kIndefiniteAsEmpty);
    if (!integer) return kCertPartBadEncoding;
    found[kTbsVersion] = integer->content;
  }
  found[kTbsSerialNumber] = parts->serialNumber.content;
  found[kTbsSignature] = parts->signature.whole;
  found[kTbsIssuer] = parts->issuer.whole;
  found[kTbsValidity] = parts->validity.whole;
  found[kTbsSubject] = parts->subject.whole;
  found[kTbsSubjectPublicKeyInfo] = parts->subjectPublicKeyInfo.whole;
  der::View body = parts->rest;
  for (int field = kTbsTrailing1; field <= kTbsTrailing3 && !body.empty(); ++field) {
    auto element = der::Next(body, der::kIndefiniteAsEmpty);
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

int SpkiModulusExponent(ByteView spki, RsaPublicNumbers& key) {
  const auto parts = DecodeRsaSpki(spki, der::kIndefiniteAsEmpty);
  if (!parts) return kCertPartBadEncoding;
  key = parts->key;
  return 0;
}

Bytes CanonicalPublicKey(const RsaPublicNumbers& key) {
  Bytes numbers;
  der::AppendUnsignedInteger(numbers, key.modulus);
  der::AppendUnsignedInteger(numbers, key.publicExponent);
  Bytes rsaKey{0x00};  // no unused bits
  der::Append(rsaKey, der::kSequence, numbers);
  Bytes content = der::AlgorithmIdentifier(oid::bytes::kRsaEncryption);
  der::Append(content, der::kBitString, rsaKey);
  Bytes out;
  der::Append(out, der::kSequence, content);
  return out;
}

std::optional<Bytes> CanonicalPublicKeyFromSpki(ByteView spki) {
  RsaPublicNumbers key;
  if (SpkiModulusExponent(spki, key) != 0) return std::nullopt;
  return CanonicalPublicKey(key);
}

}  // namespace kcertadm
