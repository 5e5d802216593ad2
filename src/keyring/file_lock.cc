#include "keyring/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kcertadm {

KeyRingFileLock::KeyRingFileLock(const std::string& ringPath) {
  const std::string name = LockFileName(ringPath);
  int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
  if (fd < 0) return;
  int status;
  do {
    status = ::flock(fd, LOCK_EX);
  } while (status != 0 && errno == EINTR);
  if (status != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

KeyRingFileLock::~KeyRingFileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}

}  // namespace kcertadm
