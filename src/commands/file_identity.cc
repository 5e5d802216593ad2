#include "commands/file_identity.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <memory>
#include <optional>

#include "keyring/stash.h"

namespace kcertadm {
namespace {

struct StatResult {
  dev_t device;
  ino_t inode;
};

std::optional<StatResult> StatFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return StatResult{st.st_dev, st.st_ino};
}

std::optional<std::string> Canonical(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

// The directory, canonical when it exists, joined with the last component.
std::string CanonicalName(const std::string& path) {
  std::string directory = ".";
  std::string name = path;
  if (const std::size_t slash = path.rfind('/'); slash != std::string::npos) {
    directory = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
  const std::string base = Canonical(directory).value_or(directory);
  return base == "/" ? "/" + name : base + "/" + name;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  const std::optional<StatResult> first = StatFile(a);
  const std::optional<StatResult> second = StatFile(b);
  if (first && second) return first->device == second->device && first->inode == second->inode;
  if (first || second) return false;
  return CanonicalName(a) == CanonicalName(b);
}

bool NamesKeyRingFile(const SecurityCmdContext& context, const char* path) {
  if (path == nullptr || context.keyFile == nullptr) return false;
  const std::string keyFile = context.keyFile;
  return SameFile(path, keyFile) || SameFile(path, StashFileName(keyFile));
}

}  // namespace kcertadm
