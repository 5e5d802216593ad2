// Commands whose handlers are not built yet. Each refuses the command as
// unknown, after its parameters were parsed and checked, so that no caller
// can mistake it for a success. A handler's own file replaces its line here.
#include "commands/command_handlers.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

std::int32_t NotAvailable(MessageReporter& reporter) {
  reporter.Report(kMsgUnknownCommand);
  return -1;
}

}  // namespace

std::int32_t HandleGetEntries(SecurityCmdContext&, MessageReporter& reporter) {
  return NotAvailable(reporter);
}
std::int32_t HandleViewCert(SecurityCmdContext&, MessageReporter& reporter) {
  return NotAvailable(reporter);
}

}  // namespace kcertadm
