// The write side of X.509: PKCS #10 requests, self-signed certificates,
// certificates issued for requests, and PKCS #7 certificates-only packages.
// Every element is built bottom-up with the DER builder; the signature
// comes from the toolkit.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <vector>

#include "cert/cert_extension_build.h"
#include "cert/signing_key.h"
#include "kcertadm.h"

namespace kcertadm {

struct KeyObject;

// What the keywords beyond the context record choose for a request or a
// self-signed certificate. The default is the plain MD5 form.
struct BuildProfile {
  std::int32_t algorithm = kAlgMd5WithRsa;
  // A GeneralNames element, or empty. A request carries it in an
  // extensionRequest attribute; a certificate in its subjectAltName
  // extension, when the algorithm is one of the extension profile.
  std::vector<std::uint8_t> subjectAltName;
};

// SEQUENCE { OBJECT IDENTIFIER, NULL }: 0 rsaEncryption, 2
// md5WithRSAEncryption, 3 sha1WithRSAEncryption, 4 to 6
// sha256/384/512WithRSAEncryption, any other md2WithRSAEncryption. 0 or -1.
int BuildAlgorithmId(Asn1Item* out, std::int32_t algorithm);

// SubjectPublicKeyInfo of an RSA key object (public, or private from which
// the public form is derived). Takes ToolkitLock. 0 or -1.
int BuildPublicKeyInfo(Asn1Item* out, KeyObject* key);

// cert->tbs = CertificationRequestInfo { 0, subject, key, [0] {} }, the
// attributes holding an extensionRequest for a subjectAltName when one is
// given. 0 or -1.
int BuildRequestInfo(CertData* cert, const Asn1Item& subject, const Asn1Item& publicKeyInfo,
                     std::span<const std::uint8_t> subjectAltName = {});

// cert->tbs = TBSCertificate { [0] { 2 }, serial, algorithm, issuerName,
// validity, subject, key }, followed by extensions (an [3] element) when
// given and not empty. 0, or -1 (also when the key has no serial).
int BuildTbsCertificate(CertData* cert, const SigningKey& key, const Asn1Item& subject,
                        const Asn1Item& publicKeyInfo, const Asn1Item* extensions = nullptr);

// cert->tbs = the TBSCertificate of a self-signed certificate of subject
// and key, valid for validDays from now, with the serial number given, to
// be signed with the profile's algorithm; with a SHA-2 algorithm it carries
// the extensions of the role and the profile's subjectAltName. 0, or -1
// with 30075 (validity) or 30015.
int BuildSelfSignedTbs(CertData* cert, const Asn1Item& subject, const Asn1Item& publicKeyInfo,
                       std::int32_t validDays, std::time_t now,
                       std::span<const std::uint8_t> serial, CertRole role,
                       const BuildProfile& profile, std::uint32_t* error);

// cert->der = SEQUENCE { tbs, AlgorithmIdentifier, BIT STRING signature }
// signed with the private key (the digest of the algorithm number, MD2 for
// numbers without one). The previous der (or its container) is released.
// Takes ToolkitLock. 0 or -1.
int SignTbs(CertData* cert, KeyObject* privateKey, std::int32_t algorithm);

// A request (or, with context->selfSigned, a self-signed certificate valid
// for context->validDays, with a new random serial number) for the key pair,
// with the subject built from values, signed with the profile's algorithm.
// A certificate signed with a SHA-2 digest carries the extensions of an
// authority (context->designateRoot) or of an end entity (cert/
// cert_extension_build.h). Fills subjectDer, publicKeyInfoDer, tbs and der.
// 0, or -1 with 30075 (validity) or 30015 (any other failure: the subject,
// the key, the serial or the signature could not be put into the request or
// certificate).
int BuildRequestOrCertificate(const DnValue values[DN_SLOT_COUNT], CertData* cert,
                              KeyObject* keyPair, const SecurityCmdContext* context,
                              std::uint32_t* error, const BuildProfile& profile = {});
// The certificate's moment and serial number given (content octets of a
// positive INTEGER).
int BuildRequestOrCertificateAt(const DnValue values[DN_SLOT_COUNT], CertData* cert,
                                KeyObject* keyPair, const SecurityCmdContext* context,
                                std::time_t now, std::span<const std::uint8_t> serial,
                                std::uint32_t* error, const BuildProfile& profile = {});

// The certificate for a parsed request (its subject Name and
// SubjectPublicKeyInfo kept byte for byte, a new random serial number in
// key->serial), signed with key. Signed with a SHA-2 digest it carries the
// end-entity extensions, its authority key identifier taken from the key of
// key->issuerCert, and the subjectAltName of the request's extensionRequest
// (nothing else the request asks for). Replaces cert->der. 0, or -1 with 30075 or
// 30046 (validity against the signer's certificate) or 30041 (the
// certificate could not be built or signed).
int IssueCertificate(SigningKey* key, const CertFields& request, CertData* cert,
                     std::int32_t validDays, std::uint32_t* error);
// At a given moment, with the serial number already in key->serial.
int IssueCertificateAt(SigningKey* key, const CertFields& request, CertData* cert,
                       std::int32_t validDays, std::time_t now, std::uint32_t* error);

// cert->pkcs7 = ContentInfo { signedData, SignedData { 1, {}, { data },
// [0] { der }, {} } }. 0 or -1.
int PackagePkcs7(CertData* cert);

}  // namespace kcertadm
