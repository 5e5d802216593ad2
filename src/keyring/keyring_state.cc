#include "keyring/keyring_state.h"

#include "keyring/keyring_status.h"

namespace kcertadm {

KeyRingState& InMemoryKeyRing(const KeyRingGuard& /*held*/) {
  static KeyRingState state;
  return state;
}

std::size_t KeyRingRecordSize(const KeyRingEntry& e, std::size_t protectedLength) {
  return kKeyRingRecordHeader + e.label.size() + e.subjectName.size() + protectedLength +
         e.publicKey.size() + e.privateKey.size() + e.certificates.size() + e.auxiliaryData.size();
}

KeyRingStatus KeyRingEntryStorable(const KeyRingEntry& entry) {
  if (!KeyRingEntryFieldsFit(entry)) return kKeyRingBadFormat;
  // Protected data grows by its padding when it is encrypted.
  std::size_t stored = entry.protectedData.empty() ? 0 : (entry.protectedData.size() / 8 + 1) * 8;
  if (KeyRingRecordSize(entry, stored) > kKeyRingRecordBuffer) return kKeyRingShortWrite;
  return kKeyRingOk;
}

}  // namespace kcertadm
