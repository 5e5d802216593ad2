// SubjectAltName= text into GeneralNames, and the host-name rule a CommonName must meet to become a
// DNS name.
#include "cert/subject_alt_name.h"

#include <gtest/gtest.h>

#include "der_util.h"

namespace kcertadm {
namespace {

using namespace test;

TEST(ParseSubjectAltName, EncodesEachTypeInOrder) {
  std::vector<std::uint8_t> der;
  std::string bad;
  std::uint32_t error = 0;
  ASSERT_EQ(
      ParseSubjectAltName(
          "DNS:a.example, ip:192.0.2.1,IP:2001:db8::1,Email:x@a.example,URI:https://a.example/",
          &der, &bad, &error),
      0)
      << bad;
  EXPECT_EQ(Bytes(der.begin(), der.end()),
            Cat({Hex("30 44 82 09"), Bytes{'a', '.', 'e', 'x', 'a', 'm', 'p', 'l', 'e'},
                 Hex("87 04 C0 00 02 01"),
                 Hex("87 10 20 01 0D B8 00 00 00 00 00 00 00 00 00 00 00 01 81 0B"),
                 Bytes{'x', '@', 'a', '.', 'e', 'x', 'a', 'm', 'p', 'l', 'e'}, Hex("86 12"),
                 Bytes{'h', 't', 't', 'p', 's', ':', '/', '/', 'a', '.', 'e', 'x', 'a', 'm', 'p',
                       'l', 'e', '/'}}));
  EXPECT_TRUE(bad.empty());
}

TEST(ParseSubjectAltName, RefusesHostileItemsNamingThem) {
  const std::string many = [] {
    std::string text = "DNS:a.example";
    for (std::size_t i = 0; i < kMaxAltNames; ++i) text += ",DNS:a.example";
    return text;
  }();
  const struct {
    const char* why;
    std::string text;
    std::string item;
    std::uint32_t message;
  } kTests[] = {
      {"nothing at all is no name", "", "", 30081},
      {"an empty DNS name names nothing", "DNS:", "DNS:", 30081},
      {"a trailing comma leaves an empty item", "DNS:a.example,", "", 30081},
      {"no type: which GeneralName is meant cannot be told", "a.example", "a.example", 30081},
      {"an unknown type has no GeneralName", "RID:1.2.3", "RID:1.2.3", 30081},
      {"an IPv4 octet above 255 is no address", "IP:300.1.1.1", "IP:300.1.1.1", 30081},
      {"three octets are no IPv4 address", "IP:192.0.2", "IP:192.0.2", 30081},
      {"a leading zero may be read as octal by peers", "IP:010.0.0.1", "IP:010.0.0.1", 30081},
      {"a zone index has no place in a certificate", "IP:fe80::1%eth0", "IP:fe80::1%eth0", 30081},
      {"a host name is not an address", "IP:localhost", "IP:localhost", 30081},
      {"a mail address needs a local part", "EMAIL:@a.example", "EMAIL:@a.example", 30081},
      {"a mail address needs an @", "EMAIL:a.example", "EMAIL:a.example", 30081},
      {"a URI needs a scheme", "URI://a.example/", "URI://a.example/", 30081},
      {"a blank inside a URI is not allowed", "URI:https://a b/", "URI:https://a b/", 30081},
      {"more names than a certificate should carry", many, "DNS:a.example", 30081},
      {"U-labels must be given as A-labels", "DNS:bücher.example", "DNS:bücher.example", 30082},
      {"an underscore is outside the host-name rules", "DNS:a_b.example", "DNS:a_b.example", 30082},
      {"a label may not start with a hyphen", "DNS:-a.example", "DNS:-a.example", 30082},
      {"an empty label between two dots", "DNS:a..example", "DNS:a..example", 30082},
      {"a trailing dot is not in the preferred name syntax", "DNS:a.example.", "DNS:a.example.",
       30082},
      {"a wildcard only as the whole first label", "DNS:a*.example", "DNS:a*.example", 30082},
      {"a label is at most 63 characters", "DNS:" + std::string(64, 'a') + ".example",
       "DNS:" + std::string(64, 'a') + ".example", 30082},
      {"a NUL would cut the name short for C readers", std::string("DNS:a.example\0.evil", 19),
       std::string("DNS:a.example\0.evil", 19), 30082},
      {"a mail domain follows the host-name rules", "EMAIL:x@bad_domain.example",
       "EMAIL:x@bad_domain.example", 30082},
      {"the first bad item is named, after good ones", "DNS:a.example,IP:1.2.3.4.5", "IP:1.2.3.4.5",
       30081},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    std::vector<std::uint8_t> der{1};
    std::string bad;
    std::uint32_t error = 0;
    EXPECT_EQ(ParseSubjectAltName(c.text, &der, &bad, &error), -1);
    EXPECT_EQ(error, c.message);
    EXPECT_EQ(bad, c.item);
    EXPECT_TRUE(der.empty());
  }
}

TEST(IsHostName, AcceptsOnlyNamesACommonNameCanStandFor) {
  const struct {
    const char* name;
    bool host;
    const char* why;
  } kTests[] = {
      {"www.example.com", true, "labels and dots"},
      {"*.example.com", true, "a wildcard first label"},
      {"localhost", true, "the one name without a dot"},
      {"xn--bcher-kva.example", true, "an A-label"},
      {"intranet", false, "no dot: a person's or a product's name as likely as a host"},
      {"Example Root CA", false, "blanks"},
      {"*.localhost", false, "no wildcard over localhost"},
      {"*", false, "a bare wildcard"},
      {"", false, "empty"},
      {"a..b", false, "empty label"},
      {"bücher.example", false, "a U-label"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(IsHostName(c.name), c.host) << c.name;
  }
}

}  // namespace
}  // namespace kcertadm
