#include "expiry_check.h"

namespace kcertadm::cli {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t FloorDays(std::int64_t seconds) {
  std::int64_t days = seconds / kSecondsPerDay;
  if (seconds % kSecondsPerDay < 0) --days;
  return days;
}

std::string Counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " certificate" + (count == 1 ? one : many);
}

}  // namespace

ExpiryVerdict ClassifyExpiry(std::optional<std::int64_t> notAfter, std::int64_t now, int days) {
  if (!notAfter) return {};
  const std::int64_t left = *notAfter - now;
  ExpiryVerdict verdict;
  verdict.daysLeft = FloorDays(left);
  if (left < 0) {
    verdict.state = ExpiryState::kExpired;
  } else if (left <= std::int64_t{days} * kSecondsPerDay) {
    verdict.state = ExpiryState::kExpiring;
  } else {
    verdict.state = ExpiryState::kValid;
  }
  return verdict;
}

PluginStatus StatusOf(const ExpiryCounts& counts) {
  if (counts.expired > 0) return PluginStatus::kCritical;
  if (counts.unreadable > 0) return PluginStatus::kUnknown;
  if (counts.expiring > 0) return PluginStatus::kWarning;
  return PluginStatus::kOk;
}

const char* StatusName(PluginStatus status) {
  switch (status) {
    case PluginStatus::kOk:
      return "OK";
    case PluginStatus::kWarning:
      return "WARNING";
    case PluginStatus::kCritical:
      return "CRITICAL";
    case PluginStatus::kUnknown:
      break;
  }
  return "UNKNOWN";
}

std::string StatusLine(const ExpiryCounts& counts, int days) {
  const std::string window = " within " + std::to_string(days) + (days == 1 ? " day" : " days");
  std::string line = std::string("KCERTADM EXPIRY ") + StatusName(StatusOf(counts)) + " - ";
  if (counts.expired + counts.expiring + counts.unreadable == 0) {
    return line + "no certificate expires" + window;
  }
  std::string parts;
  const auto add = [&](const std::string& part) { parts += (parts.empty() ? "" : ", ") + part; };
  if (counts.expired > 0) add(Counted(counts.expired, " has expired", "s have expired"));
  if (counts.expiring > 0) add(Counted(counts.expiring, " expires", "s expire") + window);
  if (counts.unreadable > 0) {
    add(Counted(counts.unreadable, " has an unreadable end date", "s have unreadable end dates"));
  }
  return line + parts;
}

std::optional<int> ParseExpiryDays(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int days = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    days = days * 10 + (c - '0');
  }
  if (days > kMaxExpiryDays) return std::nullopt;
  return days;
}

const char* StateName(ExpiryState state) {
  switch (state) {
    case ExpiryState::kValid:
      return "valid";
    case ExpiryState::kExpiring:
      return "expiring";
    case ExpiryState::kExpired:
      return "expired";
    case ExpiryState::kUnreadable:
      break;
  }
  return "unreadable";
}

}  // namespace kcertadm::cli
