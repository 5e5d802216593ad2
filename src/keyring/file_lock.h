// Cross-process exclusion for a key ring file. A command holds this lock
// from before it opens (or creates) the ring until after it has written it
// back, so that two processes changing one ring cannot lose each other's
// update and two processes creating one ring cannot both believe they made
// it. Commands that only read take it too: a ring and its stash file are
// replaced one after the other, and a reader in between would pair the new
// ring with the old stash and fail on the password.
//
// The lock is an flock on a lock file beside the ring ("<ring>.lock",
// created owner-only). The ring itself cannot carry the lock because every
// write replaces it with a new file. A ring reached through a symbolic link
// is locked where it lies, as it is written there. The lock file exists
// only beside a ring: it is taken for a ring that exists or is being
// created, and the holder that leaves no ring behind (a creation that
// failed) removes it. Since a lock file may so vanish, whoever takes the
// lock checks that the name still leads to the file it locked, and starts
// again otherwise; two processes never hold two different lock files.
//
// Whoever takes the lock first removes what killed writers left behind: the
// temporary files of the ring and of its stash (file_replace.h). No writer
// that honours the lock can be using them at that moment.
#pragma once

#include <string>

namespace kcertadm {

class KeyRingFileLock {
 public:
  // Waits for the lock of the ring at ringPath. A lock file that cannot be
  // created (read-only directory) leaves the lock not held: Held() is false
  // and the caller goes on as before.
  explicit KeyRingFileLock(const std::string& ringPath);
  // Releases the lock; removes the lock file when no ring is there.
  ~KeyRingFileLock();
  KeyRingFileLock(const KeyRingFileLock&) = delete;
  KeyRingFileLock& operator=(const KeyRingFileLock&) = delete;

  bool Held() const { return fd_ >= 0; }

  static std::string LockFileName(const std::string& ringPath) { return ringPath + ".lock"; }
  // True when ringPath names a regular file (through a link or not): a ring
  // that a command may lock.
  static bool RingExists(const std::string& ringPath);

 private:
  std::string ring_;
  int fd_ = -1;
};

// Removes the temporary files that replacements of the ring at ringPath or
// of its stash file never finished (RemoveStaleTemporariesOf). Returns how
// many were removed. Call it only while holding the ring's lock.
int RemoveStaleTemporaries(const std::string& ringPath);

}  // namespace kcertadm
