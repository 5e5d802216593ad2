// Validity times (their text form is compared with openssl's by the ViewCert tests).
#include "cert/validity.h"

#include <gtest/gtest.h>

#include "asn1/asn1.h"
#include "cert/signing_key.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using namespace test;

constexpr std::time_t kDec4At0500 = 1796360400;  // 2026-12-04 05:00:00 UTC

Bytes Utc(const std::string& t) { return Tlv(0x17, Text(t)); }
Bytes Gen(const std::string& t) { return Tlv(0x18, Text(t)); }
Bytes Period(const Bytes& from, const Bytes& to) { return Tlv(0x30, Cat({from, to})); }

std::string Comparable(const Bytes& time) {
  ComparableTime out;
  return TimeToComparable(ItemOf(time), out) ? std::string(out) : "<refused>";
}

TEST(ComparableTime, CenturyAndForm) {
  const struct {
    const char* name;
    Bytes time;
    std::string want;
  } kTests[] = {
      {"1970", Utc("700101000000Z"), "0700101000000Z"},
      // UTCTime 50-99 are 1950-1999 and 00-49 are 2000-2049; 50-69 were read as 2050-2069.
      {"69 is 1969", Utc("691231235959Z"), "0691231235959Z"},
      {"50 is 1950", Utc("500101000000Z"), "0500101000000Z"},
      {"49 is 2049", Utc("491231235959Z"), "1491231235959Z"},
      {"without seconds", Utc("2612041603Z"), "12612041603Z"},
      // A GeneralizedTime keeps its century: 1999 is not read as 2099.
      {"generalized 1999", Gen("19991231235959Z"), "0991231235959Z"},
      {"generalized 2150", Gen("21500101000000Z"), "2500101000000Z"},
      // Hostile: the text form reads ten characters, the buffer holds sixteen.
      {"nine characters", Utc("261204160"), "<refused>"},
      {"sixteen characters", Utc("2612041603001234"), "<refused>"},
      {"fractional seconds", Gen("20301231235959.123Z"), "<refused>"},
      {"generalized century not digits", Gen("A0301231235959Z"), "<refused>"},
      // The text form shows these characters: a line end there would add a line to the report.
      {"a line end in the date", Utc("26\n2041603Z"), "<refused>"},
      {"a sign in the year", Utc("-61204160300Z"), "<refused>"},
      {"not a time", Tlv(0x04, Text("261204160300Z")), "<refused>"},
      {"content past the end", Hex("17 0D 32 36"), "<refused>"},
  };
  for (const auto& c : kTests) EXPECT_EQ(Comparable(c.time), c.want) << c.name;
  ComparableTime now;
  NowToComparable(kDec4At1603 + 59, now);
  EXPECT_STREQ(now, "12612041603Z") << "now has no seconds";
  NowToComparable(915148799, now);  // 1998-12-31 23:59:59
  EXPECT_STREQ(now, "09812312359Z");
}

TEST(CheckValidityAt, JudgesBothEnds) {
  const Bytes later = Utc("271201000000Z"), earlier = Utc("261201000000Z");
  const struct {
    const char* name;
    Bytes validity;
    std::uint32_t want; /* 0 valid, else the message */
  } kTests[] = {
      {"notBefore in the current minute", Period(Utc("261204160359Z"), later), 0},
      {"notAfter equal to now", Period(earlier, Utc("2612041603Z")), 0},
      {"not yet valid", Period(Utc("261204160400Z"), later), 30062},
      {"expired", Period(earlier, Utc("261204160259Z")), 30063},
      {"generalized 1999 end is expired", Period(Utc("961201000000Z"), Gen("19991231235959Z")),
       30063},
      // A root valid from 1969 was not yet valid; one that expired in 1965 was valid.
      {"valid since 1969", Period(Utc("690101000000Z"), Utc("491231235959Z")), 0},
      {"expired in 1965", Period(Utc("600101000000Z"), Utc("651231235959Z")), 30063},
      {"one time only", Tlv(0x30, earlier), 30046},
      {"not a time", Period(earlier, Tlv(0x04, Text("271201000000Z"))), 30046},
  };
  for (const auto& c : kTests) {
    CertFields fields{};
    fields.validity = ItemOf(c.validity);
    std::uint32_t error = 0;
    EXPECT_EQ(std::pair(CheckValidityAt(&fields, kDec4At1603, &error), error),
              std::pair(c.want == 0 ? 0 : -1, c.want))
        << c.name;
  }
}

TEST(BuildValidityAt, BackdatesTwelveHoursAndEndsAtDayEnd) {
  const struct {
    std::time_t now;
    std::int32_t days;
    Bytes want;
  } kTests[] = {
      {kDec4At1603, 365, Period(Utc("261204000000Z"), Utc("271204235900Z"))},
      {kDec4At0500, 365, Period(Utc("261203000000Z"), Utc("271203235900Z"))},
      {kDec4At1603, 0, Period(Utc("261204000000Z"), Utc("261204235900Z"))},
      // From 2050 on UTCTime would be read as the 1950s by other tools.
      {kDec4At1603, 10000, Period(Utc("261204000000Z"), Gen("20540421235900Z"))},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.days);
    SigningKey key;
    std::uint32_t error = 0;
    ASSERT_EQ(BuildValidityAt(&key, c.days, c.now, &error), 0);
    EXPECT_EQ(BytesOf(key.validityDer), c.want);
  }
}

TEST(BuildValidityAt, RefusesToOutliveTheIssuer) {
  // Certificates whose only meaningful part is their validity.
  auto issuer = [](const Bytes& validity) {
    const Bytes name = CnName("I");
    return Signed(Cat({Hex("A0 03 02 01 02 02 01 01"), kMd5WithRsa, name, validity, name,
                       Hex("30 03 05 01 00")}));
  };
  const Bytes since = Utc("200101000000Z");
  const struct {
    const char* name;
    Bytes issuerCert;
    std::uint32_t want;
  } kTests[] = {
      {"issuer ends at the same moment", issuer(Period(since, Utc("271204235900Z"))), 0},
      {"issuer ends one day before", issuer(Period(since, Utc("271203235900Z"))), 30075},
      {"issuer with generalized end", issuer(Period(since, Gen("20491231235959Z"))), 0},
      {"issuer validity unreadable", issuer(Hex("30 00")), 30046},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    SigningKey key;
    key.issuerCert = ItemOf(c.issuerCert);
    std::uint32_t error = 0;
    EXPECT_EQ(std::pair(BuildValidityAt(&key, 365, kDec4At1603, &error), error),
              std::pair(c.want == 0 ? 0 : -1, c.want));
    EXPECT_EQ(key.validityDer.data == nullptr, c.want != 0) << "nothing built when refused";
  }
}

// Two-digit years mean 1950-2049 as UTCTime does; other years are written with four digits.
TEST(TimeReportText, TwoDigitYearsOnlyWithinTheUtcTimeWindow) {
  const struct {
    Bytes time;
    std::string want;
  } kTests[] = {
      {Utc("691231235959Z"), "12-31-69 23:59 GMT"},
      {Utc("491231235959Z"), "12-31-49 23:59 GMT"},
      {Gen("19500101000000Z"), "01-01-50 00:00 GMT"},
      {Gen("20491231235900Z"), "12-31-49 23:59 GMT"},
      {Gen("20550630235959Z"), "06-30-2055 23:59 GMT"},  // was 06-30-55, which reads as 1955
      {Gen("19491231235959Z"), "12-31-1949 23:59 GMT"},
      {Utc("7001010Z"), ""},
      {Tlv(0x04, Text("261204160300Z")), ""},
  };
  for (const auto& c : kTests) EXPECT_EQ(TimeReportText(ItemOf(c.time)), c.want);
}

// (Validities that do not decode: CheckValidityAt; their text form: the ViewCert tests.)
TEST(GetTextDates, RefusesATimeTooShortForItsTextForm) {
  const Bytes validity = Period(Utc("7001010Z"), Utc("301231235959Z"));
  CertFields fields{};
  fields.validity = ItemOf(validity);
  char start[20], end[20];
  std::uint32_t error = 0;
  EXPECT_EQ(std::pair(GetTextDates(&fields, start, end, &error), error), std::pair(-1, 30046u));
}

}  // namespace
}  // namespace kcertadm
