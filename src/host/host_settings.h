// Host settings and the host data directory. Settings are environment
// variables of the process, read under their own names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kcertadm {

// The setting's value, or none when it is not set.
std::optional<std::string> HostReadSetting(const char* name);

// Buffer form: copies at most size - 1 bytes of the value and terminates the
// buffer. Returns true when the setting exists (even if it was cut).
bool HostReadSetting(const char* name, char* buffer, std::size_t size);

// The setting as a decimal number (optional sign, blanks around it allowed).
// Returns `fallback` when the setting is absent, empty, not a number or out
// of the 32-bit range.
std::int32_t HostReadSettingNumber(const char* name, std::int32_t fallback);

// The host data directory: KCERTADM_DATA_DIR, or "." when it is unset or
// empty. Never ends in "/" unless it is the root directory.
std::string HostGetDataDirectory();

// Joins a directory and a file name with one "/".
std::string HostJoinPath(std::string_view directory, std::string_view name);

}  // namespace kcertadm
