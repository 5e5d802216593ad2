#include "key_util.h"

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/cert_signature.h"
#include "cert/dn.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm::test {

Record::Record(const Bytes& der) {
  auto* block = static_cast<std::uint8_t*>(std::malloc(der.size() + 1));
  if (!der.empty()) std::memcpy(block, der.data(), der.size());
  cert.der = Asn1Item{block, static_cast<std::int32_t>(der.size())};
}

namespace {

// The PKCS #1 RSAPrivateKey of the PEM file, as a key object.
OwnedKey LoadVectorKey() {
  const std::string pem =
      test_support::ReadFileText(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/vector_key.pem");
  const std::size_t body = pem.find('\n') + 1;
  const std::string base64 = pem.substr(body, pem.find("-----END") - body);
  Asn1Item der{};
  const std::int32_t length =
      Base64Decode(base64.data(), static_cast<std::int32_t>(base64.size()), &der);
  Asn1Item n[9]{};
  std::vector<Asn1TemplateEntry> entries;
  for (Asn1Item& item : n) entries.push_back({kAsn1Integer, &item});
  Asn1Item key{der.data, length};
  const bool read = length > 0 && Asn1PeekTag(kAsn1Sequence, &key, 1) == 1 &&
                    Asn1DecodeTemplate(entries.data(), 9, key, 1) == 0;
  auto b = [&](int i) { return ByteItem{n[i].data, static_cast<std::uint32_t>(n[i].length)}; };
  const RsaPrivateKeyRecord record{b(1), b(2), b(3), b(4), b(5), b(6), b(7), b(8)};
  ToolkitLockHeld lock;
  OwnedKey owner;
  const bool made = read && owner.Create(lock) == 0 &&
                    KeySetInfo(lock, owner.get(), KeyInfoRsaPrivate(), &record) == 0;
  std::free(der.data);
  return made ? std::move(owner) : OwnedKey();
}

// Builds into `r`; returns the vector key.
OwnedKey BuildVectorRecord(bool selfSigned, std::time_t when, Record& r) {
  IntlEncodingScope utf8(0x0C);
  const char* strings[DN_SLOT_COUNT] = {"DE",
                                        "Bayern",
                                        "M\xC3\xBCnchen",
                                        "Vector Org",
                                        "Unit",
                                        "vector.example.org",
                                        "joe@example.org"};
  DnValue subject[DN_SLOT_COUNT];
  std::uint32_t error = 0;
  EXPECT_EQ(BuildSubjectName(strings, subject, 1, &error), 1);
  SecurityCmdContext context{};
  context.selfSigned = selfSigned ? 1 : 0;
  context.validDays = 365;
  OwnedKey key = LoadVectorKey();
  EXPECT_EQ(BuildRequestOrCertificateAt(subject, &r.cert, key.get(), &context, when, kVectorSerial,
                                        &error),
            0)
      << error;
  FreeDnValues(subject);
  return key;
}

}  // namespace

Bytes BuildForVectorKey(bool selfSigned, std::time_t when) {
  Record r;
  BuildVectorRecord(selfSigned, when, r);
  return BytesOf(r.cert.der);
}

VectorSigner::VectorSigner(std::time_t when) {
  signer.signerKey = BuildVectorRecord(true, when, self);
  signer.signerCertificate = BytesOf(self.cert.der);
  signer.signerSubject = BytesOf(self.cert.subjectDer);
  signer.issuerCert = ItemOf(signer.signerCertificate);
  signer.issuerName = ItemOf(signer.signerSubject);
  signer.serial = kVectorSerial;
}

}  // namespace kcertadm::test
