#include "cert/certificate.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/cert_signature.h"
#include "cert/signed_structure.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

constexpr std::uint32_t kOptional = ASN1_OPTIONAL;

bool StartsWith(const Asn1Item& item, const std::uint8_t (&prefix)[9]) {
  if (item.length < 9) return false;
  for (int i = 0; i < 9; ++i) {
    if (item.data[i] != prefix[i]) return false;
  }
  return true;
}

void FreeBlock(Asn1Item* item) {
  std::free(item->data);
  *item = Asn1Item{};
}

// The certificate list of a container: the first certificate and the length
// of the list. Returns 1 for a container, 0 for a bare certificate, -1 for a
// container that cannot be read.
int FindCertificateList(const Asn1Item& der, Asn1Item* list) {
  Asn1Item content = der;
  if (content.length < 2 || content.data[0] != kAsn1Sequence || Asn1Enter(&content) < 0) {
    return 0;
  }
  Asn1Item contentType{};
  Asn1Item explicitContent{};
  const Asn1TemplateEntry contentInfo[] = {{kAsn1ObjectId, &contentType},
                                           {kAsn1Context0, &explicitContent}};
  if (Asn1DecodeTemplate(contentInfo, 2, content, 1) != 0 || contentType.data == nullptr) {
    return 0;  // not a ContentInfo: a bare certificate
  }
  if (StartsWith(contentType, oid::bytes::kPkcs7SignedData)) {
    Asn1Item signedData = explicitContent;
    if (Asn1PeekTag(kAsn1Sequence, &signedData, 1) != 1) return -1;
    Asn1Item version{}, digestAlgorithms{}, innerContent{}, certificates{}, crls{}, signerInfos{};
    const Asn1TemplateEntry fields[] = {
        {kAsn1Integer, &version},           {kAsn1Set, &digestAlgorithms},
        {kAsn1Sequence, &innerContent},     {kAsn1Context0, &certificates},
        {kAsn1Context1 | kOptional, &crls}, {kAsn1Set, &signerInfos}};
    if (Asn1DecodeTemplate(fields, 6, signedData, 1) != 0 || certificates.length < 1) return -1;
    *list = certificates;
    return 1;
  }
  if (StartsWith(contentType, oid::bytes::kNetscapeCertSequence)) {
    Asn1Item sequence = explicitContent;
    if (Asn1PeekTag(kAsn1Sequence, &sequence, 1) != 1 || sequence.length < 1) return -1;
    *list = sequence;
    return 1;
  }
  return -1;
}

int UnwrapContainer(CertData* cert) {
  Asn1Item list{};
  const int found = FindCertificateList(cert->der, &list);
  if (found <= 0) return found;
  if (cert->container.data != nullptr) return -1;  // a container inside a container
  const std::int32_t first = Asn1TotalSize(list);
  if (first <= 0) return -1;
  cert->container = cert->der;
  cert->der = Asn1Item{list.data, first};
  cert->setRemaining = list.length;
  return 1;
}

}  // namespace

void InitCertData(CertData* cert, std::uint8_t* bytes, std::int32_t length) {
  *cert = CertData{};
  cert->der = Asn1Item{bytes, length};
}

bool CopyToItem(std::span<const std::uint8_t> bytes, Asn1Item* out) {
  *out = Asn1Item{};
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return false;
  }
  // One byte more than needed, so that an empty copy is still a block.
  auto* block = static_cast<std::uint8_t*>(std::malloc(bytes.size() + 1));
  if (block == nullptr) return false;
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  out->data = block;
  out->length = static_cast<std::int32_t>(bytes.size());
  return true;
}

void ReplaceDer(CertData* cert, Asn1Item bytes) {
  // der points into the container when it was taken out of one.
  FreeBlock(cert->container.data != nullptr ? &cert->container : &cert->der);
  cert->container = Asn1Item{};
  cert->setRemaining = 0;
  cert->der = bytes;
}

int NextCertInSet(CertData* cert) {
  if (cert->setRemaining <= 0) return 0;
  const std::int32_t rest = cert->setRemaining - cert->der.length;
  if (rest <= 0) {
    cert->setRemaining = 0;
    return 0;
  }
  const Asn1Item next{cert->der.data + cert->der.length, rest};
  const std::int32_t size = Asn1TotalSize(next);
  if (size <= 0) {
    cert->setRemaining = 0;  // the rest of the list cannot be read
    return 0;
  }
  cert->setRemaining = rest;
  cert->der = Asn1Item{next.data, size};
  return 1;
}

int SplitSigned(const Asn1Item& der, CertFields* fields) {
  *fields = CertFields{};
  if (der.data == nullptr || der.length < 2) return -1;
  const std::int32_t total = Asn1TotalSize(der);
  if (total <= 0) return -1;
  fields->whole = Asn1Item{der.data, total};
  const auto parts = DecodeSigned(Asn1Bytes(fields->whole), der::kFollowIndefinite);
  if (!parts) return -1;
  fields->toBeSigned = Asn1ItemOver(parts->toBeSigned);
  fields->signatureAlgorithm = Asn1ItemOver(parts->signatureAlgorithm);
  fields->signatureValue = Asn1ItemOver(parts->signature);
  return 0;
}

namespace {

// The codec's reading of the toBeSigned fields into the record; extensions
// becomes the content of [3]. False when the TBS does not decode.
bool DecodeTbsInto(CertFields* fields) {
  if (fields->toBeSigned.length < 2) return false;
  const auto parts = DecodeTbs(Asn1Bytes(fields->toBeSigned), der::kFollowIndefinite);
  if (!parts) return false;
  if (parts->version) fields->version = Asn1ItemOver(parts->version->whole);
  fields->serialNumber = Asn1ItemOver(parts->serialNumber.whole);
  fields->signatureAlgorithm = Asn1ItemOver(parts->signature.whole);
  fields->issuer = Asn1ItemOver(parts->issuer.whole);
  fields->validity = Asn1ItemOver(parts->validity.whole);
  fields->subject = Asn1ItemOver(parts->subject.whole);
  fields->subjectPublicKeyInfo = Asn1ItemOver(parts->subjectPublicKeyInfo.whole);
  Asn1Item issuerUniqueId{};
  Asn1Item subjectUniqueId{};
  const Asn1TemplateEntry rest[] = {
      // The unique identifiers are IMPLICIT BIT STRINGs: primitive [1], [2].
      {(kAsn1ContextSpecific | 1) | kOptional, &issuerUniqueId},
      {(kAsn1ContextSpecific | 2) | kOptional, &subjectUniqueId},
      {kAsn1Context3 | kOptional, &fields->extensions},
  };
  return Asn1DecodeTemplate(rest, sizeof rest / sizeof rest[0], Asn1ItemOver(parts->rest), 1) == 0;
}

}  // namespace

int ParseTbs(CertFields* fields, std::uint32_t* error) {
  if (!DecodeTbsInto(fields) ||
      (fields->extensions.length > 0 && Asn1PeekTag(kAsn1Sequence, &fields->extensions, 1) != 1)) {
    FailWith(error, kMsgBadCertificate);
    return -1;
  }
  return 0;
}

int ParseSignedCert(CertData* cert, CertFields* fields, std::uint32_t* error) {
  if (SplitSigned(cert->der, fields) != 0) {
    FailWith(error, kMsgBadCertificate);
    return -1;
  }
  return ParseTbs(fields, error);
}

int ParseRequest(CertData* cert, CertFields* fields, std::uint32_t* error) {
  std::uint32_t message = 0;
  int status = SplitSigned(cert->der, fields);
  if (status == 0) {
    const Asn1TemplateEntry info[] = {{kAsn1Integer, &fields->version},
                                      {kAsn1Sequence, &fields->subject},
                                      {kAsn1Sequence, &fields->subjectPublicKeyInfo},
                                      {kAsn1Context0 | kOptional, &fields->extensions}};
    status =
        fields->toBeSigned.length >= 2 && Asn1DecodeTemplate(info, 4, fields->toBeSigned, 0) == 0
            ? 0
            : -1;
  }
  if (status == 0 && fields->extensions.length > 0) {
    // The attributes: the content of the first attribute SEQUENCE, if any.
    if (Asn1Enter(&fields->extensions) < 0 ||
        (fields->extensions.length > 0 &&
         Asn1PeekTag(kAsn1Sequence, &fields->extensions, 1) != 1)) {
      status = -1;
    }
  }
  if (status == 0) {
    OwnedKey key;
    status = PublicKeyFromSpki(fields->subjectPublicKeyInfo, key, &message);
    if (status == 0) status = VerifySignature(*fields, key.get(), &message);
  }
  if (status != 0) {
    FailWith(error, message != 0 ? message : static_cast<std::uint32_t>(kMsgBadRequest));
    return -1;
  }
  return 0;
}

int IsSelfIssued(const CertFields& fields) {
  return fields.subject.length > 0 && fields.subject.length == fields.issuer.length &&
                 std::equal(fields.subject.data, fields.subject.data + fields.subject.length,
                            fields.issuer.data)
             ? 1
             : 0;
}

}  // namespace kcertadm

namespace kcertadm {

std::int32_t ParseCertificateData(CertData* cert, CertFields* fields, std::uint32_t* error) {
  if (cert == nullptr || fields == nullptr || cert->der.data == nullptr || cert->der.length < 2 ||
      UnwrapContainer(cert) < 0) {
    if (fields != nullptr) *fields = CertFields{};
    FailWith(error, kMsgBadCertificate);
    return -1;
  }
  return ParseSignedCert(cert, fields, error) == 0 ? 0 : -1;
}

void FreeCertificateData(CertData* cert) {
  if (cert == nullptr) return;
  std::free(cert->owned0);
  cert->owned0 = nullptr;
  ReplaceDer(cert, Asn1Item{});
  FreeBlock(&cert->pkcs7);
  FreeBlock(&cert->certText);
  FreeBlock(&cert->reqText);
  FreeBlock(&cert->tbs);
  FreeBlock(&cert->subjectDer);
  FreeBlock(&cert->publicKeyInfoDer);
  FreeBlock(&cert->micText);
  std::free(cert->procTypeLine);
  cert->procTypeLine = nullptr;
}

}  // namespace kcertadm

// The records cross the C interface: field order fixed, pointers of natural
// size, every other word 32 bits.
static_assert(sizeof(Asn1Item) == 2 * sizeof(void*));
static_assert(offsetof(CertData, der) == sizeof(void*));
static_assert(offsetof(CertData, setRemaining) == sizeof(void*) + 7 * sizeof(Asn1Item));
static_assert(offsetof(CertData, subjectDer) == 8 * sizeof(Asn1Item));  // after padding
static_assert(offsetof(CertData, procTypeLine) == 11 * sizeof(Asn1Item));
static_assert(offsetof(CertData, isSelfSigned) == sizeof(void*) + 11 * sizeof(Asn1Item));
static_assert(sizeof(CertFields) == 14 * sizeof(Asn1Item));
static_assert(offsetof(CertFields, challenge) == 13 * sizeof(Asn1Item));
static_assert(sizeof(DnFields) == DN_SLOT_COUNT * (sizeof(void*) + 8));
static_assert(offsetof(DnValue, owned) == sizeof(void*) + 8);
