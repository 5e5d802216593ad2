#include "keyring/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "host/owner_only.h"

namespace kcertadm {
namespace {

constexpr std::string_view kTemporaryMarker = ".kctmp-";
constexpr std::size_t kRandomPartLength = 6;
constexpr int kNameAttempts = 100;

std::atomic<long long> writeBudget{-1};
std::atomic<ReplaceFault> injectedFault{ReplaceFault::kNone};
std::atomic<std::uint64_t> nameCounter{0};

bool Injected(ReplaceFault fault) { return injectedFault.load() == fault; }

// Takes n bytes from the test budget; false once it runs out.
bool TakeFromBudget(std::size_t& n) {
  long long budget = writeBudget.load();
  if (budget < 0) return true;
  if (static_cast<long long>(n) <= budget) {
    writeBudget = budget - static_cast<long long>(n);
    return true;
  }
  n = static_cast<std::size_t>(budget);
  writeBudget = 0;
  return false;
}

// The directory part ("." when none) and the last component of a path.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

void SyncDirectoryOf(const std::string& path) {
  int fd = ::open(SplitPath(path).first.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Six letters or digits that differ between calls, processes and moments.
// They need to be unique, not secret: the file is created exclusively.
std::string RandomPart() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t x = nameCounter.fetch_add(1) * 0x9E3779B97F4A7C15ull ^
                    static_cast<std::uint64_t>(::getpid()) << 40 ^
                    static_cast<std::uint64_t>(now.tv_nsec) ^
                    static_cast<std::uint64_t>(now.tv_sec) << 30;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;  // splitmix64 finaliser
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  std::string part;
  for (std::size_t i = 0; i < kRandomPartLength; ++i, x /= sizeof kAlphabet - 1) {
    part += kAlphabet[x % (sizeof kAlphabet - 1)];
  }
  return part;
}

// Creates a new temporary beside target with the given mode (less the
// umask); its name goes to name. -1 when none could be created.
int CreateTemporary(const std::string& target, mode_t mode, std::string& name) {
  const auto [directory, base] = SplitPath(target);
  const std::string prefix = directory + "/." + base + std::string(kTemporaryMarker);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = prefix + RandomPart();
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// True when name (a directory entry) is a temporary CreateTemporary makes
// for the file named base.
bool IsTemporaryNameOf(std::string_view name, std::string_view base) {
  const std::size_t prefix = 1 + base.size() + kTemporaryMarker.size();
  if (base.empty() || name.size() != prefix + kRandomPartLength || name[0] != '.' ||
      name.substr(1, base.size()) != base ||
      name.substr(1 + base.size(), kTemporaryMarker.size()) != kTemporaryMarker) {
    return false;
  }
  for (char c : name.substr(prefix)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Gives the temporary the old file's owner (where the caller may), group
// and permission bits. Without the old group the group bits are dropped.
void TakeOverAttributes(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  struct stat now {};
  mode_t mode = old.st_mode & 0777;
  if (::fstat(fd, &now) != 0 || now.st_gid != old.st_gid) mode &= ~static_cast<mode_t>(S_IRWXG);
  // Should the mode not change, the temporary keeps the owner-only mode it
  // was created with: the new file is never more open than the old one.
  [[maybe_unused]] const int modeSet = ::fchmod(fd, mode);
}

}  // namespace

std::string ResolveFileLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

bool FileWriter::Write(const void* data, std::size_t n) {
  bool whole = TakeFromBudget(n);
  auto* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ssize_t done = ::write(fd_, p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= static_cast<std::size_t>(done);
  }
  return whole;
}

FileReplacement::FileReplacement(const std::string& path, NewFileAccess access)
    : target_(ResolveFileLink(path)) {
  struct stat old {};
  const bool replacing = ::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // Until it has the old file's attributes the temporary is the owner's alone.
  const bool ownerOnly = replacing || access == NewFileAccess::kOwnerOnly;
  fd_ = CreateTemporary(target_, ownerOnly ? S_IRUSR | S_IWUSR : 0666, temporary_);
  if (fd_ < 0) return;
  if (replacing) {
    TakeOverAttributes(fd_, old);
  } else if (access == NewFileAccess::kOwnerOnly) {
    // Created owner-only already; this only says so again where a file
    // system would have widened the mode.
    [[maybe_unused]] const int restricted = RestrictFileToOwner(fd_);
  }
}

FileReplacement::~FileReplacement() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temporary_.c_str());
}

ReplaceStatus FileReplacement::Commit() {
  if (fd_ < 0) return ReplaceStatus::kCannotCreate;
  bool committed = !Injected(ReplaceFault::kSync) && ::fsync(fd_) == 0;
  committed = ::close(std::exchange(fd_, -1)) == 0 && committed;
  committed = committed && !Injected(ReplaceFault::kRename) &&
              ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!committed) {
    ::unlink(temporary_.c_str());
    return ReplaceStatus::kCannotCommit;
  }
  SyncDirectoryOf(target_);
  return ReplaceStatus::kReplaced;
}

int RemoveStaleTemporariesOf(const std::string& path) {
  const auto [directory, base] = SplitPath(path);
  const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* listing = ::fdopendir(dirFd);
  if (listing == nullptr) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(listing)) {
    if (!IsTemporaryNameOf(entry->d_name, base)) continue;
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

ReplaceStatus ReplaceFile(const std::string& path, const std::function<bool(FileWriter&)>& fill) {
  FileReplacement replacement(path, NewFileAccess::kOwnerOnly);
  if (replacement.fd() < 0) return ReplaceStatus::kCannotCreate;
  FileWriter writer(replacement.fd());
  if (!fill(writer)) return ReplaceStatus::kAbandoned;
  return replacement.Commit();
}

bool ReplaceFileContents(const std::string& path, const std::function<bool(FileWriter&)>& fill) {
  return ReplaceFile(path, fill) == ReplaceStatus::kReplaced;
}

void SetWriteFailureAfterForTesting(long long bytes) { writeBudget = bytes; }

void SetReplaceFaultForTesting(ReplaceFault fault) { injectedFault = fault; }

}  // namespace kcertadm
