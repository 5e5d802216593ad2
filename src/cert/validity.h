// Validity times: decoding, comparing as text, checking against the clock,
// building the period of a new certificate, and the text form for the host.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "kcertadm.h"

namespace kcertadm {

struct SigningKey;

// Comparable form of a time: a century digit (0 for the 1900s, 1 for the
// 2000s; UTCTime years 50-99 are 1950-1999 and 00-49 are 2000-2049, as RFC
// 5280 reads them), then the time text with a two-digit year. The current time has no seconds:
// "%03d%02d%02d%02d%02dZ" of years since 1900, month, day, hour and minute.
inline constexpr std::size_t kComparableTimeSize = 17;  // 16 characters and a NUL
using ComparableTime = char[kComparableTimeSize];

// Shortest and longest time text kept: the text form reads ten characters
// (YYMMDDHHMM), which must be digits; the comparable form holds sixteen.
inline constexpr std::int32_t kMinTimeText = 10;

// Decodes fields->validity into notBefore and notAfter (UTCTime or
// GeneralizedTime each). 0, or -1 with 30046.
int DecodeValidity(CertFields* fields, std::uint32_t* error);

// The comparable form of a time element (tag, length, content). False for an
// element that is not a time, or whose text is too short or too long.
bool TimeToComparable(const Asn1Item& time, ComparableTime out);

// The report form of a time element: "MM-DD-YY HH:MM GMT" for a year from
// 1950 to 2049 (all that UTCTime holds), "MM-DD-YYYY HH:MM GMT" for any
// other, so that two digits always mean the RFC 5280 window. Empty for an
// element that is not a readable time.
std::string TimeReportText(const Asn1Item& time);

// The comparable form of a moment.
void NowToComparable(std::time_t now, ComparableTime out);

// Compares the element's comparable form with a comparable string: negative,
// 0 or positive. An element that is not a readable time sets 30046 and
// returns 0.
int CompareTime(const Asn1Item& time, const char* comparable, std::uint32_t* error);

// 0 when the certificate is valid at that moment (both ends inclusive, to
// the minute); -1 with 30062 (not yet valid), 30063 (expired) or 30046.
int CheckValidityAt(CertFields* fields, std::time_t now, std::uint32_t* error);
int CheckValidityNow(CertFields* fields, std::uint32_t* error);

// Fills key->validityDer with notBefore = the date twelve hours before now at
// 00:00:00 and notAfter = that date plus days at 23:59:00. Years from 2050
// on are written as GeneralizedTime. With an
// issuer certificate in the key, an end after the issuer's gives 30075 (an
// unreadable issuer certificate 30046). 0 or -1.
int BuildValidityAt(SigningKey* key, std::int32_t days, std::time_t now, std::uint32_t* error);
int BuildValidity(SigningKey* key, std::int32_t days, std::uint32_t* error);

// The exported GetTextDates (kcertadm.h says what it does).
std::int32_t FormatValidityDates(CertFields* fields, char* startText, char* endText,
                                 std::uint32_t* error);

}  // namespace kcertadm
