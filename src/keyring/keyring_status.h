// Status codes of the key ring operations. Callers translate them into
// message numbers; only message numbers reach the host.
#pragma once

namespace kcertadm {

inline constexpr int kKeyRingOk = 0;
inline constexpr int kKeyRingTruncated = 1;      // header or record body cut short
inline constexpr int kKeyRingCannotOpen = 2;     // file cannot be opened, or is no regular file
inline constexpr int kKeyRingBadFormat = 3;      // bad magic, marker, trailer; unusable data
inline constexpr int kKeyRingWrongPassword = 4;  // check value or private key refuses the password
inline constexpr int kKeyRingNoMemory = 5;
inline constexpr int kKeyRingShortWrite = 7;        // write failed, or a record does not fit
inline constexpr int kKeyRingNoEntry = 8;           // no entry with that label or key
inline constexpr int kKeyRingNoMatchingEntry = 12;  // certificate matches no entry, no label given
inline constexpr int kKeyRingSubjectInUse = 14;     // subject name held under another label

}  // namespace kcertadm
