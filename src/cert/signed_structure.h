// The one decoder of each structure that both the certificate code and the
// key ring read: a signed structure (certificate, request) split into its
// three parts, and the numbers of an RSA SubjectPublicKeyInfo. Results are
// views into the input; each caller names the length rule it reads with.
#pragma once

#include <optional>

#include "asn1/der_reader.h"
#include "crypto/rsa/rsa_public_numbers.h"

namespace kcertadm {

// SEQUENCE { toBeSigned SEQUENCE, signatureAlgorithm SEQUENCE, signature
// BIT STRING } under any constructed outer tag; what follows the three
// parts inside it, and what follows it, is not looked at.
struct SignedParts {
  der::View whole;               // the outer element
  der::View toBeSigned;          // whole element
  der::View signatureAlgorithm;  // whole element
  der::View signature;           // the bits, after the unused-bits octet (which is 0)
};
std::optional<SignedParts> DecodeSigned(der::View in, der::LengthRule rule) noexcept;

// The fields of a certificate's toBeSigned, under any constructed outer tag:
// [0] version (optional; a private-class 0xE0 element counts as one too),
// INTEGER serialNumber, then five SEQUENCEs, and the bytes that follow them
// (unique identifiers, extensions) for the caller to read.
struct TbsParts {
  std::optional<der::Element> version;
  der::Element serialNumber;
  der::Element signature;
  der::Element issuer;
  der::Element validity;
  der::Element subject;
  der::Element subjectPublicKeyInfo;
  der::View rest;
};
std::optional<TbsParts> DecodeTbs(der::View tbs, der::LengthRule rule) noexcept;

// SEQUENCE { algorithm SEQUENCE, BIT STRING { SEQUENCE { INTEGER modulus,
// INTEGER exponent } } }: the numbers as encoded (non-empty INTEGER
// contents). The algorithm is handed out, not checked; what follows each
// part is not looked at.
struct RsaSpkiParts {
  der::View algorithm;  // whole element
  RsaPublicNumbers key;
};
std::optional<RsaSpkiParts> DecodeRsaSpki(der::View spki, der::LengthRule rule) noexcept;

}  // namespace kcertadm
