// The write side of X.509: PKCS #10 requests, self-signed certificates,
// certificates issued for requests, and PKCS #7 certificates-only packages.
// Every element is built bottom-up with the DER builder; the signature
// comes from the toolkit.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>

#include "kcertadm.h"

namespace kcertadm {

struct KeyObject;
struct SigningKey;

// SEQUENCE { OBJECT IDENTIFIER, NULL }: 0 rsaEncryption, 2
// md5WithRSAEncryption, any other md2WithRSAEncryption. 0 or -1.
int BuildAlgorithmId(Asn1Item* out, std::int32_t algorithm);

// SubjectPublicKeyInfo of an RSA key object (public, or private from which
// the public form is derived). Takes ToolkitLock. 0 or -1.
int BuildPublicKeyInfo(Asn1Item* out, KeyObject* key);

// cert->tbs = CertificationRequestInfo { 0, subject, key, [0] {} }. 0 or -1.
int BuildRequestInfo(CertData* cert, const Asn1Item& subject, const Asn1Item& publicKeyInfo);

// cert->tbs = TBSCertificate { [0] { 2 }, serial, algorithm, issuerName,
// validity, subject, key }. 0, or -1 (also when the key has no serial).
int BuildTbsCertificate(CertData* cert, const SigningKey& key, const Asn1Item& subject,
                        const Asn1Item& publicKeyInfo);

// cert->der = SEQUENCE { tbs, AlgorithmIdentifier, BIT STRING signature }
// signed with the private key (MD5 for algorithm 2, MD2 otherwise). The
// previous der (or its container) is released. Takes ToolkitLock. 0 or -1.
int SignTbs(CertData* cert, KeyObject* privateKey, std::int32_t algorithm);

// A request (or, with context->selfSigned, a self-signed certificate valid
// for context->validDays, with a new random serial number) for the key pair,
// with the subject built from values. Fills subjectDer, publicKeyInfoDer,
// tbs and der. 0, or -1 with 30075 (validity) or 30015 (any other failure:
// the subject, the key, the serial or the signature could not be put into
// the request or certificate).
int BuildRequestOrCertificate(const DnValue values[DN_SLOT_COUNT], CertData* cert,
                              KeyObject* keyPair, const SecurityCmdContext* context,
                              std::uint32_t* error);
// The certificate's moment and serial number given (content octets of a
// positive INTEGER).
int BuildRequestOrCertificateAt(const DnValue values[DN_SLOT_COUNT], CertData* cert,
                                KeyObject* keyPair, const SecurityCmdContext* context,
                                std::time_t now, std::span<const std::uint8_t> serial,
                                std::uint32_t* error);

// The certificate for a parsed request (its subject Name and
// SubjectPublicKeyInfo kept byte for byte, a new random serial number in
// key->serial), signed with key. Replaces cert->der. 0, or -1 with 30075 or
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
