// The one way the commands write their output files: certificates,
// requests, reports, PKCS #7 packages and PEM replies. What a command
// writes goes to a temporary beside the file (file_replace.h), which takes
// the file's place only when the command commits it at success; a command
// that fails leaves the old file byte for byte as it was, and no
// temporary. The replacement keeps the old file's mode, group and owner; a
// new file gets the mode the umask allows, as any created file does.
//
// What cannot be replaced is written in place, but only at commit: the
// output is kept in memory until then. That is a name that is not a
// regular file (a device such as /dev/null, a pipe) or lies under /dev/ or
// /proc/ (/dev/stdout), and an existing file the caller may write in a
// directory where no temporary can be made.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "keyring/file_replace.h"

namespace kcertadm {

class OutputFile {
 public:
  OutputFile() = default;
  // Prepares path for writing. Not open (false) when it cannot be written:
  // an existing file the caller may not write, a directory that does not
  // exist or takes no new file. With kOwnerOnly (files holding a private
  // key) the file ends up with mode 0600 even when it replaces one that
  // others could read, and an existing regular file that cannot be
  // replaced is not written in place.
  explicit OutputFile(const std::string& path, NewFileAccess access = NewFileAccess::kUmask);
  ~OutputFile();
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;

  explicit operator bool() const { return file_ != nullptr; }
  std::FILE* get() const { return file_; }

  // Puts what was written in the file's place: true when every write and
  // the replacement succeeded. Either way the output is closed afterwards.
  bool Commit();

 private:
  struct Memory {
    char* data = nullptr;
    std::size_t size = 0;
    ~Memory();
  };

  bool OpenInMemory();
  bool WriteInPlace();
  void Discard();

  std::string path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<FileReplacement> replacement_;  // or:
  std::unique_ptr<Memory> memory_;                // written in place at commit
};

}  // namespace kcertadm
