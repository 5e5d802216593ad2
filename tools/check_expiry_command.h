// CheckExpiry, a command of the tool alone: the certificates of a key ring
// that have expired or expire within Days days, for cron, systemd timers
// and monitoring systems.
#pragma once

#include <cstdint>
#include <string_view>

namespace kcertadm::cli {

inline constexpr const char* kCheckExpiryCommand = "CheckExpiry";

// Opens the key ring named by parameters (KeyFile, Password or UseStash, as
// GetEntries reads them) and checks every certificate of every entry
// against now (seconds since the epoch). Prints the status line and one
// line per certificate found, or with json the JSON document, to standard
// output. Returns the plugin exit code (0 OK, 1 WARNING, 2 CRITICAL,
// 3 UNKNOWN when the key ring could not be checked).
int RunCheckExpiry(std::string_view parameters, int days, bool json, std::int64_t now);

}  // namespace kcertadm::cli
