// CreateCertReq: a certificate request for a key the key ring holds.
#include <ctime>

#include "cert/cert_build.h"
#include "cert/serial_number.h"
#include "cert/signing_key.h"
#include "commands/build_profile_choice.h"
#include "commands/cert_files.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "host/messages.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

Asn1Item ItemOf(Bytes& bytes) {
  return Asn1Item{bytes.data(), static_cast<std::int32_t>(bytes.size())};
}

// The request object, signed with the entry's key: a PKCS #10 request, or
// with UsePEM or SelfSigned a self-signed certificate.
int BuildRequestObject(const SecurityCmdContext& context, CommandSession& session,
                       KeyRingEntry& entry, KeyObject* key, CertData* object, std::uint32_t* slot) {
  const Asn1Item subject = ItemOf(entry.subjectName);
  const Asn1Item publicKey = ItemOf(entry.publicKey);
  const bool certificate = context.usePEM || context.selfSigned;
  BuildProfile profile;
  if (ChooseBuildProfile(session, certificate, false, CommonNameOf(subject), &profile, slot) != 0) {
    return -1;
  }
  if (!certificate) {
    if (BuildRequestInfo(object, subject, publicKey, profile.subjectAltName) != 0) {
      return FailWith(slot, kMsgSubjectNameFailed);
    }
  } else if (BuildSelfSignedTbs(object, subject, publicKey, kPemRequestCertificateDays,
                                std::time(nullptr), NewSerialNumber(), CertRole::kEndEntity,
                                profile, slot) != 0) {
    return -1;
  }
  if (SignTbs(object, key, profile.algorithm) != 0) return FailWith(slot, kMsgSubjectNameFailed);
  return 0;
}

int CreateCertReq(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (CheckRequestFile(context, slot) != 0) return -1;
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  std::optional<KeyRingEntry> entry = HasText(context.label)
                                          ? KeyRingFindEntry(std::string_view(context.label))
                                          : KeyRingDefaultKeyEntry();
  if (!entry || !entry->HasPrivateKey()) {
    KeyRingEntryFree(entry);
    return FailWith(slot, kMsgNoPrivateKeyEntry);
  }
  OwnedKey key(DecryptPrivateKey(entry->privateKey, context.password ? context.password : ""));
  int status = key.get() == nullptr ? FailWith(slot, kMsgKeyDecryptFailed) : 0;
  CertRecord object;
  OutputFile requestFile;
  if (status == 0)
    status = BuildRequestObject(context, session, *entry, key.get(), object.get(), slot);
  if (status == 0) status = WriteRequestFile(context, *object, key.get(), requestFile, slot);
  if (status == 0) status = CommitOutput(requestFile, slot);
  KeyRingEntryFree(entry);
  return status == 0 ? ReportSuccess(slot, SuccessMessage::kCertReqCreated) : status;
}

}  // namespace

std::int32_t HandleCreateCertReq(SecurityCmdContext& context, const CommandOptions& options,
                                 MessageReporter& reporter) {
  return RunCommandStep(CreateCertReq, context, options, reporter);
}

}  // namespace kcertadm
