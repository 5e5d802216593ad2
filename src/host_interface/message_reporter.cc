#include "host_interface/message_reporter.h"

#include "host_interface/messages.h"

namespace kcertadm {

void MessageReporter::Report(std::uint32_t number) {
  ReportMessage(number, buffer_, size_);
  last_ = number;
}

}  // namespace kcertadm
