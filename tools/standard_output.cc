#include "standard_output.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "host_interface/keyword_table.h"
#include "item_checks.h"

namespace kcertadm::cli {
namespace {

bool NamesStandardOutput(std::string_view item) {
  const std::string_view keyword = ItemKeyword(item);
  if (keyword.size() == item.size() || item.substr(keyword.size() + 1) != "-") return false;
  const int id = FindKeyword(keyword);
  return id == kKwEntriesFile || id == kKwCertFile;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

StandardOutputFiles::~StandardOutputFiles() {
  if (directory_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::optional<std::string> StandardOutputFiles::Redirect(std::string_view item) {
  if (!NamesStandardOutput(item)) return std::nullopt;
  if (directory_.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::string pattern = parent + "/kcertadm.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("no temporary directory for standard output in " + pattern);
    }
    directory_ = pattern;  // mode 0700: the output is nobody else's
  }
  files_.push_back(directory_ + "/output" + std::to_string(files_.size() + 1));
  return std::string(ItemKeyword(item)) + "=" + files_.back();
}

bool StandardOutputFiles::CopyToStandardOutput() const {
  for (const std::string& path : files_) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) continue;
    char buffer[8192];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
      if (std::fwrite(buffer, 1, n, stdout) != n) return false;
    }
    if (std::ferror(file.get())) return false;
  }
  return std::fflush(stdout) == 0;
}

}  // namespace kcertadm::cli
