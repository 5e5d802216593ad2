// The commands of ProcessSecurityCmd: the fourteen of the original table,
// then those appended after it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "commands/command_options.h"
#include "host/message_reporter.h"
#include "kcertadm.h"

namespace kcertadm {

enum class CommandId : int {
  kCreateSelfSigned = 0,
  kCreateKeyFile = 1,
  kReceiveCert = 2,
  kReceiveRootCert = 3,
  kDesignateRoot = 4,
  kCreateSelfSignedRoot = 5,
  kSignCert = 6,
  kGetEntries = 7,
  kDeleteEntry = 8,
  kCreateCertReq = 9,
  kViewCert = 10,
  kChangePassword = 11,
  kExtractCert = 12,
  kAdminSecurity = 13,
  kImportKey = 14,
  kExportKey = 15,
};

// A handler runs one command on a parsed context, reports its own message
// and returns its status (0 on success).
using CommandHandler = std::int32_t (*)(SecurityCmdContext& context, const CommandOptions& options,
                                        MessageReporter& reporter);

struct Command {
  const char* name;
  CommandId id;
  CommandHandler handler;
};

// All commands, in id order.
std::span<const Command> Commands();

// The command called `name` (ASCII letter case ignored), or null.
const Command* FindCommand(std::string_view name);

}  // namespace kcertadm
