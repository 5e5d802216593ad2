#include "host_interface/command_entry.h"

#include <new>

#include "host/messages.h"
#include "host_interface/command_context.h"
#include "host_interface/command_table.h"
#include "host_interface/exported_services.h"
#include "host_interface/initialisation.h"
#include "host_interface/parameter_parser.h"
#include "kcertadm.h"

namespace kcertadm {

std::int32_t ProcessCommand(std::string_view command, char* parameters, MessageReporter& reporter) {
  std::uint32_t slot = kMsgNone;
  if (LazyInitialise(slot) != 0) {
    if (slot != kMsgNone) reporter.Report(slot);
    return -1;
  }
  const Command* found = FindCommand(command);
  if (found == nullptr) {
    reporter.Report(kMsgUnknownCommand);
    return -1;
  }
  SecurityCmdContext context;
  ResetCommandContext(context);
  CommandOptions options;
  if (ParseParameters(parameters, context, options, found->id, slot) != 0) {
    if (slot != kMsgNone) reporter.Report(slot);
    return -1;
  }
  const std::int32_t status = found->handler(context, options, reporter);
  if (slot != kMsgNone) reporter.Report(slot);
  return status;
}

std::int32_t InitSecLibService(std::uint32_t* errorNumber) {
  std::uint32_t slot = kMsgNone;
  if (InitialiseLibrary(slot)) return 1;
  FailWith(errorNumber, kMsgInitFailed);
  return 0;
}

}  // namespace kcertadm
