// Validity times: comparable forms, checks against an injected clock, the
// period of a new certificate and the text form. (The text form of readable
// times is compared with openssl's over the CA bundle by the ViewCert tests.)
#include "cert/validity.h"

#include <gtest/gtest.h>

#include <string>

#include "asn1/asn1.h"
#include "cert/signing_key.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::ItemOf;
using test::Text;
using test::Tlv;

using test::kDec4At1603;
constexpr std::time_t kDec4At0500 = 1796360400;  // 2026-12-04 05:00:00 UTC

Bytes Utc(const std::string& t) { return Tlv(0x17, Text(t)); }
Bytes Gen(const std::string& t) { return Tlv(0x18, Text(t)); }

// A certificate whose only meaningful part is its validity; ParseCert does
// not check signatures.
Bytes CertWithValidity(const Bytes& validity) {
  const Bytes name = test::CnName("Joe");
  return test::Signed(Cat({Hex("A0 03 02 01 02 02 01 01"), test::kMd5WithRsa, name, validity, name,
                           Hex("30 03 05 01 00")}));
}

std::string Comparable(Bytes time) {
  ComparableTime out;
  if (!TimeToComparable(ItemOf(time), out)) return "<refused>";
  return out;
}

TEST(ComparableTime, CenturyAndForm) {
  const struct { const char* name; Bytes time; std::string want; } kTests[] = {
      {"1970", Utc("700101000000Z"), "0700101000000Z"},
      {"69 is 2069", Utc("691231235959Z"), "1691231235959Z"},
      {"without seconds", Utc("2612041603Z"), "12612041603Z"},
      // A GeneralizedTime keeps its century: 1999 is not read as 2099.
      {"generalized 1999", Gen("19991231235959Z"), "0991231235959Z"},
      {"generalized 2150", Gen("21500101000000Z"), "2500101000000Z"},
      // Hostile: the text form reads ten characters, the buffer holds sixteen.
      {"nine characters", Utc("261204160"), "<refused>"},
      {"sixteen characters", Utc("2612041603001234"), "<refused>"},
      {"offset form is too long", Utc("261204160300+0100"), "<refused>"},
      {"fractional seconds", Gen("20301231235959.123Z"), "<refused>"},
      {"generalized century not digits", Gen("A0301231235959Z"), "<refused>"},
      {"not a time", Tlv(0x04, Text("261204160300Z")), "<refused>"},
      {"content past the end", Hex("17 0D 32 36"), "<refused>"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Comparable(c.time), c.want);
  }
}

TEST(ComparableTime, NowHasNoSeconds) {
  ComparableTime now;
  NowToComparable(kDec4At1603 + 59, now);
  EXPECT_STREQ(now, "12612041603Z");
  NowToComparable(915148799, now);  // 1998-12-31 23:59:59
  EXPECT_STREQ(now, "09812312359Z");
}

TEST(CheckValidityAt, JudgesBothEnds) {
  struct Case {
    const char* name;
    Bytes validity;
    std::uint32_t want;  // 0 valid, else the message
  };
  const Case kTests[] = {
      {"notBefore in the current minute", Tlv(0x30, Cat({Utc("261204160359Z"), Utc("271201000000Z")})), 0},
      {"notAfter equal to now", Tlv(0x30, Cat({Utc("261201000000Z"), Utc("2612041603Z")})), 0},
      {"not yet valid", Tlv(0x30, Cat({Utc("261204160400Z"), Utc("271201000000Z")})), 30062},
      {"expired", Tlv(0x30, Cat({Utc("251201000000Z"), Utc("261204160259Z")})), 30063},
      {"generalized 1999 end is expired",
       Tlv(0x30, Cat({Utc("961201000000Z"), Gen("19991231235959Z")})), 30063},
      {"one time only", Tlv(0x30, Utc("261201000000Z")), 30046},
      {"not a time", Tlv(0x30, Cat({Utc("261201000000Z"), Tlv(0x04, Text("271201000000Z"))})), 30046},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    Bytes validity = c.validity;
    CertFields fields{};
    fields.validity = ItemOf(validity);
    std::uint32_t error = 0;
    EXPECT_EQ(std::pair(CheckValidityAt(&fields, kDec4At1603, &error), error), std::pair(c.want == 0 ? 0 : -1, c.want));
  }
}

std::string ValidityText(const SigningKey& key) {
  return test::ToHex(Bytes(key.validityDer.data, key.validityDer.data + key.validityDer.length));
}

TEST(BuildValidityAt, BackdatesTwelveHoursAndEndsAtDayEnd) {
  const struct { std::time_t now; std::int32_t days; Bytes want; } kTests[] = {
      {kDec4At1603, 365, Tlv(0x30, Cat({Utc("261204000000Z"), Utc("271204235900Z")}))},
      {kDec4At0500, 365, Tlv(0x30, Cat({Utc("261203000000Z"), Utc("271203235900Z")}))},
      {kDec4At1603, 0, Tlv(0x30, Cat({Utc("261204000000Z"), Utc("261204235900Z")}))},
      // From 2050 on UTCTime would be read as the 1950s by other tools.
      {kDec4At1603, 10000, Tlv(0x30, Cat({Utc("261204000000Z"), Gen("20540421235900Z")}))},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.days);
    SigningKey key;
    std::uint32_t error = 0;
    ASSERT_EQ(BuildValidityAt(&key, c.days, c.now, &error), 0);
    EXPECT_EQ(ValidityText(key), test::ToHex(c.want));
    EXPECT_EQ(key.serial, static_cast<std::uint32_t>(c.now));
  }
}

TEST(BuildValidityAt, RefusesToOutliveTheIssuer) {
  const struct { const char* name; Bytes issuerCert; std::uint32_t want; } kTests[] = {
      {"issuer ends at the same moment",
       CertWithValidity(Tlv(0x30, Cat({Utc("200101000000Z"), Utc("271204235900Z")}))), 0},
      {"issuer ends one day before",
       CertWithValidity(Tlv(0x30, Cat({Utc("200101000000Z"), Utc("271203235900Z")}))), 30075},
      {"issuer with generalized end",
       CertWithValidity(Tlv(0x30, Cat({Utc("200101000000Z"), Gen("20491231235959Z")}))), 0},
      {"issuer validity unreadable", CertWithValidity(Hex("30 00")), 30046},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    Bytes issuer = c.issuerCert;
    SigningKey key;
    key.issuerCert = ItemOf(issuer);
    std::uint32_t error = 0;
    EXPECT_EQ(std::pair(BuildValidityAt(&key, 365, kDec4At1603, &error), error), std::pair(c.want == 0 ? 0 : -1, c.want));
    if (c.want != 0) EXPECT_EQ(key.validityDer.data, nullptr);
  }
}

TEST(GetTextDates, RefusesTimesItCannotRead) {
  const Bytes kTests[] = {
      Tlv(0x30, Cat({Utc("7001010Z"), Utc("301231235959Z")})),              // too short
      Tlv(0x30, Cat({Utc("700101000000Z"), Tlv(0x13, Text("301231235959Z"))})),  // not a time
      Hex("30 00"),                                                               // no times
  };
  for (const Bytes& validity : kTests) {
    SCOPED_TRACE(test::ToHex(validity));
    Bytes v = validity;
    CertFields fields{};
    fields.validity = ItemOf(v);
    char start[20], end[20];
    std::uint32_t error = 0;
    EXPECT_NE(GetTextDates(&fields, start, end, &error), 0);
    EXPECT_EQ(error, 30046u);
  }
}

}  // namespace
}  // namespace kcertadm
