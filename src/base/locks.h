// The three process-wide locks. Order: KeyRingLock, then RandomLock, then
// ToolkitLock. KeyRingLock may be taken again by the thread that holds it.
#pragma once

#include <mutex>

namespace kcertadm {

std::recursive_mutex& KeyRingLock();
std::mutex& RandomLock();
std::mutex& ToolkitLock();

// Scoped holders, so that no path forgets to release.
class KeyRingGuard {
 public:
  KeyRingGuard() : lock_(KeyRingLock()) {}

 private:
  std::lock_guard<std::recursive_mutex> lock_;
};

class RandomGuard {
 public:
  RandomGuard() : lock_(RandomLock()) {}

 private:
  std::lock_guard<std::mutex> lock_;
};

class ToolkitGuard {
 public:
  ToolkitGuard() : lock_(ToolkitLock()) {}

 private:
  std::lock_guard<std::mutex> lock_;
};

}  // namespace kcertadm
