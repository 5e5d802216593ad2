// ReceiveCert and ReceiveRootCert: storing a certificate in the key ring.
#include <string>
#include <vector>

#include "armour/pem.h"
#include "cert/certificate.h"
#include "cert/validity.h"
#include "commands/cert_chain.h"
#include "commands/cert_files.h"
#include "commands/cert_keyring.h"
#include "commands/chain_file.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "commands/pem_keys.h"
#include "commands/receive_chain.h"
#include "host/messages.h"
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
    const PemSniff kind = SniffPemFile(file, &procType);
    std::rewind(file);
    if (kind == kPemSniffMic) {
      std::vector<std::uint8_t> der;
      const VerifyStatus status = ReadPemCertificate(der, file);
      if (!Verified(status)) return FailWith(slot, kMsgCertFileReadFailed);
      forceLabel = status == kVerifySelfSigned;
      return CopyToItem(der, &cert->der) ? 0 : FailWith(slot, kMsgOutOfMemory);
    }
  }
  return ReadCertificateFile(cert, file, context.useBER != 0, false, slot);
}

// The certificates of a file that is not a PEM message, as ReadChainFile
// finds them; the file is rewound. 0, or -1 with the reader's message in
// scanMessage; several is set for a text of several armour blocks. A file
// that cannot be read whole gives no certificate: the single-certificate
// reader then says why.
int ScanCertificates(const SecurityCmdContext& context, std::FILE* file,
                     std::vector<Bytes>& certificates, bool& several, std::uint32_t* scanMessage) {
  certificates.clear();
  several = false;
  if (!context.useBER) {
    const PemSniff kind = SniffPemFile(file, nullptr);
    std::rewind(file);
    if (kind == kPemSniffMic) return 0;
  }
  Bytes bytes;
  std::uint32_t ignored = 0;
  const int read = ReadWholeCertificateFile(file, bytes, &ignored);
  std::rewind(file);
  if (read != 0) return 0;
  several = !context.useBER && HoldsSeveralBlocks(bytes);
  return ReadChainFile(bytes, context.useBER != 0, certificates, scanMessage);
}

// The single-certificate reader; where it cannot decode the text, the one
// certificate the chain reader found in it (text around the armour).
int ReadSingleCertificate(const SecurityCmdContext& context, std::FILE* file, CertData* cert,
                          bool& forceLabel, const std::vector<Bytes>& found, std::uint32_t* slot) {
  if (ReadReceivedCertificate(context, file, cert, forceLabel, slot) == 0) return 0;
  if (found.size() != 1 || *slot != kMsgDecodeFailed) return -1;
  Asn1Item der{};
  if (!CopyToItem(found.front(), &der)) return FailWith(slot, kMsgOutOfMemory);
  ReplaceDer(cert, der);
  return 0;
}

// CheckCertificate; when the issuer is no trusted root, a path through the
// key ring's intermediate authorities to one will do. Every failure but a
// missing issuer reports as before, and so does a missing path (30057).
int CheckReceivedCertificate(CertData* cert, CertFields* fields, bool verify, std::uint32_t* slot) {
  if (CheckCertificate(cert, fields, verify ? 1 : 0, slot) == 0) return 0;
  if (!verify || *slot != kMsgIssuerNotFound || IsSelfIssued(*fields)) return -1;
  const ByteView certificate(fields->whole.data, static_cast<std::size_t>(fields->whole.length));
  std::vector<std::size_t> path;
  std::uint32_t ignored = 0;
  if (FindPathToTrustedRoot(*fields, StoredChainLinks(certificate), &path, &ignored) != 0) {
    return FailWith(slot, kMsgIssuerNotFound);
  }
  return CheckValidityNow(fields, slot);
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
  if (!Succeeded(KeyRingAddCertificate(certificate, std::string_view(context.label), nullptr))) {
    return FailWith(slot, kMsgAddCertFailed);
  }
  return 0;
}

int ReceiveCert(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  FilePtr input = OpenInputFile(context, slot);
  if (!input) return -1;

  std::vector<Bytes> found;
  std::uint32_t scanMessage = 0;
  bool several = false;
  const int scan = ScanCertificates(context, input.get(), found, several, &scanMessage);
  if (scan != 0 && several) return FailWith(slot, scanMessage);
  if (scan == 0 && found.size() > 1) {
    return context.designateRoot ? ReceiveRootBundle(context, found, slot)
                                 : ReceiveChain(context, found, slot);
  }

  CertRecord cert;
  bool forceLabel = false;
  if (scan != 0) found.clear();
  if (ReadSingleCertificate(context, input.get(), cert.get(), forceLabel, found, slot) != 0)
    return -1;
  CertFields fields{};
  if (CheckReceivedCertificate(cert.get(), &fields, !context.noTrust, slot) != 0) return -1;

  const ByteView certificate(cert->der.data, static_cast<std::size_t>(cert->der.length));
  const ByteView spki(fields.subjectPublicKeyInfo.data,
                      static_cast<std::size_t>(fields.subjectPublicKeyInfo.length));
  if (forceLabel || HasText(context.label)) {
    if (StoreUnderLabel(context, certificate, spki, slot) != 0) return -1;
  } else {
    const KeyRingStatus added = KeyRingAddCertificate(certificate, std::nullopt, nullptr);
    if (added == kKeyRingNoMatchingEntry) return FailWith(slot, kMsgCertMatchesNoKey);
    if (!Succeeded(added)) return FailWith(slot, kMsgAddCertFailed);
  }
  if (context.designateRoot && DesignateRootEntry(context, slot) != 0) return -1;
  const KeyRingStatus written = KeyRingWrite(context.keyFile, PasswordArg(context.password));
  if (!Succeeded(written))
    return FailWith(slot, kMsgKeyRingWriteFailed, KeyRingStatusNumber(written));
  return ReportSuccess(slot, SuccessMessage::kCertReceived);
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
  // A bundle some of whose certificates were skipped says so instead.
  if (status == 0 && reporter.last() != kMsgBundleRootsSkipped)
    reporter.Report(MessageNumberOf(SuccessMessage::kRootCertReceived));
  return status;
}

}  // namespace kcertadm
