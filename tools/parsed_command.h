// The tool's own commands and output forms run on the library's parameter
// parser, as the library's commands do: initialised, parsed for a command
// of the table, then the body, whose message is reported.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "host/message_reporter.h"
#include "host_interface/command_table.h"
#include "kcertadm.h"

namespace kcertadm::cli {

// Returns 0 or -1 with the message in the slot.
using CommandBody = std::function<int(SecurityCmdContext& context, std::uint32_t* slot)>;

// parameters is parsed as the parameter text of command (it may hold the
// password, so the copy the parser writes into is wiped). Returns the
// body's status; the message of the failed step, or the body's, goes to
// reporter.
std::int32_t RunParsedCommand(CommandId command, std::string_view parameters,
                              const CommandBody& body, MessageReporter& reporter);

}  // namespace kcertadm::cli
