// The write side of certificate extensions and of the extension request
// of a PKCS #10 request: the RFC 5280 profile of what is signed with a
// SHA-2 digest.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "kcertadm.h"

namespace kcertadm {

// A key identifier: the SHA-1 of the subjectPublicKey BIT STRING's octets
// (method 1 of RFC 5280 section 4.2.1.2).
inline constexpr std::size_t kKeyIdentifierSize = 20;

// 0 with the key identifier of a SubjectPublicKeyInfo element, or -1 when
// the element cannot be read.
int KeyIdentifierOf(const Asn1Item& spki, std::uint8_t out[kKeyIdentifierSize]);

// What a certificate is for: the extensions it carries.
enum class CertRole {
  // basicConstraints CA:TRUE and keyUsage keyCertSign, cRLSign (both
  // critical).
  kAuthority,
  // basicConstraints CA:FALSE and keyUsage digitalSignature,
  // keyEncipherment (both critical), extendedKeyUsage serverAuth,
  // clientAuth.
  kEndEntity,
};

// out = [3] { Extensions } for the role, with subject and authority key
// identifiers from the two SubjectPublicKeyInfo elements (the same one for
// a self-signed certificate) and, unless subjectAltName (a GeneralNames
// element) is empty, the subjectAltName extension, critical when the
// subject Name is empty. 0 or -1.
int BuildCertExtensions(Asn1Item* out, CertRole role, const Asn1Item& subject, const Asn1Item& spki,
                        const Asn1Item& issuerSpki, std::span<const std::uint8_t> subjectAltName);

// out = the [0] attributes of a CertificationRequestInfo: empty (A0 00)
// without a subjectAltName, else one PKCS #9 extensionRequest holding it.
// 0 or -1.
int BuildRequestAttributes(Asn1Item* out, std::span<const std::uint8_t> subjectAltName);

// The GeneralNames of the subjectAltName a request asks for, copied byte
// for byte into names (left empty when it asks for none): from the
// extensionRequest of a PKCS #10 request, or from the extensions of the
// self-signed certificate a PEM request carries (fields with an issuer).
// Every other attribute and extension is passed over. 0, or -1 when the
// attributes or the subjectAltName cannot be read.
int RequestedSubjectAltName(const CertFields& request, std::vector<std::uint8_t>* names);

}  // namespace kcertadm
