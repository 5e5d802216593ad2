// GetEntries: the entry report of every entry of the key ring, written to
// EntriesFile.
#include <cstdio>
#include <optional>
#include <utility>

#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "commands/report.h"
#include "host/messages.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

// Entries holding a private key are listed only with ShowPrivateKey.
int WriteEntries(std::FILE* file, const SecurityCmdContext& context, std::uint32_t* slot) {
  const EntryReportOptions options = EntryReportOptionsFrom(context);
  KeyRingCursor cursor;
  do {
    const std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    if (entry->HasPrivateKey() && context.showPrivateKey == 0) continue;
    std::uint32_t error = kMsgNone;
    if (WriteEntryReport(file, *entry, options, &error) != 0) {
      return FailWith(slot, error != kMsgNone ? error : kMsgBadCertificate);
    }
  } while (!cursor.AtEnd());
  return 0;
}

int ListEntries(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (OpenKeyRingFromContext(context, session, slot) != 0) return -1;
  OutputFile file = OpenReportFile(context, nullptr, slot);
  if (!file) return -1;
  const int status = WriteEntries(file.get(), context, slot);
  return CloseReportFile(std::move(file), status, SuccessMessage::kEntriesListed, slot);
}

}  // namespace

std::int32_t HandleGetEntries(SecurityCmdContext& context, const CommandOptions& options,
                              MessageReporter& reporter) {
  CommandSession session(options);
  std::uint32_t slot = kMsgNone;
  const std::int32_t status = ListEntries(context, session, &slot);
  KeyRingClear();
  reporter.Report(slot);
  return status;
}

}  // namespace kcertadm
