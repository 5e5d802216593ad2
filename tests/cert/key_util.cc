#include "key_util.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/cert_signature.h"
#include "cert/dn.h"
#include "crypto/rsa_key_info.h"
#include "crypto/toolkit_scope.h"
#include "host_interface/library_state.h"
#include "peer_util.h"

namespace kcertadm::test {

IntlEncodingScope::IntlEncodingScope(int tag) : saved(IntlStringEncoding()) { SetIntlStringEncoding(tag); }

IntlEncodingScope::~IntlEncodingScope() { SetIntlStringEncoding(saved); }

KeyObject* LoadVectorKey() {
  std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/vector_key.pem");
  std::stringstream pem;
  pem << in.rdbuf();
  Bytes der = PemToDer(pem.str());
  Asn1Item key{der.data(), static_cast<std::int32_t>(der.size())};
  Asn1Item n[9];
  std::vector<Asn1TemplateEntry> entries;
  for (Asn1Item& item : n) entries.push_back({kAsn1Integer, &item});
  if (Asn1PeekTag(kAsn1Sequence, &key, 1) != 1 || Asn1DecodeTemplate(entries.data(), 9, key, 1) != 0) {
    return nullptr;
  }
  auto b = [&](int i) { return ByteItem{n[i].data, static_cast<std::uint32_t>(n[i].length)}; };
  const RsaPrivateKeyRecord record{b(1), b(2), b(3), b(4), b(5), b(6), b(7), b(8)};
  ToolkitScope lock;
  ScopedKey owner;
  if (owner.Create() != 0 || KeySetInfo(owner.get(), KeyInfoRsaPrivate(), &record) != 0) return nullptr;
  return owner.release();
}

VectorSubject::VectorSubject() {
  const char* strings[DN_SLOT_COUNT] = {"DE",   "Bayern", "M\xC3\xBCnchen", "Vector Org",
                                        "Unit", "vector.example.org", "joe@example.org"};
  std::uint32_t error = 0;
  ok = BuildSubjectName(strings, values, 1, &error) == 1;
}

VectorSubject::~VectorSubject() { FreeDnValues(values); }

Record::Record(const Bytes& der) {
  auto* block = static_cast<std::uint8_t*>(std::malloc(der.size() + 1));
  if (!der.empty()) std::memcpy(block, der.data(), der.size());
  cert.der = Asn1Item{block, static_cast<std::int32_t>(der.size())};
}

namespace {

// Builds into `r`; returns the vector key, which the caller owns.
KeyObject* BuildVectorRecord(bool selfSigned, std::time_t when, Record& r) {
  VectorSubject subject;
  SecurityCmdContext context{};
  context.selfSigned = selfSigned ? 1 : 0;
  context.validDays = 365;
  KeyObject* key = LoadVectorKey();
  std::uint32_t error = 0;
  BuildRequestOrCertificateAt(subject.values, &r.cert, key, &context, when, &error);
  return key;
}

}  // namespace

Bytes BuildForVectorKey(bool selfSigned, std::time_t when) {
  Record r;
  KeyObject* key = BuildVectorRecord(selfSigned, when, r);
  DestroyKey(&key);
  return BytesOf(r.cert.der);
}

VectorSigner::VectorSigner(std::time_t when) {
  signer.signerKey = BuildVectorRecord(true, when, self);
  signer.signerCertificate = BytesOf(self.cert.der);
  signer.signerSubject = BytesOf(self.cert.subjectDer);
  signer.issuerCert = ItemOf(signer.signerCertificate);
  signer.issuerName = ItemOf(signer.signerSubject);
}

}  // namespace kcertadm::test
