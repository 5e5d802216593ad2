// Tests state the outcomes of key ring operations as the numbers stored
// files, peers and callers see (4: wrong password, 12: no entry for the
// certificate, ...). These let a typed status be compared with, and
// printed as, its number.
#pragma once

#include <ostream>

#include "keyring/certificate_verification.h"
#include "keyring/keyring_status.h"

namespace kcertadm {

inline bool operator==(KeyRingStatus status, int number) {
  return KeyRingStatusNumber(status) == number;
}

inline std::ostream& operator<<(std::ostream& out, KeyRingStatus status) {
  return out << KeyRingStatusNumber(status);
}

inline std::ostream& operator<<(std::ostream& out, VerifyStatus status) {
  return out << VerifyStatusNumber(status);
}

}  // namespace kcertadm
