// The signer's side of one signing operation.
#pragma once

#include <cstdint>
#include <vector>

#include "crypto/toolkit/toolkit_scope.h"
#include "kcertadm.h"

namespace kcertadm {

// Signature algorithm numbers: 0 rsaEncryption (key identifier only),
// 1 MD2 with RSA, 2 MD5 with RSA, 3 SHA-1 with RSA, 4 to 6 SHA-256, SHA-384
// and SHA-512 with RSA (the toolkit's signature selectors, number for
// number).
inline constexpr std::int32_t kAlgRsaEncryption = 0;
inline constexpr std::int32_t kAlgMd2WithRsa = 1;
inline constexpr std::int32_t kAlgMd5WithRsa = 2;
inline constexpr std::int32_t kAlgSha1WithRsa = 3;
inline constexpr std::int32_t kAlgSha256WithRsa = 4;
inline constexpr std::int32_t kAlgSha384WithRsa = 5;
inline constexpr std::int32_t kAlgSha512WithRsa = 6;

// What is signed with a SHA-2 digest follows the RFC 5280 profile (version
// 3 with extensions); MD5 and SHA-1 keep the plain form without extensions.
inline bool UsesExtensionProfile(std::int32_t algorithm) {
  return algorithm >= kAlgSha256WithRsa && algorithm <= kAlgSha512WithRsa;
}

// Lives for one command. Releasing it frees the validity element, the
// copies taken from the signer's key ring entry and the private key object.
struct SigningKey {
  explicit SigningKey(std::int32_t algorithmNumber = kAlgMd5WithRsa) : algorithm(algorithmNumber) {}
  ~SigningKey();
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;

  Asn1Item issuerCert{};             // the signer's certificate DER; empty when self-signed
  Asn1Item issuerName{};             // the Name placed in the issuer field
  Asn1Item validityDer{};            // owned Validity SEQUENCE
  std::vector<std::uint8_t> serial;  // content octets of a positive INTEGER
  OwnedKey signerKey;                // the private key object
  std::int32_t algorithm;

  // Owned copies of the signer entry's certificate and subject name, which
  // issuerCert and issuerName point into when the key came from a key ring.
  std::vector<std::uint8_t> signerCertificate;
  std::vector<std::uint8_t> signerSubject;
};

}  // namespace kcertadm
