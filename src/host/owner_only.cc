#include "host/owner_only.h"

#include <sys/stat.h>

namespace kcertadm {
namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

}  // namespace

int RestrictFileToOwner(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0) return 0;
  if ((status.st_mode & 07777) == kOwnerOnly) return 1;
  return fchmod(fd, kOwnerOnly) == 0 ? 1 : 0;
}

}  // namespace kcertadm
