#include "base/locks.h"

namespace kcertadm {

std::recursive_mutex& KeyRingLock() {
  static std::recursive_mutex lock;
  return lock;
}

std::mutex& RandomLock() {
  static std::mutex lock;
  return lock;
}

std::mutex& ToolkitLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace kcertadm
