// Creating a key ring with a new key pair (CreateKeyFile and its
// self-signed variants) and changing the key ring password.
#include <sys/stat.h>

#include <string>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/dn.h"
#include "commands/build_profile_choice.h"
#include "commands/cert_files.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "crypto/random/random_shared.h"
#include "crypto/rsa/pkcs1.h"

#include "host/host_settings.h"
#include "host/messages.h"
#include "keyring/certificate_verification.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

constexpr const char* kTemplateKeyRing = "master.kyr";

// The new key signs its request or certificate with the digest Digest=
// chooses: its DigestInfo in a PKCS #1 block needs a modulus of that many
// octets more than the block's overhead (MD5: 34 + 11 = 45 octets, 360 bits).
std::int32_t SmallestKeyBits(std::int32_t algorithm) {
  switch (algorithm) {
    case kAlgSha1WithRsa:
      return (35 + kPkcs1Overhead) * 8;
    case kAlgSha256WithRsa:
      return (51 + kPkcs1Overhead) * 8;
    case kAlgSha384WithRsa:
      return (67 + kPkcs1Overhead) * 8;
    case kAlgSha512WithRsa:
      return (83 + kPkcs1Overhead) * 8;
    default:
      return (34 + kPkcs1Overhead) * 8;
  }
}
// The largest key a key ring makes: larger keys take minutes to generate
// and no peer asks for them.
constexpr std::int32_t kLargestKeyBits = 4096;

bool PathExists(const char* path) {
  struct stat st;
  return ::lstat(path, &st) == 0;
}

// The new key ring starts as the template "master.kyr" of the data
// directory, or, without one, as the host's predefined roots. The key file
// must not exist yet.
int PrepareNewKeyRing(const SecurityCmdContext& context, std::uint32_t* slot) {
  const KeyRingStatus status = KeyRingOpen(context.keyFile, std::nullopt);
  // A file that exists but cannot be read is not overwritten either.
  if (status != kKeyRingCannotOpen || PathExists(context.keyFile)) {
    return FailWith(slot, kMsgKeyFileExists);
  }
  const std::string templatePath = HostJoinPath(HostGetDataDirectory(), kTemplateKeyRing);
  if (KeyRingOpen(templatePath, std::nullopt) != kKeyRingOk) {
    const KeyRingStatus rootsStatus = KeyRingAddHostRoots();
    return Succeeded(rootsStatus)
               ? 0
               : FailWith(slot, kMsgAddRootsFailed, KeyRingStatusNumber(rootsStatus));
  }
  std::optional<KeyRingEntry> serverKey = KeyRingDefaultKeyEntry();
  if (serverKey) {
    KeyRingEntryFree(serverKey);
    return FailWith(slot, kMsgTemplateHasKey);
  }
  return 0;
}

// The subject Name of the new key: the one the builder made, or else
// encoded here.
bool SubjectNameOf(const CertData& built, const DnValue (&values)[DN_SLOT_COUNT], Asn1Item* own,
                   ByteView& subject) {
  if (built.subjectDer.data != nullptr) {
    subject = ByteView(built.subjectDer.data, static_cast<std::size_t>(built.subjectDer.length));
    return true;
  }
  if (EncodeName(own, values) != 0) return false;
  subject = ByteView(own->data, static_cast<std::size_t>(own->length));
  return true;
}

int CreateKeyFile(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  // A new key ring has no stash file to stand in for its password.
  if (!HasText(context.password)) return FailWith(slot, kMsgNoPassword);
  SubjectValues subject;
  if (subject.Build(context, slot) != 0) return -1;
  const bool writeRequest = context.certReqFile != nullptr;
  if (writeRequest && CheckRequestFile(context, slot) != 0) return -1;
  // A PEM request carries a self-signed certificate too.
  const bool certificate = context.selfSigned || (writeRequest && context.usePEM);
  BuildProfile profile;
  if (ChooseBuildProfile(session, certificate, context.designateRoot != 0,
                         HasText(context.commonName) ? context.commonName : "", &profile,
                         slot) != 0) {
    return -1;
  }
  if (RequireLabel(context, slot) != 0) return -1;
  // Held from the check that the file does not exist until it is written:
  // of two processes creating one ring, the second finds the first's.
  if (HasText(context.keyFile)) session.ringFileLock.emplace(context.keyFile);
  if (int status = PrepareNewKeyRing(context, slot); status != 0) return status;

  std::optional<KeyRingEntry> existing = KeyRingFindEntry(std::string_view(context.label));
  if (existing) {
    KeyRingEntryFree(existing);
    return FailWith(slot, kMsgLabelExists);
  }

  OwnedKey keyPair;
  if (context.keySize < SmallestKeyBits(profile.algorithm) || context.keySize > kLargestKeyBits ||
      GenerateRsaPrivateKey(static_cast<std::uint32_t>(context.keySize), keyPair) != 0 ||
      keyPair.get() == nullptr) {
    return FailWith(slot, kMsgKeyGenFailed);
  }

  CertRecord built;
  // Put in place only with the new ring: a failed creation keeps the old
  // request file.
  OutputFile requestFile;
  if (writeRequest || context.selfSigned) {
    // A PEM request carries a self-signed certificate, not a PKCS #10
    // request; unless one is wanted for the key ring as well, it is made for
    // the request alone.
    SecurityCmdContext builderContext = context;
    if (writeRequest && context.usePEM && !context.selfSigned) {
      builderContext.selfSigned = 1;
      builderContext.validDays = kPemRequestCertificateDays;
    }
    if (BuildRequestOrCertificate(subject.values, built.get(), keyPair.get(), &builderContext, slot,
                                  profile) != 0) {
      return -1;
    }
    if (writeRequest && WriteRequestFile(context, *built, keyPair.get(), requestFile, slot) != 0) {
      return -1;
    }
  }

  const std::string_view password = context.password ? context.password : "";
  SecureBytes encrypted;
  if (!Succeeded(EncryptPrivateKey(keyPair.get(), password, encrypted))) {
    return FailWith(slot, kMsgKeyEncryptFailed);
  }
  Asn1Item ownName{nullptr, 0};
  ByteView subjectName;
  if (!SubjectNameOf(*built, subject.values, &ownName, subjectName)) {
    return FailWith(slot, kMsgSubjectNameFailed);
  }
  const KeyRingStatus added =
      KeyRingAddKeyEntry(subjectName, encrypted, PasswordArg(context.password), context.label);
  DerFree(&ownName);
  if (!Succeeded(added)) return FailWith(slot, kMsgAddKeyEntryFailed);

  if (context.selfSigned) {
    const ByteView selfSigned(built->der.data, static_cast<std::size_t>(built->der.length));
    if (!Succeeded(KeyRingAddCertificate(selfSigned, std::string_view(context.label), nullptr))) {
      return FailWith(slot, kMsgAddCertFailed);
    }
  }
  if (context.designateRoot && DesignateRootEntry(context, slot) != 0) return -1;
  if (int status = SaveKeyRing(context, context.password, slot); status != 0) return status;
  if (writeRequest && CommitOutput(requestFile, slot) != 0) return -1;
  return ReportSuccess(slot, SuccessMessage::kKeyFileCreated);
}

}  // namespace

std::int32_t HandleCreateKeyFile(SecurityCmdContext& context, const CommandOptions& options,
                                 MessageReporter& reporter) {
  return RunCommandStep(CreateKeyFile, context, options, reporter);
}

std::int32_t HandleCreateSelfSigned(SecurityCmdContext& context, const CommandOptions& options,
                                    MessageReporter& reporter) {
  context.selfSigned = 1;
  const std::int32_t status = HandleCreateKeyFile(context, options, reporter);
  if (status == 0) reporter.Report(MessageNumberOf(SuccessMessage::kSelfSignedCreated));
  return status;
}

std::int32_t HandleCreateSelfSignedRoot(SecurityCmdContext& context, const CommandOptions& options,
                                        MessageReporter& reporter) {
  context.designateRoot = 1;
  const std::int32_t status = HandleCreateSelfSigned(context, options, reporter);
  if (status == 0) reporter.Report(MessageNumberOf(SuccessMessage::kSelfSignedRootCreated));
  return status;
}

std::int32_t HandleChangePassword(SecurityCmdContext& context, const CommandOptions& options,
                                  MessageReporter& reporter) {
  CommandSession session(options);
  std::uint32_t slot = kMsgNone;
  int status = OpenKeyRingFromContext(context, session, &slot);
  if (status == 0 && context.newPassword == nullptr) status = FailWith(&slot, kMsgNoNewPassword);
  if (status == 0) {
    status = KeyRingStatusNumber(
        KeyRingChangePassword(PasswordArg(context.password), context.newPassword, 0));
    if (status != 0) FailWith(&slot, kMsgPasswordChangeFailed);
  }
  if (status == 0) status = SaveKeyRing(context, context.newPassword, &slot);
  if (status == 0) status = ReportSuccess(&slot, SuccessMessage::kPasswordChanged);
  reporter.Report(slot);
  return status;
}

}  // namespace kcertadm
