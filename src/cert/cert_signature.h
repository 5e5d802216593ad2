// Public keys and signatures of certificates and requests.
#pragma once

#include <cstdint>

#include "crypto/rsa/rsa_public_numbers.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "kcertadm.h"

namespace kcertadm {

// The numbers of an RSA SubjectPublicKeyInfo element as the certificate code
// reads them, views into it: indefinite lengths followed to their end, the
// algorithm required to be rsaEncryption (parameters are not examined), the
// modulus without one leading 0x00. 0, or -1 with *key emptied.
int ExtractRsaKey(const Asn1Item& spki, RsaPublicNumbers* key);

// True when a SubjectPublicKeyInfo names an algorithm other than
// rsaEncryption (an elliptic-curve, DSA or Ed25519 key, say); false for an
// RSA key, damaged or not, and for an element that cannot be read.
bool IsForeignKeyType(const Asn1Item& spki);

// A new RSA public key object from a SubjectPublicKeyInfo. 0, or -1 with
// 30076 (a key that is not RSA) or 30056 (an RSA key that cannot be read).
int PublicKeyFromSpki(const Asn1Item& spki, OwnedKey& key, std::uint32_t* error);

// 1 (MD2), 2 (MD5), 3 (SHA-1), 4 (SHA-256), 5 (SHA-384) or 6 (SHA-512) for
// an RSA signature AlgorithmIdentifier with NULL parameters, compared as a
// whole element; -1 otherwise.
int SignatureDigestId(const Asn1Item& algorithmId);

// Verifies signatureValue over the whole toBeSigned element with the key.
// 0, or -1 with 30077 (an algorithm SignatureDigestId does not know) or
// 30055 (the signature is wrong).
int VerifySignature(const CertFields& fields, KeyObject* key, std::uint32_t* error);

// MD5 of the item's bytes into out; returns the digest length (16).
int CertFingerprint(const Asn1Item& item, std::uint8_t out[16]);

}  // namespace kcertadm
