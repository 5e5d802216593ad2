#include "expiry_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cert/der_util.h"
#include "utc_time.h"

namespace kcertadm::cli {
namespace {

constexpr std::int64_t kDay = 86400;

// The moment of a DER time element of the tag and text.
std::optional<std::int64_t> Seconds(std::uint8_t tag, const std::string& text) {
  return CertificateTimeSeconds(test_support::ItemOf(test::Tlv(tag, test::Text(text))));
}

constexpr std::uint8_t kUtc = 0x17;
constexpr std::uint8_t kGeneralized = 0x18;

// The moments of certificate times, as RFC 3339; empty when the time names
// no moment and must not be read as one.
TEST(CertificateTime, ReadsUtcAndGeneralizedTime) {
  const struct {
    std::uint8_t tag;
    const char* text;
    const char* expected;
    const char* why;
  } kTests[] = {
      {kUtc, "491231235959Z", "2049-12-31T23:59:59Z", "UTCTime 49 is 2049"},
      {kUtc, "500101000000Z", "1950-01-01T00:00:00Z", "UTCTime 50 is 1950"},
      {kGeneralized, "20500101000000Z", "2050-01-01T00:00:00Z", "from 2050 on, GeneralizedTime"},
      {kGeneralized, "99991231235959Z", "9999-12-31T23:59:59Z", "the last moment with four digits"},
      {kGeneralized, "21060207062815Z", "2106-02-07T06:28:15Z", "past 32-bit time_t"},
      {kUtc, "2612062250Z", "2026-12-06T22:50:00Z", "seconds left out"},
      {kUtc, "2612062250+0130", "2026-12-06T21:20:00Z", "an offset east of UTC is taken off"},
      {kUtc, "2612312330-0100", "2027-01-01T00:30:00Z", "an offset west of UTC crosses the year"},
      {kGeneralized, "20240229120000Z", "2024-02-29T12:00:00Z", "a leap day"},
      {kGeneralized, "20000229000000Z", "2000-02-29T00:00:00Z", "2000 is a leap year (400)"},
      {kGeneralized, "21000229000000Z", "", "2100 is not (100)"},
      {kUtc, "230229000000Z", "", "2023 is not"},
      {kUtc, "261301000000Z", "", "month 13"},
      {kUtc, "261200000000Z", "", "day 0"},
      {kUtc, "260431000000Z", "", "April 31"},
      {kUtc, "261206240000Z", "", "hour 24"},
      {kUtc, "261206236000Z", "", "minute 60"},
      {kUtc, "261206235960Z", "", "second 60"},
      {kUtc, "261206235959X", "", "neither Z nor an offset"},
      {kUtc, "2612062359+2400", "", "an offset of a day"},
      {kUtc, "26120623", "", "too short to name a minute"},
      {0x04, "261206235959Z", "", "an OCTET STRING is no time"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(std::string(c.why) + ": " + c.text);
    const std::optional<std::int64_t> seconds = Seconds(c.tag, c.text);
    EXPECT_EQ(seconds ? Rfc3339(*seconds) : std::string(), c.expected);
  }
}

TEST(CertificateTime, Rfc3339KeepsToFourDigitYears) {
  EXPECT_EQ(Rfc3339(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(Rfc3339(-1), "1969-12-31T23:59:59Z");
  EXPECT_EQ(Rfc3339(SecondsOfUtc(0, 1, 1, 0, 0, 0)), "0000-01-01T00:00:00Z");
  EXPECT_EQ(Rfc3339(SecondsOfUtc(0, 1, 1, 0, 0, 0) - 1), "");
  EXPECT_EQ(Rfc3339(SecondsOfUtc(9999, 12, 31, 23, 59, 59) + 1), "");
}

// The verdict at the edges of the window: an end exactly now has not
// passed, an end exactly Days days ahead is within the window.
TEST(ClassifyExpiry, EdgesOfTheWindow) {
  const std::int64_t now = SecondsOfUtc(2026, 12, 6, 12, 0, 0);
  const struct {
    std::optional<std::int64_t> end;
    int days;
    ExpiryState state;
    std::int64_t daysLeft;
    const char* why;
  } kTests[] = {
      {now, 30, ExpiryState::kExpiring, 0, "ends exactly now: still valid this second"},
      {now - 1, 30, ExpiryState::kExpired, -1, "a second ago"},
      {now - kDay, 30, ExpiryState::kExpired, -1, "exactly a day ago"},
      {now - kDay - 1, 30, ExpiryState::kExpired, -2, "a day and a second ago"},
      {now + 30 * kDay, 30, ExpiryState::kExpiring, 30, "exactly Days days ahead"},
      {now + 30 * kDay + 1, 30, ExpiryState::kValid, 30, "a second after the window"},
      {now + kDay - 1, 30, ExpiryState::kExpiring, 0, "less than a whole day left"},
      {now, 0, ExpiryState::kExpiring, 0, "Days=0 still catches an end exactly now"},
      {now + 1, 0, ExpiryState::kValid, 0, "Days=0: a second ahead is outside"},
      {now + 36500 * kDay, 36500, ExpiryState::kExpiring, 36500, "the widest window"},
      {std::nullopt, 30, ExpiryState::kUnreadable, 0, "an end date that cannot be read"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    const ExpiryVerdict verdict = ClassifyExpiry(c.end, now, c.days);
    EXPECT_EQ(verdict.state, c.state);
    EXPECT_EQ(verdict.daysLeft, c.daysLeft);
  }
}

// Certificate times through the classification: leap days count, and
// GeneralizedTime ends far ahead are not mistaken for past UTCTime ones.
TEST(ClassifyExpiry, CertificateTimesAcrossLeapDaysAndCenturies) {
  const struct {
    std::uint8_t tag;
    const char* end;
    std::int64_t now;
    ExpiryState state;
    std::int64_t daysLeft;
    const char* why;
  } kTests[] = {
      {kGeneralized, "20280301000000Z", SecondsOfUtc(2028, 2, 28, 0, 0, 0), ExpiryState::kExpiring,
       2, "February 2028 has 29 days"},
      {kGeneralized, "20270301000000Z", SecondsOfUtc(2027, 2, 28, 0, 0, 0), ExpiryState::kExpiring,
       1, "February 2027 has 28"},
      {kGeneralized, "20500101000000Z", SecondsOfUtc(2049, 12, 31, 0, 0, 0), ExpiryState::kExpiring,
       1, "2050 in GeneralizedTime is the day after 2049-12-31"},
      {kGeneralized, "20510101000000Z", SecondsOfUtc(2026, 12, 6, 0, 0, 0), ExpiryState::kValid,
       8792, "2051 is far ahead, not 1951"},
      {kUtc, "491231235959Z", SecondsOfUtc(2050, 1, 1, 0, 0, 0), ExpiryState::kExpired, -1,
       "UTCTime 49 ended before 2050"},
      {kUtc, "991231235959Z", SecondsOfUtc(2026, 12, 6, 0, 0, 0), ExpiryState::kExpired, -9837,
       "UTCTime 99 is 1999, long past"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(std::string(c.why) + ": " + c.end);
    const ExpiryVerdict verdict = ClassifyExpiry(Seconds(c.tag, c.end), c.now, 30);
    EXPECT_EQ(verdict.state, c.state);
    EXPECT_EQ(verdict.daysLeft, c.daysLeft);
  }
}

TEST(ExpiryStatus, WorstFindingDecidesTheExitCodeAndLine) {
  const struct {
    int expired, expiring, unreadable, days;
    PluginStatus status;
    const char* line;
  } kTests[] = {
      {0, 0, 0, 30, PluginStatus::kOk, "OK - no certificate expires within 30 days"},
      {0, 1, 0, 1, PluginStatus::kWarning, "WARNING - 1 certificate expires within 1 day"},
      {0, 2, 0, 30, PluginStatus::kWarning, "WARNING - 2 certificates expire within 30 days"},
      {1, 0, 0, 30, PluginStatus::kCritical, "CRITICAL - 1 certificate has expired"},
      {2, 1, 1, 30, PluginStatus::kCritical,
       "CRITICAL - 2 certificates have expired, 1 certificate expires within 30 days, 1 "
       "certificate has an unreadable end date"},
      {0, 1, 1, 30, PluginStatus::kUnknown,
       "UNKNOWN - 1 certificate expires within 30 days, 1 certificate has an unreadable end date"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.line);
    const ExpiryCounts counts{c.expired, c.expiring, c.unreadable};
    EXPECT_EQ(StatusOf(counts), c.status);
    EXPECT_EQ(StatusLine(counts, c.days), "KCERTADM EXPIRY " + std::string(c.line));
  }
}

// Days: plain decimal digits up to a hundred years; anything else is a
// usage error rather than a window the operator did not mean.
TEST(ExpiryDays, PlainDigitsWithinAHundredYears) {
  const std::pair<const char*, int> kAccepted[] = {
      {"30", 30}, {"0", 0}, {"36500", 36500}, {"00030", 30}};
  for (const auto& [text, days] : kAccepted) EXPECT_EQ(ParseExpiryDays(text), days) << text;
  // 36501 is past the limit; 999999 would overflow a narrower parser.
  for (const char* text : {"36501", "", "-1", "+5", " 5", "5 days", "1e3", "999999"})
    EXPECT_EQ(ParseExpiryDays(text), std::nullopt) << text;
}

}  // namespace
}  // namespace kcertadm::cli
