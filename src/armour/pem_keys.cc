#include "armour/pem_keys.h"

#include <array>
#include <optional>

#include "armour/pem.h"
#include "crypto/toolkit_scope.h"
#include "keyring/certificate_parts.h"
#include "keyring/certificate_verification.h"

namespace kcertadm {
namespace {

// Signature kinds of the key ring's signing and verifying.
constexpr int kKindMd2 = 1;
constexpr int kKindMd5 = 2;
constexpr int kKindSha1 = 3;

// Whole AlgorithmIdentifier elements, each with its NULL parameter.
constexpr std::uint8_t kMd2WithRsa[] = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                        0xF7, 0x0D, 0x01, 0x01, 0x02, 0x05, 0x00};
constexpr std::uint8_t kMd5WithRsa[] = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                        0xF7, 0x0D, 0x01, 0x01, 0x04, 0x05, 0x00};
constexpr std::uint8_t kSha1WithRsa[] = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                         0xF7, 0x0D, 0x01, 0x01, 0x05, 0x05, 0x00};

bool Equals(const Bytes& bytes, const std::uint8_t* expected, std::size_t n) {
  return bytes.size() == n && std::equal(bytes.begin(), bytes.end(), expected);
}

// The signature kind of an AlgorithmIdentifier, or 0 for one not checked.
int SignatureKind(const Bytes& algorithm) {
  if (Equals(algorithm, kMd2WithRsa, sizeof kMd2WithRsa)) return kKindMd2;
  if (Equals(algorithm, kMd5WithRsa, sizeof kMd5WithRsa)) return kKindMd5;
  if (Equals(algorithm, kSha1WithRsa, sizeof kSha1WithRsa)) return kKindSha1;
  return 0;
}

void ReleaseKey(KeyObject*& key) {
  ToolkitScope lock;
  KeyDestroy(&key);
}

}  // namespace

int WritePemRequest(std::FILE* file, const std::uint8_t* certificate, std::int32_t length,
                    std::string_view body, KeyObject* privateKey) {
  if (privateKey == nullptr) return -1;
  const ByteView bodyBytes(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
  std::optional<Bytes> signature = RsaSignData(kKindMd5, privateKey, bodyBytes);
  if (!signature || signature->empty()) return -1;
  return WritePemRequestSigned(file, certificate, length, body, *signature);
}

KeyObject* OriginatorKeyFromDer(const std::vector<std::uint8_t>& certificate,
                                std::vector<std::uint8_t>* subjectName) {
  Bytes tbs;
  Bytes algorithm;
  Bytes signature;
  if (CertificateParts(certificate, &tbs, &algorithm, &signature) != 0) return nullptr;
  Bytes issuer;
  Bytes subject;
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsIssuer] = &issuer;
  fields[kTbsSubject] = &subject;
  if (TbsCertificateFields(tbs, fields) != 0) return nullptr;
  if (issuer != subject) return nullptr;
  // A signature this system cannot check is no proof of the key either.
  const int kind = SignatureKind(algorithm);
  if (kind == 0) return nullptr;
  KeyObject* key = CertificatePublicKey(tbs);
  if (key == nullptr) return nullptr;
  if (RsaVerifyData(kind, tbs, signature, key) != 0) {
    ReleaseKey(key);
    return nullptr;
  }
  if (subjectName != nullptr) *subjectName = std::move(subject);
  return key;
}

bool VerifyPemMic(std::string_view micText, KeyObject* key) {
  PemMic mic;
  if (key == nullptr || !SplitPemMic(micText, mic)) return false;
  return RsaVerifyData(mic.digest, mic.body, mic.signature, key) == 0;
}

int ReadPemCertificate(std::vector<std::uint8_t>& der, std::FILE* file) {
  const int status = ReadPemCertificateText(file, der);
  if (status != 0) return status;
  return VerifyCertificate(der);
}

}  // namespace kcertadm
