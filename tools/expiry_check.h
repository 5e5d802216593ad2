// CheckExpiry's verdicts: which certificates have expired or expire within
// the window, and the monitoring-plugin status (exit code and first line)
// that sums them up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kcertadm::cli {

inline constexpr int kDefaultExpiryDays = 30;
inline constexpr int kMaxExpiryDays = 36500;  // a hundred years

// Exit codes of the monitoring-plugin convention (Nagios, Icinga).
enum class PluginStatus { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

enum class ExpiryState {
  kValid,       // ends after the window
  kExpiring,    // ends within it: now <= end <= now + days
  kExpired,     // ended: end < now
  kUnreadable,  // the end date cannot be read
};

struct ExpiryVerdict {
  ExpiryState state = ExpiryState::kUnreadable;
  // Whole days from now to the end, rounded down (-1 for a certificate
  // that ended a second ago); 0 when unreadable.
  std::int64_t daysLeft = 0;
};

// notAfter and now in seconds since the epoch; days is the window.
ExpiryVerdict ClassifyExpiry(std::optional<std::int64_t> notAfter, std::int64_t now, int days);

struct ExpiryCounts {
  int expired = 0;
  int expiring = 0;
  int unreadable = 0;
};

// CRITICAL when one has expired, else UNKNOWN when an end date could not be
// read, else WARNING when one expires within the window, else OK.
PluginStatus StatusOf(const ExpiryCounts& counts);

const char* StatusName(PluginStatus status);

// "KCERTADM EXPIRY WARNING - 1 certificate expires within 30 days", and the
// other counts after it.
std::string StatusLine(const ExpiryCounts& counts, int days);

// The number of days of a Days= value: decimal digits only, at most
// kMaxExpiryDays; none otherwise.
std::optional<int> ParseExpiryDays(std::string_view text);

const char* StateName(ExpiryState state);  // "expired", "expiring", ...

}  // namespace kcertadm::cli
