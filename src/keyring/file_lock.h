// Cross-process exclusion for a key ring file. A command holds this lock
// from before it opens (or creates) the ring until after it has written it
// back, so that two processes changing one ring cannot lose each other's
// update and two processes creating one ring cannot both believe they made
// it. Commands that only read take it too: a ring and its stash file are
// replaced one after the other, and a reader in between would pair the new
// ring with the old stash and fail on the password.
//
// The lock is an flock on a lock file beside the ring ("<ring>.lock",
// created owner-only and never removed, since removing it would let two
// processes lock two different files). The ring itself cannot carry the
// lock because every write replaces it with a new file. A ring reached
// through a symbolic link is locked where it lies, as it is written there.
//
// Whoever takes the lock first removes what killed writers left behind: the
// temporary files "<ring>.XXXXXX" and "<ring>.sth.XXXXXX" of file_replace.h.
// No writer that honours the lock can be using them at that moment.
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

// Removes the temporary files left beside the ring by replacements that
// never finished: regular files named "<ring>.XXXXXX" or
// "<ring>.sth.XXXXXX" (six letters or digits) in the ring's directory.
// Symbolic links and other names are left alone. Returns how many were
// removed. Call it only while holding the ring's lock.
int RemoveStaleTemporaries(const std::string& ringPath);

}  // namespace kcertadm
