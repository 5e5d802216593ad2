// Status codes of the key ring operations. Callers translate them into
// message numbers; only message numbers reach the host.
#pragma once

namespace kcertadm {

// A key ring operation's outcome. Besides its own codes it passes on, as
// they are, the negative status of a certificate that does not decode and
// the toolkit's status of a failed field encryption (FromNumber).
// clang-format off
enum class [[nodiscard]] KeyRingStatus : int {
  kOk = 0,
  kTruncated = 1,      // header or record body cut short
  kCannotOpen = 2,     // file cannot be opened, or is no regular file
  kBadFormat = 3,      // bad magic, marker, trailer; unusable data
  kWrongPassword = 4,  // check value or private key refuses the password
  kNoMemory = 5,
  kShortWrite = 7,        // write failed, or a record does not fit
  kNoEntry = 8,           // no entry with that label or key
  kNoMatchingEntry = 12,  // certificate matches no entry, no label given
  kSubjectInUse = 14,     // subject name held under another label
};
// clang-format on

inline constexpr KeyRingStatus kKeyRingOk = KeyRingStatus::kOk;
inline constexpr KeyRingStatus kKeyRingTruncated = KeyRingStatus::kTruncated;
inline constexpr KeyRingStatus kKeyRingCannotOpen = KeyRingStatus::kCannotOpen;
inline constexpr KeyRingStatus kKeyRingBadFormat = KeyRingStatus::kBadFormat;
inline constexpr KeyRingStatus kKeyRingWrongPassword = KeyRingStatus::kWrongPassword;
inline constexpr KeyRingStatus kKeyRingNoMemory = KeyRingStatus::kNoMemory;
inline constexpr KeyRingStatus kKeyRingShortWrite = KeyRingStatus::kShortWrite;
inline constexpr KeyRingStatus kKeyRingNoEntry = KeyRingStatus::kNoEntry;
inline constexpr KeyRingStatus kKeyRingNoMatchingEntry = KeyRingStatus::kNoMatchingEntry;
inline constexpr KeyRingStatus kKeyRingSubjectInUse = KeyRingStatus::kSubjectInUse;

// The number a key ring status has where it leaves the library's commands
// (a handler's result) and in the key ring Parts of the design.
constexpr int KeyRingStatusNumber(KeyRingStatus status) { return static_cast<int>(status); }

// A lower layer's status passed on as the key ring's: a certificate's
// decoding status, the toolkit's status of an encryption.
constexpr KeyRingStatus KeyRingStatusFromNumber(int number) {
  return static_cast<KeyRingStatus>(number);
}

constexpr bool Succeeded(KeyRingStatus status) { return status == KeyRingStatus::kOk; }

}  // namespace kcertadm
