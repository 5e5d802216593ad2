#include "host/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kcertadm {

RegularFile::RegularFile(const std::string& path) {
  // O_NONBLOCK keeps the open of a FIFO without writer from waiting, and
  // O_NOCTTY a terminal from becoming the process's own.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    status_ = FileReadStatus::kNotRegular;
    return;
  }
  // Reads of a regular file never wait, so the descriptor can stay
  // non-blocking.
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
  status_ = FileReadStatus::kOk;
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::size_t> RegularFile::Read(void* out, std::size_t n) {
  if (fd_ < 0) return std::nullopt;
  auto* bytes = static_cast<unsigned char*>(out);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd_, bytes + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::FILE* RegularFile::ReleaseToStream() {
  if (fd_ < 0) return nullptr;
  std::FILE* stream = ::fdopen(fd_, "rb");
  if (stream != nullptr) fd_ = -1;
  return stream;
}

bool IsNonRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace kcertadm
