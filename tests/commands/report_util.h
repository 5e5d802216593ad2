// Helpers of the report tests: an in-memory report file and test data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kcertadm::testing {

// A FILE* writing into memory; Text() gives everything written so far.
class ReportCapture {
 public:
  ReportCapture() : file_(open_memstream(&buffer_, &size_)) {}
  ~ReportCapture() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(buffer_);
  }
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

  std::FILE* file() const { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

inline std::string ReportDataPath(const std::string& name) {
  return std::string(KCERTADM_TEST_DATA_DIR) + "/reports/" + name;
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kcertadm::testing
