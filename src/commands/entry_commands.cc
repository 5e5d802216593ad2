// Commands on single entries: DesignateRoot, DeleteEntry and ExtractCert.
#include "armour/base64.h"
#include "armour/pem.h"
#include "commands/cert_chain.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "host/messages.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

int WriteKeyRingOnly(const SecurityCmdContext& context, std::uint32_t* slot,
                     SuccessMessage success) {
  const KeyRingStatus written = KeyRingWrite(context.keyFile, PasswordArg(context.password));
  return Succeeded(written) ? ReportSuccess(slot, success)
                            : FailWith(slot, kMsgKeyRingWriteFailed, KeyRingStatusNumber(written));
}

int DesignateRoot(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  if (RequireLabel(context, slot) != 0) return -1;
  if (int status = DesignateRootEntry(context, slot); status != 0) return status;
  return WriteKeyRingOnly(context, slot, SuccessMessage::kRootDesignated);
}

int DeleteEntry(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  if (RequireLabel(context, slot) != 0) return -1;
  if (const KeyRingStatus status = KeyRingDeleteEntry(context.label); !Succeeded(status)) {
    return FailWith(slot, kMsgNoSuchEntry, KeyRingStatusNumber(status));
  }
  return WriteKeyRingOnly(context, slot, SuccessMessage::kEntryDeleted);
}

bool WriteCertificate(std::FILE* file, ByteView certificate) {
  const std::string_view begin = kPemCertificateBegin;
  const std::string_view end = kPemCertificateEnd;
  return std::fwrite(begin.data(), 1, begin.size(), file) == begin.size() &&
         std::fputc('\n', file) != EOF &&
         PemWriteBase64(file, certificate.data(), static_cast<std::int32_t>(certificate.size()),
                        0) == 0 &&
         std::fwrite(end.data(), 1, end.size(), file) == end.size() && std::fflush(file) == 0;
}

// WithChain: the certificate, then the intermediates on its path to a
// trusted root (the root itself left out, as TLS servers want it), each
// armour block ended by a line feed. 0, or -1 with 30046, 30084 or 30039.
int WriteCertificateChain(std::FILE* file, ByteView certificate, std::uint32_t* slot) {
  ChainLink leaf;
  if (MakeChainLink(certificate, &leaf, slot) != 0) return -1;
  const std::vector<ChainLink> pool = StoredChainLinks(certificate);
  std::vector<std::size_t> path;
  if (FindPathToTrustedRoot(leaf.fields, pool, &path, slot) != 0) return -1;
  bool written = WriteCertificate(file, certificate) && std::fputc('\n', file) != EOF;
  for (std::size_t index : path) {
    written = written && WriteCertificate(file, pool[index].der) && std::fputc('\n', file) != EOF;
  }
  return written && std::fflush(file) == 0 ? 0 : FailWith(slot, kMsgOutputWriteFailed);
}

int WriteExtracted(const CommandSession& session, std::FILE* file, ByteView certificate,
                   std::uint32_t* slot) {
  if (session.options.withChain) return WriteCertificateChain(file, certificate, slot);
  return WriteCertificate(file, certificate) ? 0 : FailWith(slot, kMsgOutputWriteFailed);
}

int ExtractCert(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (OpenKeyRingFromContext(context, session, slot) != 0) return -1;
  OutputFile output;
  if (context.certFile != nullptr) {
    output = OpenOutputFile(context, slot);
    if (!output) return -1;
  }
  std::optional<KeyRingEntry> entry = HasText(context.label)
                                          ? KeyRingFindEntry(std::string_view(context.label))
                                          : KeyRingDefaultKeyEntry();
  std::optional<std::vector<ByteView>> certificates;
  if (entry) certificates = KeyRingEntryCertificates(*entry);
  int status = 0;
  if (!entry) {
    status = FailWith(slot, kMsgNoSuchEntry);
  } else if (!certificates || certificates->empty()) {
    status = FailWith(slot, kMsgNoCertificate);
  } else if (output && WriteExtracted(session, output.get(), certificates->front(), slot) != 0) {
    status = -1;
  } else if (output && CommitOutput(output, slot) != 0) {
    status = -1;
  } else {
    status = ReportSuccess(slot, SuccessMessage::kCertWritten);
  }
  KeyRingEntryFree(entry);
  return status;
}

}  // namespace

std::int32_t HandleDesignateRoot(SecurityCmdContext& context, const CommandOptions& options,
                                 MessageReporter& reporter) {
  return RunCommandStep(DesignateRoot, context, options, reporter);
}

std::int32_t HandleDeleteEntry(SecurityCmdContext& context, const CommandOptions& options,
                               MessageReporter& reporter) {
  return RunCommandStep(DeleteEntry, context, options, reporter);
}

std::int32_t HandleExtractCert(SecurityCmdContext& context, const CommandOptions& options,
                               MessageReporter& reporter) {
  return RunCommandStep(ExtractCert, context, options, reporter);
}

}  // namespace kcertadm
