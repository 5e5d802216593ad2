#include "cert/validity.h"

#include <cstring>
#include <string>

#include "asn1/asn1.h"
#include "cert/certificate.h"
#include "cert/signing_key.h"
#include "host/host_text.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kBackdate = 43200;  // twelve hours
constexpr int kFirstGeneralizedYear = 2050;
constexpr int kFirstUtcYearOf1900s = 50;  // UTCTime 50-99: 1950-1999

// The time text of an element: its content, or for GeneralizedTime the
// content after the century digits, bounded by what the comparable form and
// the text form need.
bool TimeText(const Asn1Item& time, const std::uint8_t** text, std::int32_t* length,
              std::uint32_t* tag) {
  if (time.data == nullptr || time.length < 2) return false;
  *tag = time.data[0];
  if (*tag != kAsn1UtcTime && *tag != kAsn1GeneralizedTime) return false;
  Asn1Item content = time;
  if (Asn1Enter(&content) < 0) return false;
  std::int32_t skip = *tag == kAsn1GeneralizedTime ? 2 : 0;
  if (content.length - skip < kMinTimeText ||
      content.length - skip > static_cast<std::int32_t>(kComparableTimeSize) - 2) {
    return false;
  }
  for (std::int32_t i = 0; i < skip + kMinTimeText; ++i) {
    if (content.data[i] < '0' || content.data[i] > '9') return false;
  }
  *text = content.data + skip;
  *length = content.length - skip;
  return true;
}

// The year of a time whose text TimeText accepted.
int FullYear(const std::uint8_t* text, std::uint32_t tag) {
  const int yy = (text[0] - '0') * 10 + (text[1] - '0');
  if (tag == kAsn1GeneralizedTime) return ((text[-2] - '0') * 10 + (text[-1] - '0')) * 100 + yy;
  return yy < kFirstUtcYearOf1900s ? 2000 + yy : 1900 + yy;
}

// The century digit: years of the 1900s give '0', of the 2000s '1', of the
// 2100s '2' and so on, so that a year of the 1900s is never read as one of
// the 2000s. text is the time text after any century digits.
char CenturyDigit(const std::uint8_t* text, std::uint32_t tag) {
  return static_cast<char>('0' + (FullYear(text, tag) / 100 - 19));
}

bool BreakDown(std::time_t t, std::tm* out) { return gmtime_r(&t, out) != nullptr; }

// A UTCTime (GeneralizedTime from 2050 on) at the date of tm with the given
// hour and minute and zero seconds.
int BuildTime(Asn1Item* out, const std::tm& tm, int hour, int minute) {
  const int year = tm.tm_year + 1900;
  std::string text;
  std::uint32_t tag;
  if (year >= kFirstGeneralizedYear) {
    text = HostFormat("%04d%02d%02d%02d%02d00Z", year, tm.tm_mon + 1, tm.tm_mday, hour, minute);
    tag = kAsn1GeneralizedTime;
  } else {
    text = HostFormat("%02d%02d%02d%02d%02d00Z", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, hour,
                      minute);
    tag = kAsn1UtcTime;
  }
  return DerPrimitive(out, tag, text.data(), static_cast<std::int32_t>(text.size()));
}

// Refuses a period that ends after the issuer's certificate does.
int CheckAgainstIssuer(const SigningKey& key, const Asn1Item& notAfter, std::uint32_t* error) {
  ComparableTime end;
  if (!TimeToComparable(notAfter, end)) {
    FailWith(error, kMsgBadCertificate);
    return -1;
  }
  CertData issuer{};
  issuer.der = key.issuerCert;
  CertFields fields{};
  if (ParseCert(&issuer, &fields, error) != 0 || DecodeValidity(&fields, error) != 0) {
    FailWith(error, kMsgBadCertificate);
    return -1;
  }
  std::uint32_t compareError = 0;
  const int order = CompareTime(fields.notAfter, end, &compareError);
  if (compareError != 0) {
    FailWith(error, compareError);
    return -1;
  }
  if (order < 0) {
    FailWith(error, kMsgValidityTimeFailed);
    return -1;
  }
  return 0;
}

}  // namespace

int DecodeValidity(CertFields* fields, std::uint32_t* error) {
  fields->notBefore = Asn1Item{};
  fields->notAfter = Asn1Item{};
  const Asn1TemplateEntry validity[] = {{kAsn1UtcTime, &fields->notBefore},
                                        {kAsn1UtcTime, &fields->notAfter}};
  if (fields->validity.data == nullptr || fields->validity.length < 2 ||
      Asn1DecodeTemplate(validity, 2, fields->validity, 0) != 0) {
    FailWith(error, kMsgBadCertificate);
    return -1;
  }
  return 0;
}

bool TimeToComparable(const Asn1Item& time, ComparableTime out) {
  const std::uint8_t* text;
  std::int32_t length;
  std::uint32_t tag;
  if (!TimeText(time, &text, &length, &tag)) return false;
  out[0] = CenturyDigit(text, tag);
  std::memcpy(out + 1, text, static_cast<std::size_t>(length));
  out[length + 1] = '\0';
  return true;
}

void NowToComparable(std::time_t now, ComparableTime out) {
  std::tm tm{};
  BreakDown(now, &tm);
  const std::string text = HostFormat("%03d%02d%02d%02d%02dZ", tm.tm_year % 1000, tm.tm_mon + 1,
                                      tm.tm_mday, tm.tm_hour, tm.tm_min);
  HostStringCopy(out, kComparableTimeSize, text);
}

int CompareTime(const Asn1Item& time, const char* comparable, std::uint32_t* error) {
  ComparableTime form;
  if (!TimeToComparable(time, form)) {
    FailWith(error, kMsgBadCertificate);
    return 0;
  }
  const int order = std::strcmp(form, comparable);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int CheckValidityAt(CertFields* fields, std::time_t now, std::uint32_t* error) {
  if (DecodeValidity(fields, error) != 0) return -1;
  ComparableTime current;
  NowToComparable(now, current);
  ComparableTime notBefore;
  ComparableTime notAfter;
  if (!TimeToComparable(fields->notBefore, notBefore) ||
      !TimeToComparable(fields->notAfter, notAfter)) {
    FailWith(error, kMsgBadCertificate);
    return -1;
  }
  if (std::strcmp(notBefore, current) > 0) {
    FailWith(error, kMsgCertNotYetValid);
    return -1;
  }
  if (std::strcmp(notAfter, current) < 0) {
    FailWith(error, kMsgCertExpired);
    return -1;
  }
  return 0;
}

int CheckValidityNow(CertFields* fields, std::uint32_t* error) {
  return CheckValidityAt(fields, std::time(nullptr), error);
}

int BuildValidityAt(SigningKey* key, std::int32_t days, std::time_t now, std::uint32_t* error) {
  DerFree(&key->validityDer);
  const std::int64_t start = static_cast<std::int64_t>(now) - kBackdate;
  const std::int64_t end = start + static_cast<std::int64_t>(days) * kSecondsPerDay;
  std::tm startTm{};
  std::tm endTm{};
  Asn1Item notBefore{};
  Asn1Item notAfter{};
  int status = BreakDown(static_cast<std::time_t>(start), &startTm) &&
                       BreakDown(static_cast<std::time_t>(end), &endTm)
                   ? 0
                   : -1;
  if (status == 0) status = BuildTime(&notBefore, startTm, 0, 0);
  if (status == 0) status = BuildTime(&notAfter, endTm, 23, 59);
  if (status == 0)
    status = DerConstructed(&key->validityDer, kDerSequenceNumber, &notBefore, &notAfter);
  if (status != 0) {
    FailWith(error, kMsgValidityTimeFailed);
  } else if (key->issuerCert.length > 0) {
    status = CheckAgainstIssuer(*key, notAfter, error);
  }
  DerFree(&notBefore);
  DerFree(&notAfter);
  if (status != 0) {
    DerFree(&key->validityDer);
    return -1;
  }
  return 0;
}

int BuildValidity(SigningKey* key, std::int32_t days, std::uint32_t* error) {
  return BuildValidityAt(key, days, std::time(nullptr), error);
}

}  // namespace kcertadm

namespace {

constexpr std::size_t kTextDateSize = 19;  // "MM-DD-YY HH:MM GMT" and a NUL

// "MM-DD-YY HH:MM GMT" from the first ten characters of the time text.
bool FormatTextDate(const Asn1Item& time, char* out) {
  const std::uint8_t* text;
  std::int32_t length;
  std::uint32_t tag;
  if (!kcertadm::TimeText(time, &text, &length, &tag)) return false;
  char pairs[5][3];
  for (int i = 0; i < 5; ++i) {
    pairs[i][0] = static_cast<char>(text[2 * i]);
    pairs[i][1] = static_cast<char>(text[2 * i + 1]);
    pairs[i][2] = '\0';
  }
  const std::string formatted =
      kcertadm::HostFormat("%s-%s-%s %s:%s GMT", pairs[1], pairs[2], pairs[0], pairs[3], pairs[4]);
  std::memcpy(out, formatted.c_str(), formatted.size() + 1);  // always 18 + NUL
  return true;
}

}  // namespace

std::string kcertadm::TimeReportText(const Asn1Item& time) {
  char twoDigitYear[kTextDateSize];
  if (!FormatTextDate(time, twoDigitYear)) return {};
  const std::uint8_t* text;
  std::int32_t length;
  std::uint32_t tag;
  TimeText(time, &text, &length, &tag);
  const int year = FullYear(text, tag);
  if (year >= 1900 + kFirstUtcYearOf1900s && year < 2000 + kFirstUtcYearOf1900s)
    return twoDigitYear;
  std::string wide = twoDigitYear;
  return wide.insert(6, std::to_string(year / 100));
}

std::int32_t kcertadm::FormatValidityDates(CertFields* fields, char* startText, char* endText,
                                           std::uint32_t* error) {
  if (fields == nullptr || startText == nullptr || endText == nullptr ||
      kcertadm::DecodeValidity(fields, error) != 0 ||
      !FormatTextDate(fields->notBefore, startText) || !FormatTextDate(fields->notAfter, endText)) {
    if (error != nullptr) *error = kcertadm::kMsgBadCertificate;
    return -1;
  }
  return 0;
}
