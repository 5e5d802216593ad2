// RSA signatures (PKCS #1 v1.5 over a DER DigestInfo) through the toolkit:
// the info types AlgInfoMd2WithRsa, AlgInfoMd5WithRsa, AlgInfoSha1WithRsa
// and the SHA-2 ones (declared in crypto/toolkit.h), and the wrappers the certificate and key
// ring code use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "asn1/der_reader.h"
#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {

// Signature algorithm selectors shared with the certificate and key ring
// code: 1 = MD2, 2 = MD5, 3 = SHA-1, 4 = SHA-256, 5 = SHA-384, 6 = SHA-512.
inline constexpr int kSignatureMd2 = 1;
inline constexpr int kSignatureMd5 = 2;
inline constexpr int kSignatureSha1 = 3;
inline constexpr int kSignatureSha256 = 4;
inline constexpr int kSignatureSha384 = 5;
inline constexpr int kSignatureSha512 = 6;

// The OID of an AlgorithmIdentifier that is exactly SEQUENCE { OID, NULL }
// in DER, or an empty view.
der::View RsaSignatureOid(der::View algorithm);

// The selector of a whole RSA signature AlgorithmIdentifier among the
// above (the OIW form of SHA-1 is the certificate code's), or 0.
int SignatureSelectorOf(const std::uint8_t* algorithm, std::size_t size);

// Signing: MD5 for 2, SHA-1 for 3 (only when asked for by name), SHA-2 for
// 4 to 6, MD2 for any other selector.
const AlgorithmInfoType* SigningAlgorithm(int selector);
// Verifying: MD2 for 1, SHA-1 for 3, SHA-2 for 4 to 6, MD5 for any other
// selector.
const AlgorithmInfoType* VerifyingAlgorithm(int selector);

// Signs data with a private key object (KeyInfoRsaPrivate); the signature
// is exactly the modulus length, which must fit in bufferSize.
ToolkitStatus SignData(const ToolkitLockHeld& lock, int selector, KeyObject* privateKey,
                       const std::uint8_t* data, std::uint32_t size, std::uint8_t* signature,
                       std::uint32_t* signatureLength, std::uint32_t bufferSize);
// 0 when the signature over data is good under the key (public or private
// key object); else the toolkit status (524, 525, 537, 540, ...).
ToolkitStatus VerifyData(const ToolkitLockHeld& lock, int selector, KeyObject* key,
                         const std::uint8_t* data, std::uint32_t size,
                         const std::uint8_t* signature, std::uint32_t signatureLength);

}  // namespace kcertadm
