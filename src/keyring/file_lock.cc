#include "keyring/file_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string_view>

#include "keyring/file_replace.h"
#include "keyring/stash.h"

namespace kcertadm {
namespace {

// The directory part ("." when none) and the name part of a path.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// name is base + "." + the six letters or digits mkostemp puts there.
bool IsTemporaryOf(std::string_view name, std::string_view base) {
  constexpr std::size_t kSuffix = 7;  // ".XXXXXX"
  if (name.size() != base.size() + kSuffix || name.substr(0, base.size()) != base ||
      name[base.size()] != '.') {
    return false;
  }
  for (char c : name.substr(base.size() + 1)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

KeyRingFileLock::KeyRingFileLock(const std::string& ringPath) {
  const std::string ring = ResolveFileLink(ringPath);
  const std::string name = LockFileName(ring);
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
  RemoveStaleTemporaries(ring);
}

KeyRingFileLock::~KeyRingFileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}

int RemoveStaleTemporaries(const std::string& ringPath) {
  const auto [directory, ringName] = SplitPath(ringPath);
  const std::string stashName = SplitPath(StashFileName(ringPath)).second;
  const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* listing = ::fdopendir(dirFd);
  if (listing == nullptr) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (!IsTemporaryOf(name, ringName) && !IsTemporaryOf(name, stashName)) continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid()) {
      continue;
    }
    // unlinkat removes the name itself; it never follows a link.
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(listing);
  return removed;
}

}  // namespace kcertadm
