// ReceiveCert and ReceiveRootCert: storing a certificate in the key ring.
#include <string>
#include <vector>

#include "armour/pem.h"
#include "armour/pem_keys.h"
#include "cert/certificate.h"
#include "cert/cert_keyring.h"
#include "commands/cert_files.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "host_interface/messages.h"
#include "keyring/certificate_parts.h"
#include "keyring/certificate_verification.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

// Reads the certificate of the input file. forceLabel is set for a
// self-signed certificate taken from a PEM message.
int ReadReceivedCertificate(const SecurityCmdContext& context, std::FILE* file, CertData* cert,
                            bool& forceLabel, std::uint32_t* slot) {
  if (!context.useBER) {
    std::string procType;
    const int kind = SniffPemFile(file, &procType);
    std::rewind(file);
    if (kind == kPemSniffMic) {
      std::vector<std::uint8_t> der;
      const int status = ReadPemCertificate(der, file);
      if (status != kVerifyTrusted && status != kVerifySelfSigned) {
        return FailWith(slot, kMsgCertFileReadFailed);
      }
      forceLabel = status == kVerifySelfSigned;
      return CopyToItem(der, &cert->der) ? 0 : FailWith(slot, kMsgOutOfMemory);
    }
  }
  return ReadCertificateFile(cert, file, context.useBER != 0, false, slot);
}

// Stores the certificate as a new entry under the label.
int StoreUnderLabel(const SecurityCmdContext& context, ByteView certificate, ByteView spki,
                    std::uint32_t* slot) {
  if (RequireLabel(context, slot) != 0) return -1;
  if (std::optional<Bytes> publicKey = CanonicalPublicKeyFromSpki(spki)) {
    std::optional<KeyRingEntry> holder = KeyRingFindByPublicKey(*publicKey);
    if (holder) {
      const bool hasPrivateKey = holder->HasPrivateKey();
      KeyRingEntryFree(holder);
      return FailWith(slot, hasPrivateKey ? kMsgPublicKeyInKeyEntry : kMsgPublicKeyInEntry);
    }
  }
  std::optional<KeyRingEntry> sameLabel = KeyRingFindEntry(std::string_view(context.label));
  if (sameLabel) {
    KeyRingEntryFree(sameLabel);
    return FailWith(slot, kMsgLabelExists);
  }
  if (KeyRingAddCertificate(certificate, std::string_view(context.label), nullptr) != 0) {
    return FailWith(slot, kMsgAddCertFailed);
  }
  return 0;
}

int ReceiveCert(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  FilePtr input = OpenInputFile(context, slot);
  if (!input) return -1;

  CertRecord cert;
  bool forceLabel = false;
  if (ReadReceivedCertificate(context, input.get(), cert.get(), forceLabel, slot) != 0) return -1;
  CertFields fields{};
  if (CheckCertificate(cert.get(), &fields, context.noTrust ? 0 : 1, slot) != 0) return -1;

  const ByteView certificate(cert->der.data, static_cast<std::size_t>(cert->der.length));
  const ByteView spki(fields.subjectPublicKeyInfo.data,
                      static_cast<std::size_t>(fields.subjectPublicKeyInfo.length));
  if (forceLabel || HasText(context.label)) {
    if (StoreUnderLabel(context, certificate, spki, slot) != 0) return -1;
  } else {
    const int added = KeyRingAddCertificate(certificate, std::nullopt, nullptr);
    if (added == kKeyRingNoMatchingEntry) return FailWith(slot, kMsgCertMatchesNoKey);
    if (added != 0) return FailWith(slot, kMsgAddCertFailed);
  }
  if (context.designateRoot && DesignateRootEntry(context, slot) != 0) return -1;
  const int written = KeyRingWrite(context.keyFile, PasswordArg(context.password));
  if (written != 0) return FailWith(slot, kMsgKeyRingWriteFailed, written);
  return FailWith(slot, kMsgCertReceived, 0);
}

}  // namespace

std::int32_t HandleReceiveCert(SecurityCmdContext& context, const CommandOptions& options,
                               MessageReporter& reporter) {
  return RunCommandStep(ReceiveCert, context, options, reporter);
}

std::int32_t HandleReceiveRootCert(SecurityCmdContext& context, const CommandOptions& options,
                                   MessageReporter& reporter) {
  context.designateRoot = 1;
  const std::int32_t status = HandleReceiveCert(context, options, reporter);
  if (status == 0) reporter.Report(kMsgRootCertReceived);
  return status;
}

}  // namespace kcertadm
