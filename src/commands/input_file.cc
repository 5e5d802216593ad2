#include "commands/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "commands/cert_files.h"

namespace kcertadm {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

// At most limit + 1 bytes of fd: one byte more than allowed is enough to
// know the input is too large.
bool ReadAtMostLimit(int fd, std::vector<char>& bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  const std::size_t limit = kMaxCertificateFileSize;
  if (S_ISREG(st.st_mode) && static_cast<std::uintmax_t>(st.st_size) > limit) return false;
  std::size_t size = 0;
  bytes.resize(S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) + 1 : kChunk);
  while (size <= limit) {
    if (size == bytes.size()) bytes.resize(std::min(bytes.size() + bytes.size() / 2 + kChunk, limit + 1));
    const ssize_t n = ::read(fd, bytes.data() + size, bytes.size() - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  if (size > limit) return false;
  bytes.resize(size);
  return true;
}

struct MemoryInput {
  std::vector<char> bytes;
  std::size_t position = 0;
};

ssize_t ReadMemory(void* cookie, char* out, std::size_t n) {
  auto* input = static_cast<MemoryInput*>(cookie);
  const std::size_t count = std::min(n, input->bytes.size() - input->position);
  std::memcpy(out, input->bytes.data() + input->position, count);
  input->position += count;
  return static_cast<ssize_t>(count);
}

int SeekMemory(void* cookie, off64_t* offset, int whence) {
  auto* input = static_cast<MemoryInput*>(cookie);
  off64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<off64_t>(input->position);
  if (whence == SEEK_END) base = static_cast<off64_t>(input->bytes.size());
  const off64_t target = base + *offset;
  if (target < 0 || target > static_cast<off64_t>(input->bytes.size())) return -1;
  input->position = static_cast<std::size_t>(target);
  *offset = target;
  return 0;
}

int CloseMemory(void* cookie) {
  delete static_cast<MemoryInput*>(cookie);
  return 0;
}

}  // namespace

FilePtr OpenBoundedInput(const char* path, InputProblem& problem) {
  problem = InputProblem::kCannotOpen;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto* input = new MemoryInput;
  const bool read = ReadAtMostLimit(fd, input->bytes);
  ::close(fd);
  problem = InputProblem::kCannotRead;
  if (!read) {
    delete input;
    return nullptr;
  }
  FilePtr file(::fopencookie(input, "r", {ReadMemory, nullptr, SeekMemory, CloseMemory}));
  if (!file) {
    delete input;
    return nullptr;
  }
  problem = InputProblem::kNone;
  return file;
}

}  // namespace kcertadm
