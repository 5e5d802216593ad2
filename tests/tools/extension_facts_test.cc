#include "extension_facts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kcertadm::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes der = {tag, static_cast<std::uint8_t>(content.size())};
  der.insert(der.end(), content.begin(), content.end());
  return der;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Extension ::= SEQUENCE { OID 2.5.29.n, [critical], OCTET STRING value }
Bytes Extension(std::uint8_t number, const Bytes& value, bool critical = false) {
  const Bytes oid = Tlv(0x06, {0x55, 0x1D, number});
  return Tlv(0x30, critical ? Join({oid, Tlv(0x01, {0xFF}), Tlv(0x04, value)})
                            : Join({oid, Tlv(0x04, value)}));
}

Asn1Item Over(Bytes& bytes) {
  return Asn1Item{bytes.data(), static_cast<std::int32_t>(bytes.size())};
}

TEST(ListAltNames, EachKindOfGeneralName) {
  const Bytes ipv6 = {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  Bytes list = Extension(
      17, Tlv(0x30, Join({Tlv(0x82, Text("www.example.com")), Tlv(0x81, Text("ops@example.com")),
                          Tlv(0x86, Text("https://example.com/")), Tlv(0x87, {192, 0, 2, 1}),
                          Tlv(0x87, ipv6), Tlv(0x87, {1, 2, 3}), Tlv(0x82, Text("a\nb")),
                          Tlv(0xA0, Tlv(0x06, {0x2B}))})));
  const std::vector<AltName> names = ListAltNames(Over(list));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"dns", "www.example.com"},
      {"email", "ops@example.com"},
      {"uri", "https://example.com/"},
      {"ip", "192.0.2.1"},
      {"ip", "2001:db8:0:0:0:0:0:1"},
      {"ip", "#010203"},         // neither IPv4 nor IPv6: its octets
      {"dns", "a\\x0Ab"},        // in report form, as every value
      {"other", "#A00306012B"},  // otherName: the whole element
  };
  ASSERT_EQ(names.size(), expected.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(names[i].type, expected[i].first);
    EXPECT_EQ(names[i].value, expected[i].second);
  }
}

// Extensions that cannot be read are listed as such, and no read passes the
// end of the list whatever its lengths claim.
TEST(ListExtensions, UnreadableExtensionsAreListedNotTrusted) {
  const Bytes basic = Extension(19, Tlv(0x30, Tlv(0x01, {0xFF})), true);
  const struct {
    Bytes list;
    std::vector<std::optional<std::string>> oids;
    const char* why;
  } kTests[] = {
      {basic, {"2.5.29.19"}, "a readable extension"},
      {Bytes{}, {}, "an empty list holds no extension to read"},
      {Join({basic, Bytes{0x30, 0x7F, 0x06}}),
       {"2.5.29.19", std::nullopt},
       "a length past the end of the list"},
      {Tlv(0x30, Join({Tlv(0x06, {0x55, 0x1D, 0x0F}), Tlv(0x02, {0x01})})),
       {std::nullopt},
       "an INTEGER where the value's OCTET STRING belongs"},
      {Bytes{0x31, 0x00}, {std::nullopt}, "a SET where an Extension belongs"},
      {Join({Tlv(0x30, Tlv(0x06, {0x2B, 0x06})), basic}),
       {std::nullopt, "2.5.29.19"},
       "an Extension without a value, then a good one"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    Bytes list = c.list;
    const std::vector<ExtensionFacts> extensions = ListExtensions(Over(list));
    ASSERT_EQ(extensions.size(), c.oids.size());
    for (std::size_t i = 0; i < extensions.size(); ++i) {
      EXPECT_EQ(extensions[i].oid, c.oids[i]);
      EXPECT_FALSE(extensions[i].report.empty()) << "the report's block is always there";
    }
  }
  Bytes list = basic;
  const ExtensionFacts facts = ListExtensions(Over(list)).front();
  EXPECT_EQ(facts.name, "Basic Constraints");
  EXPECT_TRUE(facts.critical);
  EXPECT_EQ(facts.value, "30030101FF");
  EXPECT_NE(facts.report.find("CA = Yes"), std::string::npos) << facts.report;
}

}  // namespace
}  // namespace kcertadm::cli
