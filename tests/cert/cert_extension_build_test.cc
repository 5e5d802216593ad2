// The extension request a request carries, as SignCert reads it, and the extensions built beside
// it.
#include "cert/cert_extension_build.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "asn1/asn1.h"
#include "der_util.h"

namespace kcertadm {
namespace {

using namespace test;

const Bytes kAltNameOid = Hex("55 1D 11");
const Bytes kExtensionRequestOid = Hex("2A 86 48 86 F7 0D 01 09 0E");
const Bytes kNames = Tlv(0x30, Cat({Tlv(0x82, Text("a.example")), Tlv(0x87, Hex("C0 00 02 01"))}));

Bytes Extension(const Bytes& oid, const Bytes& value, bool critical = false) {
  return Tlv(0x30, Cat({Tlv(0x06, oid), critical ? Hex("01 01 FF") : Bytes{}, Tlv(0x04, value)}));
}
Bytes ExtensionRequest(const Bytes& extensions) {
  return Tlv(0x30, Cat({Tlv(0x06, kExtensionRequestOid), Tlv(0x31, Tlv(0x30, extensions))}));
}
// toBeSigned of a request with the attributes (whole [0] element, or nothing).
Bytes RequestInfo(const Bytes& attributes) {
  return Tlv(0x30, Cat({Hex("02 01 00"), CnName("x"), Hex("30 03 02 01 00"), attributes}));
}

TEST(RequestedSubjectAltName, TakesOnlyTheAltNameAndRefusesWhatCannotBeRead) {
  const Bytes challenge = Tlv(
      0x30, Cat({Tlv(0x06, Hex("2A 86 48 86 F7 0D 01 09 07")), Tlv(0x31, Tlv(0x13, Text("pw")))}));
  const Bytes caTrue = Extension(Hex("55 1D 13"), Hex("30 03 01 01 FF"), true);
  const struct {
    const char* why;
    Bytes attributes;
    int status;
    Bytes names;
  } kTests[] = {
      {"no attributes at all", {}, 0, {}},
      {"the empty attribute set requests are made with", Hex("A0 00"), 0, {}},
      {"other attributes and extensions are passed over",
       Tlv(0xA0,
           Cat({challenge, ExtensionRequest(Cat({caTrue, Extension(kAltNameOid, kNames, true)}))})),
       0, kNames},
      {"an extension request without an alternative name",
       Tlv(0xA0, ExtensionRequest(caTrue)),
       0,
       {}},
      {"a value that is no GeneralNames",
       Tlv(0xA0, ExtensionRequest(Extension(kAltNameOid, Hex("02 01 05")))),
       -1,
       {}},
      {"an empty GeneralNames names nobody",
       Tlv(0xA0, ExtensionRequest(Extension(kAltNameOid, Hex("30 00")))),
       -1,
       {}},
      {"bytes after the GeneralNames would be copied unread",
       Tlv(0xA0, ExtensionRequest(Extension(kAltNameOid, Cat({kNames, Hex("00")})))),
       -1,
       {}},
      {"a GeneralName must be a context-tagged choice",
       Tlv(0xA0, ExtensionRequest(Extension(kAltNameOid, Tlv(0x30, Tlv(0x16, Text("a.example")))))),
       -1,
       {}},
      {"a name whose length runs past its list",
       Tlv(0xA0, ExtensionRequest(Extension(kAltNameOid, Hex("30 03 82 09 61")))),
       -1,
       {}},
      {"an extension request without its SET of values",
       Tlv(0xA0, Tlv(0x30, Tlv(0x06, kExtensionRequestOid))),
       -1,
       {}},
      {"an extension without its value",
       Tlv(0xA0, ExtensionRequest(Tlv(0x30, Tlv(0x06, kAltNameOid)))),
       -1,
       {}},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    const Bytes info = RequestInfo(c.attributes);
    CertFields fields{};
    fields.toBeSigned = ItemOf(info);
    std::vector<std::uint8_t> names{9};
    EXPECT_EQ(RequestedSubjectAltName(fields, &names), c.status);
    if (c.status == 0) {
      EXPECT_EQ(Bytes(names.begin(), names.end()), c.names);
    }
  }
}

// The self-signed certificate of a PEM request has no attributes: its own extensions hold the
// names.
TEST(RequestedSubjectAltName, ReadsTheExtensionsOfAPemRequestsCertificate) {
  const Bytes issuer = CnName("x");
  const Bytes extensions =
      Cat({Extension(Hex("55 1D 13"), Hex("30 00"), true), Extension(kAltNameOid, kNames)});
  CertFields fields{};
  fields.issuer = ItemOf(issuer);
  std::vector<std::uint8_t> names;
  EXPECT_EQ(RequestedSubjectAltName(fields, &names), 0) << "no extensions: a version 1 certificate";
  EXPECT_TRUE(names.empty());
  fields.extensions = ItemOf(extensions);
  EXPECT_EQ(RequestedSubjectAltName(fields, &names), 0);
  EXPECT_EQ(Bytes(names.begin(), names.end()), kNames);
}

// Without a subject the alternative name is the certificate's only identity: critical then, as RFC
// 5280 asks.
TEST(BuildCertExtensions, AltNameIsCriticalOnlyWithoutSubject) {
  const Bytes spki = Hex("30 13 30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00 03 02 00 00");
  for (const bool empty : {true, false}) {
    SCOPED_TRACE(empty ? "empty subject" : "subject");
    const Bytes subject = empty ? Hex("30 00") : CnName("a.example");
    Asn1Item out{};
    ASSERT_EQ(BuildCertExtensions(&out, CertRole::kEndEntity, ItemOf(subject), ItemOf(spki),
                                  ItemOf(spki), kNames),
              0);
    const Bytes built = BytesOf(out);
    DerFree(&out);
    const Bytes want = Extension(kAltNameOid, kNames, empty);
    EXPECT_NE(std::search(built.begin(), built.end(), want.begin(), want.end()), built.end());
  }
  // A key whose BIT STRING has unused bits has no key identifier.
  const Bytes odd = Hex("30 13 30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00 03 02 01 00");
  std::uint8_t id[kKeyIdentifierSize];
  EXPECT_EQ(KeyIdentifierOf(ItemOf(odd), id), -1);
}

}  // namespace
}  // namespace kcertadm
