#include "extension_facts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cert/der_util.h"

namespace kcertadm::cli {
namespace {

using test::Bytes;
using test::Text;
using test::Tlv;

// Extension ::= SEQUENCE { OID 2.5.29.n, [critical], OCTET STRING value }
Bytes Extension(std::uint8_t number, const Bytes& value, bool critical = false) {
  const Bytes oid = Tlv(0x06, {0x55, 0x1D, number});
  return Tlv(0x30, critical ? test::Cat({oid, Tlv(0x01, {0xFF}), Tlv(0x04, value)})
                            : test::Cat({oid, Tlv(0x04, value)}));
}

TEST(ListAltNames, EachKindOfGeneralName) {
  const Bytes ipv6 = {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const Bytes list = Extension(
      17,
      Tlv(0x30, test::Cat({Tlv(0x82, Text("www.example.com")), Tlv(0x81, Text("ops@example.com")),
                           Tlv(0x86, Text("https://example.com/")), Tlv(0x87, {192, 0, 2, 1}),
                           Tlv(0x87, ipv6), Tlv(0x87, {1, 2, 3}), Tlv(0x82, Text("a\nb")),
                           Tlv(0xA0, Tlv(0x06, {0x2B}))})));
  const std::vector<AltName> names = ListAltNames(test_support::ItemOf(list));
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
      {test::Cat({basic, Bytes{0x30, 0x7F, 0x06}}),
       {"2.5.29.19", std::nullopt},
       "a length past the end of the list"},
      {Tlv(0x30, test::Cat({Tlv(0x06, {0x55, 0x1D, 0x0F}), Tlv(0x02, {0x01})})),
       {std::nullopt},
       "an INTEGER where the value's OCTET STRING belongs"},
      {Bytes{0x31, 0x00}, {std::nullopt}, "a SET where an Extension belongs"},
      {test::Cat({Tlv(0x30, Tlv(0x06, {0x2B, 0x06})), basic}),
       {std::nullopt, "2.5.29.19"},
       "an Extension without a value, then a good one"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    const std::vector<ExtensionFacts> extensions = ListExtensions(test_support::ItemOf(c.list));
    ASSERT_EQ(extensions.size(), c.oids.size());
    for (std::size_t i = 0; i < extensions.size(); ++i) {
      EXPECT_EQ(extensions[i].oid, c.oids[i]);
      EXPECT_FALSE(extensions[i].report.empty()) << "the report's block is always there";
    }
  }
  const ExtensionFacts facts = ListExtensions(test_support::ItemOf(basic)).front();
  EXPECT_EQ(facts.name, "Basic Constraints");
  EXPECT_TRUE(facts.critical);
  EXPECT_EQ(facts.value, "30030101FF");
  EXPECT_NE(facts.report.find("CA = Yes"), std::string::npos) << facts.report;
}

}  // namespace
}  // namespace kcertadm::cli
