// ExportKey: a key entry with its certificate and chain into a PKCS #12
// file, or with PemKey an encrypted PEM private key and the certificates.
#include <string>
#include <vector>

#include "commands/command_handlers.h"
#include "commands/common_steps.h"
#include "commands/key_chain.h"
#include "host/messages.h"
#include "keyfile/key_file.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

// The entry to export: the labelled one, or the key ring's first key with
// a certificate. 0, or -1 with 30026, 30048 or 30069.
int FindKeyEntry(const SecurityCmdContext& context, std::optional<KeyRingEntry>& entry,
                 std::uint32_t* slot) {
  entry = HasText(context.label) ? KeyRingFindEntry(std::string_view(context.label))
                                 : KeyRingDefaultKeyEntry();
  if (!entry) return FailWith(slot, kMsgNoSuchEntry);
  if (!entry->HasPrivateKey()) return FailWith(slot, kMsgNoPrivateKeyEntry);
  if (!entry->HasCertificates()) return FailWith(slot, kMsgNoCertificate);
  return 0;
}

// The key file's bytes for the entry, under the file password.
int EncodeKeyFile(const SecurityCmdContext& context, const CommandOptions& options,
                  const KeyRingEntry& entry, SecureBytes& file, std::uint32_t* slot) {
  std::optional<std::vector<ByteView>> certificates = KeyRingEntryCertificates(entry);
  if (!certificates || certificates->empty()) return FailWith(slot, kMsgNoCertificate);
  const std::string_view ringPassword = context.password ? context.password : "";
  std::optional<RsaPrivateNumbers> numbers =
      DecryptPrivateKeyNumbers(entry.privateKey, ringPassword);
  if (!numbers) return FailWith(slot, kMsgKeyDecryptFailed);
  const std::vector<Bytes> chain = IssuerChainOf(certificates->front());
  const std::string label = entry.LabelText();
  KeyFileExport contents{&*numbers, certificates->front(), {}, label};
  for (const Bytes& certificate : chain) contents.chain.emplace_back(certificate);
  KeyFileStatus status;
  if (options.pemKey) {
    status = WritePemKeyFile(contents, options.filePassword, file);
  } else {
    Bytes pkcs12;
    status = WritePkcs12KeyFile(contents, options.filePassword, pkcs12);
    file.assign(pkcs12.begin(), pkcs12.end());
  }
  return status == KeyFileStatus::kOk ? 0 : FailWith(slot, kMsgOutOfMemory);
}

int ExportKey(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  // An empty file password would leave the key open to anyone who has the file.
  if (!HasText(session.options.filePassword)) return FailWith(slot, kMsgNoFilePassword);
  OutputFile output = OpenOutputFile(context, slot, NewFileAccess::kOwnerOnly);
  if (!output) return -1;
  std::optional<KeyRingEntry> entry;
  SecureBytes file;
  int status = FindKeyEntry(context, entry, slot);
  if (status == 0) status = EncodeKeyFile(context, session.options, *entry, file, slot);
  KeyRingEntryFree(entry);
  if (status != 0) return status;
  if (std::fwrite(file.data(), 1, file.size(), output.get()) != file.size())
    return FailWith(slot, kMsgOutputWriteFailed);
  if (CommitOutput(output, slot) != 0) return -1;
  return ReportSuccess(slot, SuccessMessage::kKeyExported);
}

}  // namespace

std::int32_t HandleExportKey(SecurityCmdContext& context, const CommandOptions& options,
                             MessageReporter& reporter) {
  return RunCommandStep(ExportKey, context, options, reporter);
}

}  // namespace kcertadm
