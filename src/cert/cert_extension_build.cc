#include "cert/cert_extension_build.h"

#include <cstring>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/der_append.h"
#include "asn1/oids.h"
#include "cert/der_temporaries.h"
#include "crypto/digest/sha1.h"

namespace kcertadm {
namespace {

// The contents of the key usage BIT STRINGs: the count of unused trailing
// bits, then the bits. keyCertSign (bit 5) and cRLSign (bit 6);
// digitalSignature (bit 0) and keyEncipherment (bit 2).
constexpr std::uint8_t kAuthorityKeyUsageBits[] = {0x01, 0x06};
constexpr std::uint8_t kEndEntityKeyUsageBits[] = {0x05, 0xA0};
constexpr std::uint8_t kTrue = 0xFF;

using Octets = std::span<const std::uint8_t>;

// BasicConstraints: cA TRUE for an authority, an empty SEQUENCE otherwise.
std::vector<std::uint8_t> BasicConstraintsValue(bool authority) {
  std::vector<std::uint8_t> fields;
  if (authority) der::Append(fields, static_cast<std::uint8_t>(kAsn1Boolean), der::View(&kTrue, 1));
  std::vector<std::uint8_t> value;
  der::Append(value, der::kSequence, fields);
  return value;
}

std::vector<std::uint8_t> KeyUsageValue(bool authority) {
  std::vector<std::uint8_t> value;
  der::Append(value, der::kBitString,
              authority ? der::View(kAuthorityKeyUsageBits) : der::View(kEndEntityKeyUsageBits));
  return value;
}

// ExtKeyUsageSyntax of a server: serverAuth and clientAuth.
const std::vector<std::uint8_t>& ServerAndClientAuth() {
  static const std::vector<std::uint8_t> value = [] {
    std::vector<std::uint8_t> purposes;
    der::Append(purposes, der::kOid, oid::bytes::kServerAuth);
    der::Append(purposes, der::kOid, oid::bytes::kClientAuth);
    std::vector<std::uint8_t> list;
    der::Append(list, der::kSequence, purposes);
    return list;
  }();
  return value;
}

// Extension ::= SEQUENCE { extnID, critical (only when TRUE), extnValue }.
int BuildExtension(Asn1Item* out, Octets oid, bool critical, Octets value) {
  DerTemporaries t;
  Asn1Item* id = t.New();
  Asn1Item* flag = t.New();
  Asn1Item* octets = t.New();
  *out = Asn1Item{};
  if (DerPrimitive(id, kAsn1ObjectId, oid.data(), static_cast<std::int32_t>(oid.size())) != 0 ||
      (critical && DerPrimitive(flag, kAsn1Boolean, &kTrue, 1) != 0) ||
      DerPrimitive(octets, kAsn1OctetString, value.data(),
                   static_cast<std::int32_t>(value.size())) != 0) {
    return -1;
  }
  return DerConstructed(out, kDerSequenceNumber, id, flag, octets);
}

// SubjectKeyIdentifier ::= OCTET STRING and AuthorityKeyIdentifier ::=
// SEQUENCE { [0] keyIdentifier }, both of the key identifier.
int BuildKeyIdentifiers(Asn1Item* subjectId, Asn1Item* authorityId, const Asn1Item& spki,
                        const Asn1Item& issuerSpki) {
  std::uint8_t ownId[kKeyIdentifierSize];
  std::uint8_t issuerId[kKeyIdentifierSize];
  if (KeyIdentifierOf(spki, ownId) != 0 || KeyIdentifierOf(issuerSpki, issuerId) != 0) return -1;
  std::vector<std::uint8_t> subjectValue;
  der::Append(subjectValue, der::kOctetString, ownId);
  std::vector<std::uint8_t> keyIdentifier;
  der::Append(keyIdentifier, der::kImplicit0, issuerId);
  std::vector<std::uint8_t> authorityValue;
  der::Append(authorityValue, der::kSequence, keyIdentifier);
  if (BuildExtension(subjectId, oid::bytes::kSubjectKeyId, false, subjectValue) != 0) return -1;
  return BuildExtension(authorityId, oid::bytes::kAuthorityKeyId, false, authorityValue);
}

}  // namespace

int KeyIdentifierOf(const Asn1Item& spki, std::uint8_t out[kKeyIdentifierSize]) {
  Asn1Item view = spki;
  Asn1Item algorithm{};
  Asn1Item key{};
  if (view.data == nullptr || Asn1PeekTag(kAsn1Sequence, &view, 1) != 1 ||
      Asn1NextTagged(&view, &algorithm, kAsn1Sequence) != 1 ||
      Asn1NextTagged(&view, &key, kAsn1BitString) != 1 || key.length < 1 || key.data[0] != 0) {
    return -1;
  }
  Sha1Digest(key.data + 1, static_cast<std::size_t>(key.length - 1), out);
  return 0;
}

int BuildCertExtensions(Asn1Item* out, CertRole role, const Asn1Item& subject, const Asn1Item& spki,
                        const Asn1Item& issuerSpki, Octets subjectAltName) {
  const bool authority = role == CertRole::kAuthority;
  DerTemporaries t;
  Asn1Item* constraints = t.New();
  Asn1Item* usage = t.New();
  Asn1Item* extendedUsage = t.New();
  Asn1Item* subjectId = t.New();
  Asn1Item* authorityId = t.New();
  Asn1Item* altName = t.New();
  Asn1Item* list = t.New();
  *out = Asn1Item{};
  if (BuildExtension(constraints, oid::bytes::kBasicConstraints, true,
                     BasicConstraintsValue(authority)) != 0 ||
      BuildExtension(usage, oid::bytes::kKeyUsage, true, KeyUsageValue(authority)) != 0 ||
      (!authority && BuildExtension(extendedUsage, oid::bytes::kExtendedKeyUsage, false,
                                    ServerAndClientAuth()) != 0) ||
      BuildKeyIdentifiers(subjectId, authorityId, spki, issuerSpki) != 0) {
    return -1;
  }
  // Without a subject Name the alternative name is the only identity, and
  // then critical (RFC 5280 section 4.2.1.6).
  // An empty Name is a SEQUENCE with nothing in it.
  const auto name = der::ExpectOnly(Asn1Bytes(subject), der::kSequence, der::kDerOnly);
  const bool emptySubject = name && name->content.empty();
  if (!subjectAltName.empty() &&
      BuildExtension(altName, oid::bytes::kSubjectAltName, emptySubject, subjectAltName) != 0) {
    return -1;
  }
  if (DerConstructed(list, kDerSequenceNumber, constraints, usage, extendedUsage, subjectId,
                     authorityId, altName) != 0) {
    return -1;
  }
  return DerConstructed(out, kDerContext3Number, list);
}

int BuildRequestAttributes(Asn1Item* out, Octets subjectAltName) {
  *out = Asn1Item{};
  if (subjectAltName.empty()) return DerEmpty(out, kAsn1Context0);
  DerTemporaries t;
  Asn1Item* altName = t.New();
  Asn1Item* extensions = t.New();
  Asn1Item* values = t.New();
  Asn1Item* type = t.New();
  Asn1Item* attribute = t.New();
  if (BuildExtension(altName, oid::bytes::kSubjectAltName, false, subjectAltName) != 0 ||
      DerConstructed(extensions, kDerSequenceNumber, altName) != 0 ||
      DerConstructed(values, kDerSetNumber, extensions) != 0 ||
      DerPrimitive(type, kAsn1ObjectId, oid::bytes::kExtensionRequest,
                   sizeof oid::bytes::kExtensionRequest) != 0 ||
      DerConstructed(attribute, kDerSequenceNumber, type, values) != 0) {
    return -1;
  }
  return DerConstructed(out, kDerContext0Number, attribute);
}

namespace {

// True when the element fills the item and is a SEQUENCE of one or more
// context-tagged GeneralName choices whose headers all read.
bool IsGeneralNames(const Asn1Item& element) {
  if (Asn1TotalSize(element) != element.length) return false;
  Asn1Item names = element;
  if (Asn1PeekTag(kAsn1Sequence, &names, 1) != 1 || names.length == 0) return false;
  while (names.length > 0) {
    std::uint32_t tag = 0;
    std::int32_t size = 0;
    Asn1Item view = names;
    if (Asn1ReadTag(&tag, &view, &size) < 0 || (tag & 0xC0) != kAsn1ContextSpecific) return false;
    names.data += size;
    names.length -= size;
  }
  return true;
}

// The subjectAltName value in one Extensions SEQUENCE's content, copied
// into names. 0 (found or not) or -1.
int FindAltName(Asn1Item extensions, std::vector<std::uint8_t>* names) {
  Asn1Item extension{};
  for (int found; (found = Asn1NextTagged(&extensions, &extension, kAsn1Sequence)) != 0;) {
    Asn1Item id{};
    Asn1Item flag{};
    Asn1Item value{};
    if (found < 0 || Asn1NextTagged(&extension, &id, kAsn1ObjectId) != 1) return -1;
    if (extension.length > 0 && extension.data[0] == kAsn1Boolean &&
        Asn1NextTagged(&extension, &flag, kAsn1Boolean) != 1) {
      return -1;
    }
    if (Asn1NextTagged(&extension, &value, kAsn1OctetString) != 1) return -1;
    if (!Asn1ItemEquals(id, oid::bytes::kSubjectAltName, sizeof oid::bytes::kSubjectAltName))
      continue;
    if (!IsGeneralNames(value)) return -1;
    names->assign(value.data, value.data + value.length);
    return 0;
  }
  return 0;
}

}  // namespace

int RequestedSubjectAltName(const CertFields& request, std::vector<std::uint8_t>* names) {
  names->clear();
  // The self-signed certificate of a PEM request: an issuer, and perhaps
  // extensions (the content of its Extensions SEQUENCE).
  if (request.issuer.length > 0) return FindAltName(request.extensions, names);
  Asn1Item info = request.toBeSigned;
  Asn1Item skipped{};
  Asn1Item attributes{};
  if (info.data == nullptr || Asn1PeekTag(kAsn1Sequence, &info, 1) != 1 ||
      Asn1NextTagged(&info, &skipped, kAsn1Integer) != 1 ||
      Asn1NextTagged(&info, &skipped, kAsn1Sequence) != 1 ||
      Asn1NextTagged(&info, &skipped, kAsn1Sequence) != 1) {
    return -1;
  }
  const int present = Asn1NextTagged(&info, &attributes, kAsn1Context0);
  if (present <= 0) return present;
  Asn1Item attribute{};
  for (int found; (found = Asn1NextTagged(&attributes, &attribute, kAsn1Sequence)) != 0;) {
    Asn1Item type{};
    Asn1Item values{};
    Asn1Item extensions{};
    if (found < 0 || Asn1NextTagged(&attribute, &type, kAsn1ObjectId) != 1) return -1;
    if (!Asn1ItemEquals(type, oid::bytes::kExtensionRequest, sizeof oid::bytes::kExtensionRequest))
      continue;
    if (Asn1NextTagged(&attribute, &values, kAsn1Set) != 1 ||
        Asn1NextTagged(&values, &extensions, kAsn1Sequence) != 1) {
      return -1;
    }
    return FindAltName(extensions, names);
  }
  return 0;
}

}  // namespace kcertadm
