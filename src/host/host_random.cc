#include "host/host_random.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kcertadm {
namespace {

bool FillFromGetrandom(unsigned char* out, std::size_t size) {
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got = getrandom(out + filled, size - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    filled += static_cast<std::size_t>(got);
  }
  return true;
}

bool FillFromDevice(unsigned char* out, std::size_t size) {
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got = read(fd, out + filled, size - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  close(fd);
  return filled == size;
}

}  // namespace

bool HostRandomBytes(void* buffer, std::size_t size) {
  auto* out = static_cast<unsigned char*>(buffer);
  if (size == 0) return true;
  if (out == nullptr) return false;
  if (FillFromGetrandom(out, size) || FillFromDevice(out, size)) return true;
  std::memset(out, 0, size);
  return false;
}

std::uint16_t HostRandomWord() {
  unsigned char bytes[2] = {0, 0};
  HostRandomBytes(bytes, sizeof bytes);
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace kcertadm
