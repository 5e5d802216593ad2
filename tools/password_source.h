// Where the tool takes a password from, in the forms openssl's -passin
// understands: pass:TEXT, env:NAME, file:PATH, fd:NUMBER and stdin.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/secure_memory.h"

namespace kcertadm::cli {

struct PasswordSource {
  enum class Kind { kText, kEnvironment, kFile, kDescriptor, kStdin };
  Kind kind;
  std::string argument;  // the variable name or path; the descriptor number
  int descriptor = -1;   // for kDescriptor and kStdin
  SecureString text;     // for kText: the password itself, wiped when dropped
};

// Reads a password source such as "env:NAME"; on a malformed one returns nullopt and
// sets `problem`.
std::optional<PasswordSource> ParsePasswordSource(std::string_view source_text,
                                                  std::string& problem);

// Reads passwords from sources. Reading the same file, descriptor or
// standard input twice takes consecutive lines, so one file may carry the
// old password on its first line and the new one on its second.
class PasswordReader {
 public:
  PasswordReader() = default;
  ~PasswordReader();
  PasswordReader(const PasswordReader&) = delete;
  PasswordReader& operator=(const PasswordReader&) = delete;

  // The password, or nullopt with `problem` set. A line ends at LF (a CR
  // before it is dropped too); the password is what precedes it.
  std::optional<SecureString> Read(const PasswordSource& source, std::string& problem);

 private:
  std::optional<SecureString> ReadLine(int descriptor, const std::string& what,
                                       std::string& problem);
  std::map<std::string, int> open_files_;  // path -> descriptor, kept for a second line
};

// A password longer than this is refused rather than read without end.
constexpr std::size_t kMaxPasswordLength = 1024;

}  // namespace kcertadm::cli
