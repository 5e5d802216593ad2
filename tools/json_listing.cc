#include "json_listing.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "certificate_facts.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "commands/view_input.h"
#include "host/messages.h"
#include "keyring/keyring.h"
#include "listing_json.h"
#include "parsed_command.h"

namespace kcertadm::cli {
namespace {

// The flags that choose another output of the text commands.
void WarnAboutReportFlags(const SecurityCmdContext& context) {
  if (context.showRawCert == 0 && context.writeBER == 0 && context.writeBinary == 0 &&
      context.verify == 0) {
    return;
  }
  std::fputs(
      "kcertadm: warning: ShowRawCert, WriteBER, WriteBinary and Verify have no "
      "effect with --json\n",
      stderr);
}

int Finish(OutputFile file, const JsonWriter& json, SuccessMessage done, std::uint32_t* slot) {
  const std::string text = json.Text();
  std::fwrite(text.data(), 1, text.size(), file.get());
  return CloseReportFile(std::move(file), 0, done, slot);
}

// Entries holding a private key are listed only with ShowPrivateKey, as in
// the report.
int ListEntries(SecurityCmdContext& context, std::uint32_t* slot) {
  CommandSession session;
  if (OpenKeyRingFromContext(context, session, slot) != 0) return -1;
  OutputFile file = OpenReportFile(context, nullptr, slot);
  if (!file) return -1;
  JsonWriter json;
  BeginListing(json, "GetEntries");
  json.Key("entries");
  json.BeginArray();
  KeyRingCursor cursor;
  do {
    const std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    if (entry->HasPrivateKey() && context.showPrivateKey == 0) continue;
    EntryFacts facts;
    std::uint32_t error = kMsgNone;
    if (ReadEntryFacts(*entry, &facts, &error) != 0) {
      return FailWith(slot, error != kMsgNone ? error : kMsgBadCertificate);
    }
    WriteEntryJson(json, facts);
  } while (!cursor.AtEnd());
  json.EndArray();
  json.EndObject();
  return Finish(std::move(file), json, SuccessMessage::kEntriesListed, slot);
}

int ViewCertificates(SecurityCmdContext& context, std::uint32_t* slot) {
  if (context.usePKCS != 0) {
    std::fputs("kcertadm: warning: --json lists certificates; a request is not listed\n", stderr);
  }
  FilePtr input = OpenInputFile(context, slot);
  if (!input) return -1;
  OutputFile file = OpenReportFile(context, context.certReqFile, slot);
  if (!file) return -1;
  CertRecord cert;
  if (ReadViewInput(input.get(), context, cert.get(), slot) != 0) return -1;
  std::vector<CertificateFacts> certificates;
  std::uint32_t error = kMsgNone;
  if (ReadCertificateFacts(cert.get(), &certificates, &error) != 0) {
    return FailWith(slot, error != kMsgNone ? error : kMsgBadCertificate);
  }
  JsonWriter json;
  BeginListing(json, "ViewCert");
  json.Key("certificates");
  json.BeginArray();
  for (const CertificateFacts& certificate : certificates) WriteCertificateJson(json, certificate);
  json.EndArray();
  json.EndObject();
  return Finish(std::move(file), json, SuccessMessage::kCertWritten, slot);
}

}  // namespace

std::int32_t RunJsonListing(CommandId command, std::string_view parameters,
                            MessageReporter& reporter) {
  return RunParsedCommand(
      command, parameters,
      [command](SecurityCmdContext& context, std::uint32_t* slot) {
        WarnAboutReportFlags(context);
        if (command == CommandId::kViewCert) return ViewCertificates(context, slot);
        const int status = ListEntries(context, slot);
        KeyRingClear();
        return status;
      },
      reporter);
}

}  // namespace kcertadm::cli
