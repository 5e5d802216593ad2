#include "host/message_reporter.h"

#include "host/messages.h"

namespace kcertadm {

void MessageReporter::Report(std::uint32_t number) { Report(number, {}); }

void MessageReporter::Report(std::uint32_t number, std::string_view detail) {
  ReportMessage(number, detail, buffer_, size_);
  last_ = number;
}

}  // namespace kcertadm
