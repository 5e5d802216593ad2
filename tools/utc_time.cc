#include "utc_time.h"

#include <cstdio>

#include "cert/validity.h"

namespace kcertadm::cli {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// 0000-01-01T00:00:00Z and 10000-01-01T00:00:00Z.
constexpr std::int64_t kFirstMoment = -62167219200;
constexpr std::int64_t kPastLastMoment = 253402300800;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the
// era-based method: 400-year eras of 146097 days, years starting in March).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  return {yearOfEra + era * 400 + (month <= 2), month, day};
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool Digits(const char* text, int count) {
  for (int i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int Pair(const char* text) { return (text[0] - '0') * 10 + (text[1] - '0'); }

// The offset of what follows the minutes or seconds: "Z" or nothing is
// UTC, "+hhmm" / "-hhmm" east or west of it; none for anything else.
std::optional<std::int64_t> OffsetSeconds(const char* rest) {
  if (*rest == '\0' || (rest[0] == 'Z' && rest[1] == '\0')) return 0;
  if ((rest[0] != '+' && rest[0] != '-') || !Digits(rest + 1, 4) || rest[5] != '\0') {
    return std::nullopt;
  }
  const int hours = Pair(rest + 1);
  const int minutes = Pair(rest + 3);
  if (hours > 23 || minutes > 59) return std::nullopt;
  const std::int64_t offset = hours * 3600 + minutes * 60;
  return rest[0] == '+' ? offset : -offset;
}

}  // namespace

std::int64_t SecondsOfUtc(int year, int month, int day, int hour, int minute, int second) {
  return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::optional<std::int64_t> CertificateTimeSeconds(const Asn1Item& time) {
  // The comparable form: a century digit counted from the 1900s, then the
  // time text with a two-digit year; the library has checked its first ten
  // characters are digits.
  ComparableTime comparable;
  if (!TimeToComparable(time, comparable)) return std::nullopt;
  const int century = static_cast<unsigned char>(comparable[0]) - '0' + 19;
  const char* text = comparable + 1;
  const int year = century * 100 + Pair(text);
  const int month = Pair(text + 2);
  const int day = Pair(text + 4);
  const int hour = Pair(text + 6);
  const int minute = Pair(text + 8);
  const char* rest = text + 10;
  int second = 0;
  if (Digits(rest, 2)) {
    second = Pair(rest);
    rest += 2;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  const std::optional<std::int64_t> offset = OffsetSeconds(rest);
  if (!offset) return std::nullopt;
  return SecondsOfUtc(year, month, day, hour, minute, second) - *offset;
}

std::string Rfc3339(std::int64_t seconds) {
  if (seconds < kFirstMoment || seconds >= kPastLastMoment) return {};
  std::int64_t days = seconds / kSecondsPerDay;
  std::int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  const CivilDate date = CivilFromDays(days);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ",
                static_cast<long long>(date.year), date.month, date.day,
                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60));
  return text;
}

}  // namespace kcertadm::cli
