// Helpers of the report tests: an in-memory report file and test data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "asn1/hex_util.h"

#include "asn1/asn1.h"

namespace kcertadm::testing {


// Element with the given tag around content, DER length form.
inline std::vector<std::uint8_t> Tlv(std::uint8_t tag, const std::vector<std::uint8_t>& content) {
  std::vector<std::uint8_t> out{tag};
  const std::size_t n = content.size();
  if (n < 128) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 256) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

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
