// Replacing a file without ever leaving it half-written: the new contents go
// to a temporary file in the same directory, created owner-only (0600),
// flushed to disk and renamed over the old file only when complete. On any
// failure the temporary file is removed and the old file stays as it was.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace kcertadm {

class FileWriter {
 public:
  explicit FileWriter(int fd) : fd_(fd) {}
  // Writes all n bytes; false on a short or failed write.
  bool Write(const void* data, std::size_t n);

 private:
  int fd_;
};

inline constexpr int kReplaceCannotCreate = -1;  // temporary file not created
inline constexpr int kReplaceCannotCommit = -2;  // flush, sync or rename failed

// The file a symbolic link at path leads to; path itself when it is not a
// link (or leads nowhere). A key ring reached through a link is replaced
// where it lies, keeping the link.
std::string ResolveFileLink(const std::string& path);

// Runs fill on a fresh temporary file beside path. fill returns 0 to commit
// or a status to abandon the file; that status is returned. 0 on success.
int ReplaceFile(const std::string& path, const std::function<int(FileWriter&)>& fill);

// Convenience for fixed contents: true when path now holds them.
bool ReplaceFileContents(const std::string& path, const std::function<bool(FileWriter&)>& fill);

// For tests: make writes fail once this many more bytes have been written
// (negative: never). Simulates a full disk or an interrupted write.
void SetWriteFailureAfterForTesting(long long bytes);

// For tests: make the next replacements fail at their sync or their rename.
enum class ReplaceFault { kNone, kSync, kRename };
void SetReplaceFaultForTesting(ReplaceFault fault);

}  // namespace kcertadm
