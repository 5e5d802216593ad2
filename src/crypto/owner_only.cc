#include "crypto/owner_only.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace kcertadm {
namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

// open(2) flags for an fopen() mode string; false when the mode is not one.
bool FlagsForMode(const char* mode, int* flags) {
  if (mode == nullptr) return false;
  const bool update = std::strchr(mode, '+') != nullptr;
  switch (mode[0]) {
    case 'r': *flags = update ? O_RDWR : O_RDONLY; return true;
    case 'w': *flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; return true;
    case 'a': *flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; return true;
    default: return false;
  }
}

}  // namespace

int RestrictFileToOwner(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0) return 0;
  if ((status.st_mode & 07777) == kOwnerOnly) return 1;
  return fchmod(fd, kOwnerOnly) == 0 ? 1 : 0;
}

int RestrictFileToOwner(const char* path) {
  return path != nullptr && chmod(path, kOwnerOnly) == 0 ? 1 : 0;
}

std::FILE* OpenOwnerOnly(const char* path, const char* mode) {
  int flags = 0;
  if (path == nullptr || !FlagsForMode(mode, &flags)) {
    errno = EINVAL;
    return nullptr;
  }
  const int fd = open(path, flags | O_CLOEXEC, kOwnerOnly);
  if (fd < 0) return nullptr;
  if ((flags & O_ACCMODE) != O_RDONLY) RestrictFileToOwner(fd);
  std::FILE* file = fdopen(fd, mode);
  if (file == nullptr) {
    const int saved = errno;
    close(fd);
    errno = saved;
  }
  return file;
}

}  // namespace kcertadm
