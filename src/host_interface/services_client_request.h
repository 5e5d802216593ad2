// The client enrolment forms: the signed public key and challenge a browser
// sends, and the unsigned request { version, subject, key } built from it.
#pragma once

#include <cstdint>

#include "kcertadm.h"

namespace kcertadm {

// Splits a signed public key and challenge into fields (whole,
// toBeSigned, signatureAlgorithm, signatureValue, subjectPublicKeyInfo and
// challenge, views into der) and verifies its signature with the key it
// carries. 0; -1 with 30056 (the key is not a usable RSA key), 30055 (the
// signature does not verify) or 30041 (any other shape).
int ParseSignedKeyAndChallenge(const Asn1Item& der, CertFields* fields, std::uint32_t* error);

// out = SEQUENCE { INTEGER 0, subject, publicKeyInfo }, a new block. 0 or -1.
int BuildClientRequest(const Asn1Item& subject, const Asn1Item& publicKeyInfo, Asn1Item* out);

// Reads an unsigned client request: fields (zero-filled first) receive
// whole, version, subject and subjectPublicKeyInfo as views into der. The
// element must fill der exactly and hold nothing else. 0, or -1 with 30041.
int ParseClientRequest(const Asn1Item& der, CertFields* fields, std::uint32_t* error);

}  // namespace kcertadm
