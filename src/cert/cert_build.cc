#include "cert/cert_build.h"

#include <cstdlib>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/der_append.h"
#include "asn1/oids.h"
#include "cert/cert_extension_build.h"
#include "cert/certificate.h"
#include "cert/der_temporaries.h"
#include "cert/dn.h"
#include "cert/serial_number.h"
#include "cert/signing_key.h"
#include "cert/validity.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/signature.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

// The OID of an algorithm number: rsaEncryption, the RSA signatures with MD5,
// SHA-1 and SHA-256 to SHA-512, and MD2 with RSA for any other number.
der::View AlgorithmOid(std::int32_t algorithm) {
  switch (algorithm) {
    case kAlgRsaEncryption:
      return oid::bytes::kRsaEncryption;
    case kAlgMd5WithRsa:
      return oid::bytes::kMd5WithRsa;
    case kAlgSha1WithRsa:
      return oid::bytes::kSha1WithRsa;
    case kAlgSha256WithRsa:
      return oid::bytes::kSha256WithRsa;
    case kAlgSha384WithRsa:
      return oid::bytes::kSha384WithRsa;
    case kAlgSha512WithRsa:
      return oid::bytes::kSha512WithRsa;
    default:
      return oid::bytes::kMd2WithRsa;
  }
}

// The toolkit's signature selector of an algorithm number: the same number
// for MD5 to SHA-512, MD2 for any other.
int SignatureSelector(std::int32_t algorithm) {
  return algorithm >= kAlgMd5WithRsa && algorithm <= kAlgSha512WithRsa ? algorithm : kSignatureMd2;
}

// INTEGER of a non-negative big-endian number.
int DerUnsigned(Asn1Item* out, const ByteItem& number) {
  std::vector<std::uint8_t> encoded;
  der::AppendUnsignedInteger(encoded,
                             der::View(number.data, number.data == nullptr ? 0 : number.length));
  return DerCopy(out, encoded);
}

// A copy of one element that the builder may free like its own.
int CopyElement(Asn1Item* out, const Asn1Item& element) { return DerCopy(out, Asn1Bytes(element)); }

}  // namespace

int BuildAlgorithmId(Asn1Item* out, std::int32_t algorithm) {
  return DerCopy(out, der::AlgorithmIdentifier(AlgorithmOid(algorithm)));
}

int BuildPublicKeyInfo(Asn1Item* out, KeyObject* key) {
  *out = Asn1Item{};
  DerTemporaries t;
  Asn1Item* modulus = t.New();
  Asn1Item* exponent = t.New();
  {
    ToolkitLockHeld lock;
    const void* record = nullptr;
    if (key == nullptr || KeyGetInfo(lock, &record, key, KeyInfoRsaPublic()) != 0 ||
        record == nullptr) {
      return -1;
    }
    const auto* numbers = static_cast<const RsaPublicKeyRecord*>(record);
    if (DerUnsigned(modulus, numbers->modulus) != 0 ||
        DerUnsigned(exponent, numbers->publicExponent) != 0) {
      return -1;
    }
  }
  Asn1Item* rsaPublicKey = t.New();
  Asn1Item* bits = t.New();
  Asn1Item* algorithm = t.New();
  if (DerConstructed(rsaPublicKey, kDerSequenceNumber, modulus, exponent) != 0 ||
      DerBitString(bits, rsaPublicKey->data, rsaPublicKey->length) != 0 ||
      BuildAlgorithmId(algorithm, kAlgRsaEncryption) != 0) {
    return -1;
  }
  return DerConstructed(out, kDerSequenceNumber, algorithm, bits);
}

int BuildRequestInfo(CertData* cert, const Asn1Item& subject, const Asn1Item& publicKeyInfo,
                     std::span<const std::uint8_t> subjectAltName) {
  DerTemporaries t;
  Asn1Item* version = t.New();
  Asn1Item* attributes = t.New();
  Asn1Item tbs{};
  if (DerInteger(version, 0) != 0 || BuildRequestAttributes(attributes, subjectAltName) != 0 ||
      DerConstructed(&tbs, kDerSequenceNumber, version, &subject, &publicKeyInfo, attributes) !=
          0) {
    return -1;
  }
  DerFree(&cert->tbs);
  cert->tbs = tbs;
  return 0;
}

int BuildTbsCertificate(CertData* cert, const SigningKey& key, const Asn1Item& subject,
                        const Asn1Item& publicKeyInfo, const Asn1Item* extensions) {
  const Asn1Item none{};
  if (key.issuerName.length <= 0 || key.validityDer.length <= 0 || key.serial.empty()) return -1;
  DerTemporaries t;
  Asn1Item* two = t.New();
  Asn1Item* version = t.New();
  Asn1Item* serial = t.New();
  Asn1Item* algorithm = t.New();
  Asn1Item tbs{};
  const auto serialLength = static_cast<std::int32_t>(key.serial.size());
  if (DerInteger(two, 2) != 0 || DerWrap(version, kAsn1Context0, *two) != 0 ||
      DerPrimitive(serial, kAsn1Integer, key.serial.data(), serialLength) != 0 ||
      BuildAlgorithmId(algorithm, key.algorithm) != 0 ||
      DerConstructed(&tbs, kDerSequenceNumber, version, serial, algorithm, &key.issuerName,
                     &key.validityDer, &subject, &publicKeyInfo,
                     extensions != nullptr ? extensions : &none) != 0) {
    return -1;
  }
  DerFree(&cert->tbs);
  cert->tbs = tbs;
  return 0;
}

int SignTbs(CertData* cert, KeyObject* privateKey, std::int32_t algorithm) {
  if (cert->tbs.length <= 0 || privateKey == nullptr) return -1;
  std::vector<std::uint8_t> signature(512);  // room for the largest modulus
  std::uint32_t signatureLength = 0;
  {
    ToolkitLockHeld lock;
    if (SignData(lock, SignatureSelector(algorithm), privateKey, cert->tbs.data,
                 static_cast<std::uint32_t>(cert->tbs.length), signature.data(), &signatureLength,
                 static_cast<std::uint32_t>(signature.size())) != 0) {
      return -1;
    }
  }
  DerTemporaries t;
  Asn1Item* algorithmId = t.New();
  Asn1Item* bits = t.New();
  Asn1Item der{};
  if (BuildAlgorithmId(algorithmId, algorithm) != 0 ||
      DerBitString(bits, signature.data(), static_cast<std::int32_t>(signatureLength)) != 0 ||
      DerConstructed(&der, kDerSequenceNumber, &cert->tbs, algorithmId, bits) != 0) {
    return -1;
  }
  ReplaceDer(cert, der);
  return 0;
}

int BuildSelfSignedTbs(CertData* cert, const Asn1Item& subject, const Asn1Item& publicKeyInfo,
                       std::int32_t validDays, std::time_t now,
                       std::span<const std::uint8_t> serial, CertRole role,
                       const BuildProfile& profile, std::uint32_t* error) {
  SigningKey selfSigner(profile.algorithm);
  if (BuildValidityAt(&selfSigner, validDays, now, error) != 0) return -1;
  selfSigner.issuerName = subject;
  selfSigner.serial.assign(serial.begin(), serial.end());
  DerTemporaries t;
  Asn1Item* extensions = t.New();
  if ((UsesExtensionProfile(profile.algorithm) &&
       BuildCertExtensions(extensions, role, subject, publicKeyInfo, publicKeyInfo,
                           profile.subjectAltName) != 0) ||
      BuildTbsCertificate(cert, selfSigner, subject, publicKeyInfo, extensions) != 0) {
    return FailWith(error, kMsgSubjectNameFailed);
  }
  return 0;
}

namespace {

// The request's or self-signed certificate's to-be-signed part, in
// cert->tbs, of the subject and key already in cert. 0, or -1 with 30075
// or 30015.
int BuildOwnTbs(CertData* cert, const SecurityCmdContext* context, std::time_t now,
                std::span<const std::uint8_t> serial, const BuildProfile& profile,
                std::uint32_t* error) {
  if (context == nullptr || context->selfSigned == 0) {
    if (BuildRequestInfo(cert, cert->subjectDer, cert->publicKeyInfoDer, profile.subjectAltName) !=
        0) {
      return FailWith(error, kMsgSubjectNameFailed);
    }
    return 0;
  }
  const CertRole role = context->designateRoot ? CertRole::kAuthority : CertRole::kEndEntity;
  return BuildSelfSignedTbs(cert, cert->subjectDer, cert->publicKeyInfoDer, context->validDays, now,
                            serial, role, profile, error);
}

// The extensions of a certificate issued for a request: the end-entity
// role, the issuer's key identifier from its certificate and the
// subjectAltName the request asks for. 0 or -1.
int BuildIssuedExtensions(Asn1Item* out, const SigningKey& key, const Asn1Item& subject,
                          const Asn1Item& publicKeyInfo, const CertFields& request) {
  CertFields issuer{};
  std::uint32_t ignored = kMsgNone;
  std::vector<std::uint8_t> altName;
  if (SplitSigned(key.issuerCert, &issuer) != 0 || ParseTbs(&issuer, &ignored) != 0 ||
      RequestedSubjectAltName(request, &altName) != 0) {
    return -1;
  }
  return BuildCertExtensions(out, CertRole::kEndEntity, subject, publicKeyInfo,
                             issuer.subjectPublicKeyInfo, altName);
}

}  // namespace

int BuildRequestOrCertificateAt(const DnValue values[DN_SLOT_COUNT], CertData* cert,
                                KeyObject* keyPair, const SecurityCmdContext* context,
                                std::time_t now, std::span<const std::uint8_t> serial,
                                std::uint32_t* error, const BuildProfile& profile) {
  DerFree(&cert->subjectDer);
  DerFree(&cert->publicKeyInfoDer);
  if (EncodeName(&cert->subjectDer, values) != 0 ||
      BuildPublicKeyInfo(&cert->publicKeyInfoDer, keyPair) != 0) {
    return FailWith(error, kMsgSubjectNameFailed);
  }
  if (BuildOwnTbs(cert, context, now, serial, profile, error) != 0) return -1;
  if (SignTbs(cert, keyPair, profile.algorithm) != 0) return FailWith(error, kMsgSubjectNameFailed);
  return 0;
}

int BuildRequestOrCertificate(const DnValue values[DN_SLOT_COUNT], CertData* cert,
                              KeyObject* keyPair, const SecurityCmdContext* context,
                              std::uint32_t* error, const BuildProfile& profile) {
  return BuildRequestOrCertificateAt(values, cert, keyPair, context, std::time(nullptr),
                                     NewSerialNumber(), error, profile);
}

int IssueCertificateAt(SigningKey* key, const CertFields& request, CertData* cert,
                       std::int32_t validDays, std::time_t now, std::uint32_t* error) {
  if (BuildValidityAt(key, validDays, now, error) != 0) return -1;
  // The request's elements are copied first: signing replaces the DER they
  // point into.
  DerTemporaries t;
  Asn1Item* subject = t.New();
  Asn1Item* publicKeyInfo = t.New();
  Asn1Item* extensions = t.New();
  if (CopyElement(subject, request.subject) != 0 ||
      CopyElement(publicKeyInfo, request.subjectPublicKeyInfo) != 0 ||
      (UsesExtensionProfile(key->algorithm) &&
       BuildIssuedExtensions(extensions, *key, *subject, *publicKeyInfo, request) != 0) ||
      BuildTbsCertificate(cert, *key, *subject, *publicKeyInfo, extensions) != 0 ||
      SignTbs(cert, key->signerKey.get(), key->algorithm) != 0) {
    FailWith(error, kMsgPrepareFailed);
    return -1;
  }
  return 0;
}

int IssueCertificate(SigningKey* key, const CertFields& request, CertData* cert,
                     std::int32_t validDays, std::uint32_t* error) {
  key->serial = NewSerialNumber();
  return IssueCertificateAt(key, request, cert, validDays, std::time(nullptr), error);
}

int PackagePkcs7(CertData* cert) {
  if (cert->der.length <= 0) return -1;
  DerTemporaries t;
  Asn1Item* version = t.New();
  Asn1Item* digestAlgorithms = t.New();
  Asn1Item* dataOid = t.New();
  Asn1Item* contentInfo = t.New();
  Asn1Item* certificates = t.New();
  Asn1Item* signerInfos = t.New();
  Asn1Item* signedData = t.New();
  Asn1Item* explicitContent = t.New();
  Asn1Item* signedDataOid = t.New();
  Asn1Item package{};
  if (DerInteger(version, 1) != 0 || DerEmpty(digestAlgorithms, kAsn1Set) != 0 ||
      DerPrimitive(dataOid, kAsn1ObjectId, oid::bytes::kPkcs7Data, sizeof oid::bytes::kPkcs7Data) !=
          0 ||
      DerConstructed(contentInfo, kDerSequenceNumber, dataOid) != 0 ||
      DerWrap(certificates, kAsn1Context0, cert->der) != 0 ||
      DerEmpty(signerInfos, kAsn1Set) != 0 ||
      DerConstructed(signedData, kDerSequenceNumber, version, digestAlgorithms, contentInfo,
                     certificates, signerInfos) != 0 ||
      DerConstructed(explicitContent, kDerContext0Number, signedData) != 0 ||
      DerPrimitive(signedDataOid, kAsn1ObjectId, oid::bytes::kPkcs7SignedData,
                   sizeof oid::bytes::kPkcs7SignedData) != 0 ||
      DerConstructed(&package, kDerSequenceNumber, signedDataOid, explicitContent) != 0) {
    return -1;
  }
  DerFree(&cert->pkcs7);
  cert->pkcs7 = package;
  return 0;
}

}  // namespace kcertadm
