// The signer's side of one signing operation.
#pragma once

#include <cstdint>
#include <vector>

#include "kcertadm.h"

namespace kcertadm {

struct KeyObject;

// Signature algorithm numbers: 0 rsaEncryption (key identifier only),
// 1 MD2 with RSA, 2 MD5 with RSA, 3 SHA-1 with RSA.
inline constexpr std::int32_t kAlgRsaEncryption = 0;
inline constexpr std::int32_t kAlgMd2WithRsa = 1;
inline constexpr std::int32_t kAlgMd5WithRsa = 2;
inline constexpr std::int32_t kAlgSha1WithRsa = 3;

// Lives for one command. Releasing it frees the validity element, the
// copies taken from the signer's key ring entry and the private key object.
struct SigningKey {
  explicit SigningKey(std::int32_t algorithmNumber = kAlgMd5WithRsa)
      : algorithm(algorithmNumber) {}
  ~SigningKey();
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;

  Asn1Item issuerCert{};   // the signer's certificate DER; empty when self-signed
  Asn1Item issuerName{};   // the Name placed in the issuer field
  Asn1Item validityDer{};  // owned Validity SEQUENCE
  std::vector<std::uint8_t> serial;  // content octets of a positive INTEGER
  KeyObject* signerKey = nullptr;  // owned private key object
  std::int32_t algorithm;

  // Owned copies of the signer entry's certificate and subject name, which
  // issuerCert and issuerName point into when the key came from a key ring.
  std::vector<std::uint8_t> signerCertificate;
  std::vector<std::uint8_t> signerSubject;
};

}  // namespace kcertadm
