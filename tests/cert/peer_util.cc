#include "peer_util.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "kcertadm.h"

namespace kcertadm::test {

std::string Run(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int raw = pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

Bytes PemToDer(const std::string& pem) {
  const std::size_t begin = pem.find("-----BEGIN");
  const std::size_t bodyStart = pem.find('\n', begin);
  const std::size_t end = pem.find("-----END", bodyStart);
  if (begin == std::string::npos || bodyStart == std::string::npos || end == std::string::npos) {
    return {};
  }
  const std::string body = pem.substr(bodyStart + 1, end - bodyStart - 1);
  Asn1Item out{};
  const int32_t n = Base64Decode(body.data(), static_cast<int32_t>(body.size()), &out);
  Bytes der(out.data, out.data + (n > 0 ? n : 0));
  std::free(out.data);
  return der;
}

}  // namespace kcertadm::test
