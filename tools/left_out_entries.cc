#include "left_out_entries.h"

#include "base/secure_memory.h"
#include "commands/common_steps.h"
#include "host/messages.h"
#include "host_interface/command_context.h"
#include "host_interface/command_table.h"
#include "host_interface/parameter_parser.h"
#include "keyring/keyring.h"

namespace kcertadm::cli {

std::optional<EntryCounts> CountLeftOutEntries(std::string_view parameters) {
  // The parser writes into its text, and the text may hold a password.
  SecureBytes copy(parameters.begin(), parameters.end());
  copy.push_back('\0');
  SecurityCmdContext context;
  ResetCommandContext(context);
  std::uint32_t slot = kMsgNone;
  if (ParseParameters(reinterpret_cast<char*>(copy.data()), context, CommandId::kGetEntries,
                      slot) != 0 ||
      context.showPrivateKey != 0) {
    return std::nullopt;
  }
  CommandSession session;
  if (OpenKeyRingFromContext(context, session, &slot) != 0) {
    KeyRingClear();
    return std::nullopt;
  }
  EntryCounts counts;
  KeyRingCursor cursor;
  do {
    const std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    ++counts.total;
    if (entry->HasPrivateKey()) ++counts.withPrivateKey;
  } while (!cursor.AtEnd());
  KeyRingClear();
  return counts;
}

}  // namespace kcertadm::cli
