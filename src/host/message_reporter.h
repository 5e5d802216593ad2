// Where a command leaves its one message: the caller's buffer, and the
// number last reported (which the text alone does not tell).
#pragma once

#include <cstdint>
#include <string_view>

namespace kcertadm {

class MessageReporter {
 public:
  MessageReporter(char* buffer, std::uint32_t size) : buffer_(buffer), size_(size) {}

  // Copies the text of `number` into the buffer (see ReportMessage) and
  // remembers the number. A later report overwrites an earlier one.
  void Report(std::uint32_t number);
  // The same, the text followed by the value it names (see ReportMessage).
  void Report(std::uint32_t number, std::string_view detail);

  // The number last reported, 0 when nothing was.
  std::uint32_t last() const { return last_; }

 private:
  char* buffer_;
  std::uint32_t size_;
  std::uint32_t last_ = 0;
};

}  // namespace kcertadm
