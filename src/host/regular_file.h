// Opening the files the library reads (key rings and their template, stash
// files, certificate and request files, root bundles, message catalogues):
// only a regular file, or a symbolic link to one, is read. A FIFO would
// block its reader until some writer comes, and a device such as /dev/zero
// never ends; either would hold a key ring's lock for as long. The open
// itself never waits (O_NONBLOCK) and the opened descriptor is what is
// checked (fstat), so nothing can be swapped in between check and read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

namespace kcertadm {

enum class FileReadStatus { kOk, kCannotOpen, kNotRegular, kTooLarge, kReadError };

class RegularFile {
 public:
  // Opens path for reading when it is a regular file; otherwise the file is
  // not open and Status() tells why (kCannotOpen or kNotRegular).
  explicit RegularFile(const std::string& path);
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  FileReadStatus Status() const { return status_; }
  // The size when it was opened.
  std::uint64_t Size() const { return size_; }

  // Reads into out until n bytes have come or the file ends: the number of
  // bytes read, or none on a read error (or when the file is not open).
  std::optional<std::size_t> Read(void* out, std::size_t n);

  // A stdio stream that reads the file and closes it; null when the file is
  // not open or no stream can be made. The file gives up its descriptor.
  std::FILE* ReleaseToStream();

 private:
  int fd_ = -1;
  FileReadStatus status_ = FileReadStatus::kCannotOpen;
  std::uint64_t size_ = 0;
};

// True when something other than a regular file is found at path
// (following symbolic links): a directory, a FIFO, a device, a socket.
bool IsNonRegularFile(const std::string& path);

inline constexpr std::size_t kNoFileSizeLimit = std::numeric_limits<std::size_t>::max() - 1;

// The whole contents of the regular file at path, into out (a byte
// container: a vector, a string, SecureBytes), at most limit bytes. A file
// larger than limit, or one that grows past it while it is read, is
// kTooLarge.
template <class Bytes>
FileReadStatus ReadRegularFile(const std::string& path, std::size_t limit, Bytes& out) {
  RegularFile file(path);
  if (!file.IsOpen()) return file.Status();
  if (file.Size() > limit) return FileReadStatus::kTooLarge;
  // One byte of room beyond what is expected shows a file that grew.
  constexpr std::size_t kChunk = 64 * 1024;
  out.resize(static_cast<std::size_t>(file.Size()) + 1);
  std::size_t size = 0;
  for (;;) {
    const std::optional<std::size_t> got = file.Read(out.data() + size, out.size() - size);
    if (!got) return FileReadStatus::kReadError;
    size += *got;
    if (size < out.size()) break;
    if (size > limit) return FileReadStatus::kTooLarge;
    out.resize(size + std::min(std::max(size / 2, kChunk), limit + 1 - size));
  }
  out.resize(size);
  return FileReadStatus::kOk;
}

}  // namespace kcertadm
