#include "parsed_command.h"

#include "base/secure_memory.h"
#include "host/messages.h"
#include "host_interface/command_context.h"
#include "host_interface/initialisation.h"
#include "host_interface/parameter_parser.h"

namespace kcertadm::cli {

std::int32_t RunParsedCommand(CommandId command, std::string_view parameters,
                              const CommandBody& body, MessageReporter& reporter) {
  std::uint32_t slot = kMsgNone;
  const auto report = [&](std::int32_t status) {
    if (slot != kMsgNone) reporter.Report(slot);
    return status;
  };
  if (LazyInitialise(slot) != 0) return report(-1);
  SecureBytes text(parameters.begin(), parameters.end());
  text.push_back('\0');
  SecurityCmdContext context;
  ResetCommandContext(context);
  if (ParseParameters(reinterpret_cast<char*>(text.data()), context, command, slot) != 0) {
    return report(-1);
  }
  return report(body(context, &slot));
}

}  // namespace kcertadm::cli
