// The key ring's view of the parts of an X.509 certificate and of an RSA
// SubjectPublicKeyInfo, used by the entry operations and by certificate
// verification: copies of what the shared decoders find, read with an
// indefinite length taken as an empty content.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/rsa/rsa_public_numbers.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

inline constexpr int kCertPartMissing = -1;  // an asked-for part is absent
inline constexpr int kCertPartBadEncoding = -15;
inline constexpr int kCertPartNoMemory = -20;

// The three elements of the Certificate SEQUENCE. Null outputs are not asked
// for. tbsCertificate and signatureAlgorithm are whole elements; signature is
// the BIT STRING contents without the unused-bits byte.
int CertificateParts(ByteView certificate, Bytes* tbsCertificate, Bytes* signatureAlgorithm,
                     Bytes* signature);

// Fields of the tbsCertificate, in order.
enum TbsField : int {
  kTbsVersion = 0,   // INTEGER contents inside the optional [0]
  kTbsSerialNumber,  // INTEGER contents
  kTbsSignature,     // whole elements from here on
  kTbsIssuer,
  kTbsValidity,
  kTbsSubject,
  kTbsSubjectPublicKeyInfo,
  kTbsTrailing1,  // up to three optional trailing elements
  kTbsTrailing2,
  kTbsTrailing3,
  kTbsFieldCount
};

// Fills each asked-for (non-null) field with a copy. 0, or -15, -1, -20.
int TbsCertificateFields(ByteView tbsCertificate, const std::array<Bytes*, kTbsFieldCount>& out);

// Modulus and public exponent of an RSA SubjectPublicKeyInfo as the key ring
// reads them, views into spki: INTEGER contents as encoded, an indefinite
// length read as an empty content, the algorithm not checked. 0 or -15.
int SpkiModulusExponent(ByteView spki, RsaPublicNumbers& key);

// The canonical public key: SEQUENCE { SEQUENCE { rsaEncryption, NULL },
// BIT STRING { SEQUENCE { INTEGER modulus, INTEGER exponent } } } with each
// INTEGER minimal (leading zero bytes dropped, one added before a high bit).
Bytes CanonicalPublicKey(const RsaPublicNumbers& key);
// The canonical form of any SubjectPublicKeyInfo of RSA shape, or none.
std::optional<Bytes> CanonicalPublicKeyFromSpki(ByteView spki);

}  // namespace kcertadm
