#include "keyring/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "keyring/file_replace.h"
#include "keyring/stash.h"

namespace kcertadm {
namespace {

// True when name still leads to the open file fd.
bool StillNames(int fd, const std::string& name) {
  struct stat open {
  }, named{};
  return ::fstat(fd, &open) == 0 && ::stat(name.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Opens (creating) and locks the lock file; -1 when it cannot.
int OpenAndLock(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
  if (fd < 0) return -1;
  int status;
  do {
    status = ::flock(fd, LOCK_EX);
  } while (status != 0 && errno == EINTR);
  if (status == 0) return fd;
  ::close(fd);
  return -1;
}

}  // namespace

KeyRingFileLock::KeyRingFileLock(const std::string& ringPath) : ring_(ResolveFileLink(ringPath)) {
  const std::string name = LockFileName(ring_);
  int fd;
  // The holder before us may have removed the file we waited on.
  while ((fd = OpenAndLock(name)) >= 0 && !StillNames(fd, name)) ::close(fd);
  if (fd < 0) return;
  fd_ = fd;
  RemoveStaleTemporaries(ringPath);
}

KeyRingFileLock::~KeyRingFileLock() {
  if (fd_ < 0) return;
  const std::string name = LockFileName(ring_);
  if (!RingExists(ring_) && StillNames(fd_, name)) ::unlink(name.c_str());
  ::close(fd_);  // closing releases the flock
}

bool KeyRingFileLock::RingExists(const std::string& ringPath) {
  struct stat st {};
  return ::stat(ringPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int RemoveStaleTemporaries(const std::string& ringPath) {
  return RemoveStaleTemporariesOf(ResolveFileLink(ringPath)) +
         RemoveStaleTemporariesOf(ResolveFileLink(StashFileName(ringPath)));
}

}  // namespace kcertadm
