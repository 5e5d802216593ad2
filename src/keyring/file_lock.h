// Cross-process exclusion for a key ring file. A process that changes a key
// ring holds this lock from before it opens the ring until after it has
// written it back, so that two processes changing one ring cannot lose each
// other's update. Readers need not take it: the ring file is always replaced
// whole (file_replace.h), so a reader sees the old or the new file.
//
// The lock is an flock on a lock file beside the ring ("<ring>.lock",
// created owner-only and never removed, since removing it would let two
// processes lock two different files). The ring itself cannot carry the
// lock because every write replaces it with a new file.
#pragma once

#include <string>

namespace kcertadm {

class KeyRingFileLock {
 public:
  // Waits for the lock of the ring at ringPath. A lock file that cannot be
  // created (read-only directory) leaves the lock not held: Held() is false
  // and the caller goes on as before.
  explicit KeyRingFileLock(const std::string& ringPath);
  ~KeyRingFileLock();
  KeyRingFileLock(const KeyRingFileLock&) = delete;
  KeyRingFileLock& operator=(const KeyRingFileLock&) = delete;

  bool Held() const { return fd_ >= 0; }

  static std::string LockFileName(const std::string& ringPath) { return ringPath + ".lock"; }

 private:
  int fd_ = -1;
};

}  // namespace kcertadm
