// Replacing a file without ever leaving it half-written: the new contents go
// to a temporary file in the same directory, flushed to disk and renamed
// over the old file only when complete. On any failure the temporary file
// is removed and the old file stays as it was.
//
// A temporary is named ".<name>.kctmp-XXXXXX" (six letters or digits)
// beside the file <name> it replaces: a hidden name with a fixed marker that
// no person picks for a file of their own, so that removing the temporaries
// a killed writer left behind never takes a user's "<name>.backup" or
// "<name>.201612".
//
// The replacement keeps what the operator set on the old file: its
// permission bits, its group and, where the caller may set it, its owner.
// The group bits are dropped when the group cannot be kept, so that the
// caller's own group never gains what another group had. A new file is
// created owner-only (key material) or as the umask allows (other output).
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

// How a replacement ended. Only the file's writer sees these; it reports
// them in its own terms (the key ring as its status 2 and 7).
// clang-format off
enum class [[nodiscard]] ReplaceStatus {
  kReplaced,      // the file now holds the new contents
  kCannotCreate,  // temporary file not created
  kCannotCommit,  // flush, sync or rename failed
  kAbandoned,     // the writer gave the new contents up
};
// clang-format on

// Who may read a file that did not exist before.
enum class NewFileAccess {
  kOwnerOnly,  // key rings and stash files: mode 0600
  kUmask,      // certificates, requests, reports: 0666 less the umask
};

// The file a symbolic link at path leads to; path itself when it is not a
// link (or leads nowhere). A key ring reached through a link is replaced
// where it lies, keeping the link.
std::string ResolveFileLink(const std::string& path);

// A temporary file beside the file a path names, created at once and put in
// its place by Commit. Until then the old file is untouched; a replacement
// destroyed without a successful Commit removes its temporary.
class FileReplacement {
 public:
  FileReplacement(const std::string& path, NewFileAccess access);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // The temporary's descriptor (open for writing), or -1 when it could not
  // be created.
  int fd() const { return fd_; }
  // Syncs and closes the temporary and renames it over the file: replaced,
  // or cannot create / cannot commit (the temporary is gone).
  ReplaceStatus Commit();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
};

// Removes the temporaries of the file at path that writers killed in the
// middle of a replacement left behind: regular files of this user named
// exactly as FileReplacement names them, in the file's directory. Symbolic
// links and any other name are left alone. Returns how many were removed. Call it only
// when no writer can be using them (under the key ring's lock).
int RemoveStaleTemporariesOf(const std::string& path);

// Runs fill on a fresh temporary file beside path. fill returns true to
// commit, false to abandon the file (it keeps its own reason). New files
// are owner-only: this is how key material is written.
ReplaceStatus ReplaceFile(const std::string& path, const std::function<bool(FileWriter&)>& fill);

// Convenience for fixed contents: true when path now holds them.
[[nodiscard]] bool ReplaceFileContents(const std::string& path,
                                       const std::function<bool(FileWriter&)>& fill);

// For tests: make writes fail once this many more bytes have been written
// (negative: never). Simulates a full disk or an interrupted write.
void SetWriteFailureAfterForTesting(long long bytes);

// For tests: make the next replacements fail at their sync or their rename.
enum class ReplaceFault { kNone, kSync, kRename };
void SetReplaceFaultForTesting(ReplaceFault fault);

}  // namespace kcertadm
