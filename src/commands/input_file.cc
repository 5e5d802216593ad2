#include "commands/input_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "commands/cert_files.h"
#include "host/regular_file.h"

namespace kcertadm {
namespace {

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
  auto input = std::make_unique<MemoryInput>();
  const FileReadStatus status = ReadRegularFile(path, kMaxCertificateFileSize, input->bytes);
  problem =
      status == FileReadStatus::kCannotOpen ? InputProblem::kCannotOpen : InputProblem::kCannotRead;
  if (status != FileReadStatus::kOk) return nullptr;
  FilePtr file(::fopencookie(input.get(), "r", {ReadMemory, nullptr, SeekMemory, CloseMemory}));
  if (!file) return nullptr;
  input.release();  // the stream owns it now
  problem = InputProblem::kNone;
  return file;
}

}  // namespace kcertadm
