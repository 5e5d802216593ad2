#include "password_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace kcertadm::cli {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::optional<PasswordSource> ParsePasswordSource(std::string_view source_text,
                                                  std::string& problem) {
  using Kind = PasswordSource::Kind;
  if (source_text == "stdin") return PasswordSource{Kind::kStdin, "stdin", STDIN_FILENO, {}};
  if (StartsWith(source_text, "pass:")) {
    const std::string_view text = source_text.substr(5);
    return PasswordSource{Kind::kText, {}, -1, SecureString(text.begin(), text.end())};
  }
  if (StartsWith(source_text, "env:")) {
    if (source_text.size() == 4) {
      problem = "env: needs the name of an environment variable";
      return std::nullopt;
    }
    return PasswordSource{Kind::kEnvironment, std::string(source_text.substr(4)), -1, {}};
  }
  if (StartsWith(source_text, "file:")) {
    if (source_text.size() == 5) {
      problem = "file: needs a file name";
      return std::nullopt;
    }
    return PasswordSource{Kind::kFile, std::string(source_text.substr(5)), -1, {}};
  }
  if (StartsWith(source_text, "fd:")) {
    const std::string_view digits = source_text.substr(3);
    int number = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        number < 0) {
      problem = "fd: needs a file descriptor number, not \"" + std::string(digits) + "\"";
      return std::nullopt;
    }
    return PasswordSource{Kind::kDescriptor, std::string(digits), number, {}};
  }
  problem = "\"" + std::string(source_text) +
            "\" is not a password source; use pass:TEXT, env:NAME, file:PATH, fd:NUMBER or stdin";
  return std::nullopt;
}

PasswordReader::~PasswordReader() {
  for (const auto& [path, descriptor] : open_files_) close(descriptor);
}

std::optional<SecureString> PasswordReader::Read(const PasswordSource& source,
                                                 std::string& problem) {
  using Kind = PasswordSource::Kind;
  switch (source.kind) {
    case Kind::kText:
      return source.text;
    case Kind::kEnvironment: {
      const char* value = std::getenv(source.argument.c_str());
      if (value == nullptr) {
        problem = "the environment variable " + source.argument + " is not set";
        return std::nullopt;
      }
      return SecureString(value);
    }
    case Kind::kFile: {
      auto found = open_files_.find(source.argument);
      if (found == open_files_.end()) {
        const int descriptor = open(source.argument.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) {
          problem =
              "cannot open the password file " + source.argument + ": " + std::strerror(errno);
          return std::nullopt;
        }
        found = open_files_.emplace(source.argument, descriptor).first;
      }
      return ReadLine(found->second, "the password file " + source.argument, problem);
    }
    case Kind::kDescriptor:
      return ReadLine(source.descriptor, "file descriptor " + source.argument, problem);
    case Kind::kStdin:
      return ReadLine(STDIN_FILENO, "standard input", problem);
  }
  return std::nullopt;
}

// Reads one byte at a time so that nothing beyond the line is consumed: a
// second password may follow on the same descriptor.
std::optional<SecureString> PasswordReader::ReadLine(int descriptor, const std::string& what,
                                                     std::string& problem) {
  SecureString line;
  line.reserve(kMaxPasswordLength + 1);
  bool any = false;
  while (true) {
    char byte = 0;
    const ssize_t got = read(descriptor, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      problem = "cannot read a password from " + what + ": " + std::strerror(errno);
      return std::nullopt;
    }
    if (got == 0) break;
    any = true;
    if (byte == '\n') break;
    if (line.size() == kMaxPasswordLength) {
      problem = "the password from " + what + " is too long";
      return std::nullopt;
    }
    line.push_back(byte);
  }
  if (!any) {
    problem = "no password left to read from " + what;
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace kcertadm::cli
