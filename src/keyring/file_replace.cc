#include "keyring/file_replace.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <vector>

#include "crypto/owner_only.h"

namespace kcertadm {
namespace {

std::atomic<long long> writeBudget{-1};
std::atomic<ReplaceFault> injectedFault{ReplaceFault::kNone};

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

void SyncDirectoryOf(const std::string& path) {
  std::string dir = ".";
  if (auto slash = path.rfind('/'); slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
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

int ReplaceFile(const std::string& givenPath, const std::function<int(FileWriter&)>& fill) {
  const std::string path = ResolveFileLink(givenPath);
  std::string pattern = path + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);  // created with mode 0600
  if (fd < 0) return kReplaceCannotCreate;
  RestrictFileToOwner(fd);
  FileWriter writer(fd);
  int status = fill(writer);
  if (status == 0 && (Injected(ReplaceFault::kSync) || ::fsync(fd) != 0)) status = kReplaceCannotCommit;
  if (::close(fd) != 0 && status == 0) status = kReplaceCannotCommit;
  if (status == 0 && (Injected(ReplaceFault::kRename) || ::rename(name.data(), path.c_str()) != 0)) {
    status = kReplaceCannotCommit;
  }
  if (status != 0) {
    ::unlink(name.data());
    return status;
  }
  SyncDirectoryOf(path);
  return 0;
}

bool ReplaceFileContents(const std::string& path, const std::function<bool(FileWriter&)>& fill) {
  return ReplaceFile(path, [&](FileWriter& w) { return fill(w) ? 0 : 1; }) == 0;
}

void SetWriteFailureAfterForTesting(long long bytes) { writeBudget = bytes; }

void SetReplaceFaultForTesting(ReplaceFault fault) { injectedFault = fault; }

}  // namespace kcertadm
