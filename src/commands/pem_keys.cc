#include "commands/pem_keys.h"

#include <array>
#include <optional>

#include "armour/pem.h"
#include "crypto/rsa/signature.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/certificate_parts.h"
#include "keyring/certificate_verification.h"

namespace kcertadm {
int WritePemRequest(std::FILE* file, const std::uint8_t* certificate, std::int32_t length,
                    std::string_view body, KeyObject* privateKey) {
  if (privateKey == nullptr) return -1;
  const ByteView bodyBytes(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
  std::optional<Bytes> signature = RsaSignData(kSignatureMd5, privateKey, bodyBytes);
  if (!signature || signature->empty()) return -1;
  return WritePemRequestSigned(file, certificate, length, body, *signature);
}

OwnedKey OriginatorKeyFromDer(const std::vector<std::uint8_t>& certificate,
                              std::vector<std::uint8_t>* subjectName) {
  Bytes tbs;
  Bytes algorithm;
  Bytes signature;
  if (CertificateParts(certificate, &tbs, &algorithm, &signature) != 0) return OwnedKey();
  Bytes issuer;
  Bytes subject;
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsIssuer] = &issuer;
  fields[kTbsSubject] = &subject;
  if (TbsCertificateFields(tbs, fields) != 0) return OwnedKey();
  if (issuer != subject) return OwnedKey();
  // A signature this system cannot check is no proof of the key either.
  const int kind = SignatureSelectorOf(algorithm.data(), algorithm.size());
  if (kind == 0) return OwnedKey();
  OwnedKey key = CertificatePublicKey(tbs);
  if (!key || RsaVerifyData(kind, tbs, signature, key.get()) != 0) return OwnedKey();
  if (subjectName != nullptr) *subjectName = std::move(subject);
  return key;
}

bool VerifyPemMic(std::string_view micText, KeyObject* key) {
  PemMic mic;
  if (key == nullptr || !SplitPemMic(micText, mic)) return false;
  return RsaVerifyData(mic.digest, mic.body, mic.signature, key) == 0;
}

VerifyStatus ReadPemCertificate(std::vector<std::uint8_t>& der, std::FILE* file) {
  if (ReadPemCertificateText(file, der) != PemCertificateStatus::kOk) {
    return VerifyStatus::kBadEncoding;
  }
  return VerifyCertificate(der);
}

}  // namespace kcertadm
