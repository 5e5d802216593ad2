// Certificate times as moments: UTCTime and GeneralizedTime elements read
// into seconds since 1970-01-01T00:00:00Z, and written as RFC 3339.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kcertadm.h"

namespace kcertadm::cli {

// The moment of a time element (tag, length, content), UTCTime years 50-99
// being 1950-1999 and 00-49 2000-2049. Seconds may be left out (0); a
// "+hhmm" or "-hhmm" offset is taken off; a time without "Z" or offset is
// read as UTC. None for an element that is not such a time or names a day,
// hour, minute or second that does not exist.
std::optional<std::int64_t> CertificateTimeSeconds(const Asn1Item& time);

// Seconds since the epoch of a UTC calendar time; the month is 1-12.
std::int64_t SecondsOfUtc(int year, int month, int day, int hour, int minute, int second);

// "YYYY-MM-DDTHH:MM:SSZ"; empty for a moment outside the years 0000-9999.
std::string Rfc3339(std::int64_t seconds);

}  // namespace kcertadm::cli
