// GetEntries: the entry report of every entry of the key ring, written to
// EntriesFile.
#include <cstdio>
#include <optional>

#include "commands/command_handlers.h"
#include "commands/common_steps.h"
#include "commands/file_identity.h"
#include "commands/report.h"
#include "host_interface/messages.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

int Fail(std::uint32_t* slot, std::uint32_t number) {
  *slot = number;
  return -1;
}

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
      return Fail(slot, error != kMsgNone ? error : kMsgBadCertificate);
    }
  } while (!cursor.AtEnd());
  return 0;
}

int ListEntries(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (OpenKeyRingFromContext(context, session, slot) != 0) return -1;
  if (!HasText(context.entriesFile)) return Fail(slot, kMsgNoEntriesFile);
  // The report must never replace the key ring or its stash file.
  if (NamesKeyRingFile(context, context.entriesFile)) {
    return Fail(slot, kMsgEntriesFileCreateFailed);
  }
  FilePtr file(std::fopen(context.entriesFile, "w"));
  if (!file) return Fail(slot, kMsgEntriesFileCreateFailed);
  const int status = WriteEntries(file.get(), context, slot);
  const bool written = std::ferror(file.get()) == 0 && std::fclose(file.release()) == 0;
  if (status != 0) return status;
  if (!written) return Fail(slot, kMsgOutputWriteFailed);
  *slot = kMsgEntriesListed;
  return 0;
}

}  // namespace

std::int32_t HandleGetEntries(SecurityCmdContext& context, MessageReporter& reporter) {
  CommandSession session;
  std::uint32_t slot = kMsgNone;
  const std::int32_t status = ListEntries(context, session, &slot);
  KeyRingClear();
  reporter.Report(slot);
  return status;
}

}  // namespace kcertadm
