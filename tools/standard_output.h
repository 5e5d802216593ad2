// "-" as the name of an output file (EntriesFile=-, CertFile=-) means
// standard output, as with other Unix tools. The library always writes a
// named file: it gets a private temporary one instead, which is copied to
// standard output once the command has succeeded.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kcertadm::cli {

class StandardOutputFiles {
 public:
  StandardOutputFiles() = default;
  ~StandardOutputFiles();  // removes the temporary files and their directory
  StandardOutputFiles(const StandardOutputFiles&) = delete;
  StandardOutputFiles& operator=(const StandardOutputFiles&) = delete;

  // The item with a temporary path in place of "-" when it is EntriesFile=-
  // or CertFile=- (abbreviations resolved as the library does); otherwise
  // none. Throws std::runtime_error when no temporary directory can be made.
  std::optional<std::string> Redirect(std::string_view item);

  // True when an item was redirected.
  bool Any() const { return !files_.empty(); }

  // Copies what the command wrote to the temporary files to standard output,
  // in the order of the items. False when one cannot be read or written; a
  // file the command did not write is skipped.
  bool CopyToStandardOutput() const;

 private:
  std::string directory_;
  std::vector<std::string> files_;
};

}  // namespace kcertadm::cli
