#include "commands/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <utility>

#include "host/owner_only.h"

namespace kcertadm {
namespace {

// Devices, pipes and the process's own streams cannot be replaced.
bool MustWriteInPlace(const std::string& path) {
  const std::string_view name = path;
  if (name.starts_with("/dev/") || name.starts_with("/proc/")) return true;
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
  return ::faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0;
}

bool MayWrite(const std::string& path) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// A stream onto a fresh descriptor of fd; null when none.
std::FILE* StreamOnCopyOf(int fd) {
  const int copy = ::dup(fd);
  if (copy < 0) return nullptr;
  std::FILE* file = ::fdopen(copy, "w");
  if (file == nullptr) ::close(copy);
  return file;
}

}  // namespace

OutputFile::Memory::~Memory() { std::free(data); }

OutputFile::OutputFile(const std::string& path, NewFileAccess access) : path_(path) {
  const bool exists = Exists(path);
  // Replacing a file may not do more than truncating it could.
  if (exists && !MayWrite(path)) return;
  if (MustWriteInPlace(path)) {
    OpenInMemory();
    return;
  }
  const bool ownerOnly = access == NewFileAccess::kOwnerOnly;
  auto replacement = std::make_unique<FileReplacement>(path, access);
  if (replacement->fd() < 0) {
    // A directory closed to new files; a key is not written into a file
    // whose mode others may read.
    if (exists && !ownerOnly) OpenInMemory();
    return;
  }
  // The replaced file's mode may let others read it; a key's may not.
  if (ownerOnly && RestrictFileToOwner(replacement->fd()) == 0) return;
  file_ = StreamOnCopyOf(replacement->fd());
  if (file_ != nullptr) replacement_ = std::move(replacement);
}

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      file_(std::exchange(other.file_, nullptr)),
      replacement_(std::move(other.replacement_)),
      memory_(std::move(other.memory_)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Discard();
    path_ = std::move(other.path_);
    file_ = std::exchange(other.file_, nullptr);
    replacement_ = std::move(other.replacement_);
    memory_ = std::move(other.memory_);
  }
  return *this;
}

bool OutputFile::OpenInMemory() {
  memory_ = std::make_unique<Memory>();
  file_ = ::open_memstream(&memory_->data, &memory_->size);
  if (file_ == nullptr) memory_.reset();
  return file_ != nullptr;
}

bool OutputFile::WriteInPlace() {
  std::FILE* target = std::fopen(path_.c_str(), "w");
  if (target == nullptr) return false;
  const bool written = std::fwrite(memory_->data, 1, memory_->size, target) == memory_->size;
  return std::fclose(target) == 0 && written;
}

void OutputFile::Discard() {
  if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
  replacement_.reset();  // removes the temporary
  memory_.reset();
}

bool OutputFile::Commit() {
  if (file_ == nullptr) return false;
  const bool written = std::ferror(file_) == 0;
  bool committed = std::fclose(std::exchange(file_, nullptr)) == 0 && written;
  if (committed && replacement_) committed = replacement_->Commit() == ReplaceStatus::kReplaced;
  if (committed && memory_) committed = WriteInPlace();
  Discard();
  return committed;
}

}  // namespace kcertadm
