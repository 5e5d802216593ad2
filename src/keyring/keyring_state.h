// The one in-memory key ring of the process. Only the key ring units touch
// it, and only while holding KeyRingLock: reaching it takes the guard.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/locks.h"
#include "base/secure_memory.h"
#include "keyring/keyring_entry.h"
#include "keyring/keyring_status.h"

namespace kcertadm {

struct KeyRingState {
  std::vector<KeyRingEntry> entries;  // file order; additions go to the front
  std::optional<SecureString> password;
  std::uint32_t headerWord = 0;
};

KeyRingState& InMemoryKeyRing(const KeyRingGuard& held);

// Size of the record an entry would need, given the stored length of its
// protected data.
std::size_t KeyRingRecordSize(const KeyRingEntry& entry, std::size_t protectedLength);

inline constexpr std::size_t kKeyRingRecordBuffer = 8000;
inline constexpr std::size_t kKeyRingRecordHeader = 16;
inline constexpr std::size_t kKeyRingFileHeader = 16;

// Whether an entry can be stored: every field within 16 bits (else 3) and
// the record within the record buffer (else 7).
KeyRingStatus KeyRingEntryStorable(const KeyRingEntry& entry);

}  // namespace kcertadm
