#include "commands/command_handlers.h"
#include "host/messages.h"

namespace kcertadm {

// Touches nothing; tells the host that the library is there and working.
std::int32_t HandleAdminSecurity(SecurityCmdContext& /*context*/, const CommandOptions& /*options*/,
                                 MessageReporter& reporter) {
  reporter.Report(MessageNumberOf(SuccessMessage::kAdminSecurity));
  return 0;
}

}  // namespace kcertadm
