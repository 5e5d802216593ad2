// ImportKey: a private key with its certificates from a PKCS #12 or PEM key
// file into a new key entry.
#include <string>
#include <vector>

#include "cert/certificate.h"
#include "commands/cert_files.h"
#include "commands/cert_keyring.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "commands/key_chain.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "host/messages.h"
#include "host/regular_file.h"
#include "keyfile/key_file.h"
#include "keyfile/rsa_key_check.h"
#include "keyring/certificate_parts.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

std::uint32_t MessageOf(KeyFileStatus status) {
  switch (status) {
    case KeyFileStatus::kOk:
      return kMsgNone;
    case KeyFileStatus::kWrongPassword:
      return kMsgKeyFileWrongPassword;
    case KeyFileStatus::kTooManyIterations:
      return kMsgKeyFileIterations;
    case KeyFileStatus::kNotRsa:
      return kMsgUnsupportedKeyType;
    case KeyFileStatus::kNoPrivateKey:
      return kMsgKeyFileNoCertificate;
    case KeyFileStatus::kNoMemory:
      return kMsgOutOfMemory;
    case KeyFileStatus::kUnsupported:
    case KeyFileStatus::kBadPrivateKey:
      break;
  }
  return kMsgKeyFileUnsupported;
}

// The key file, read whole (wiped when released: it may hold a plain key).
int ReadKeyFileBytes(const SecurityCmdContext& context, Bytes& bytes, std::uint32_t* slot) {
  if (CheckRequestFile(context, slot) != 0) return -1;
  const FileReadStatus status =
      ReadRegularFile(context.certReqFile, kMaxCertificateFileSize, bytes);
  if (status == FileReadStatus::kCannotOpen) return FailWith(slot, kMsgRequestFileOpenFailed);
  if (status != FileReadStatus::kOk || bytes.empty()) return FailWith(slot, kMsgCertFileReadFailed);
  return 0;
}

// The certificate whose public key is the key's: its index, or none.
std::optional<std::size_t> CertificateOfKey(const KeyFileContents& contents) {
  const Bytes publicKey = CanonicalPublicKey(PublicNumbersOf(*contents.key));
  for (std::size_t i = 0; i < contents.certificates.size(); ++i) {
    const Bytes& certificate = contents.certificates[i];
    Bytes tbs, spki;
    std::array<Bytes*, kTbsFieldCount> fields{};
    fields[kTbsSubjectPublicKeyInfo] = &spki;
    if (CertificateParts(certificate, &tbs, nullptr, nullptr) != 0 ||
        TbsCertificateFields(tbs, fields) != 0)
      continue;
    if (CanonicalPublicKeyFromSpki(spki) == publicKey) return i;
  }
  return std::nullopt;
}

// The key sealed as the key ring stores its keys (CreateKeyFile's way).
int SealKey(const RsaPrivateNumbers& numbers, std::string_view password, SecureBytes& sealed) {
  const RsaPrivateKeyRecord record = RecordOf(numbers);
  OwnedKey key;
  {
    ToolkitLockHeld lock;
    if (key.Create(lock) != 0 || KeySetInfo(lock, key.get(), KeyInfoRsaPrivate(), &record) != 0)
      return -1;
  }
  return Succeeded(EncryptPrivateKey(key.get(), password, sealed)) ? 0 : -1;
}

// The label of the new entry: KeyName, or the certificate's common name.
int ChooseLabel(const SecurityCmdContext& context, ByteView certificate, std::string& label,
                std::uint32_t* slot) {
  if (HasText(context.label)) {
    label = context.label;
  } else if (std::optional<std::string> commonName = SubjectCommonNameLabel(certificate)) {
    label = *commonName;
  } else {
    return FailWith(slot, kMsgNoLabel);
  }
  std::optional<KeyRingEntry> sameLabel = KeyRingFindEntry(std::string_view(label));
  if (!sameLabel) return 0;
  KeyRingEntryFree(sameLabel);
  return FailWith(slot, kMsgLabelExists);
}

// The certificate decodes, holds an RSA key no entry holds yet.
int CheckKeyCertificate(ByteView certificate, CertFields& fields, CertRecord& cert,
                        std::uint32_t* slot) {
  if (!CopyToItem(certificate, &cert->der)) return FailWith(slot, kMsgOutOfMemory);
  if (CheckCertificate(cert.get(), &fields, 0, slot) != 0) return -1;
  const ByteView spki(fields.subjectPublicKeyInfo.data,
                      static_cast<std::size_t>(fields.subjectPublicKeyInfo.length));
  std::optional<Bytes> publicKey = CanonicalPublicKeyFromSpki(spki);
  std::optional<KeyRingEntry> holder;
  if (publicKey) holder = KeyRingFindByPublicKey(*publicKey);
  if (!holder) return 0;
  const bool hasPrivateKey = holder->HasPrivateKey();
  KeyRingEntryFree(holder);
  return FailWith(slot, hasPrivateKey ? kMsgPublicKeyInKeyEntry : kMsgPublicKeyInEntry);
}

// Adds the key entry with its certificate, then the other certificates.
int StoreKeyEntry(const SecurityCmdContext& context, const KeyFileContents& contents,
                  std::size_t own, std::uint32_t* slot) {
  const ByteView certificate = contents.certificates[own];
  CertRecord cert;
  CertFields fields{};
  if (CheckKeyCertificate(certificate, fields, cert, slot) != 0) return -1;
  std::string label;
  if (ChooseLabel(context, certificate, label, slot) != 0) return -1;
  const std::string_view password = context.password ? context.password : "";
  SecureBytes sealed;
  if (SealKey(*contents.key, password, sealed) != 0) return FailWith(slot, kMsgKeyEncryptFailed);
  const ByteView subject(fields.subject.data, static_cast<std::size_t>(fields.subject.length));
  if (!Succeeded(KeyRingAddKeyEntry(subject, sealed, PasswordArg(context.password), label)))
    return FailWith(slot, kMsgAddKeyEntryFailed);
  if (!Succeeded(KeyRingAddCertificate(certificate, std::nullopt, nullptr)))
    return FailWith(slot, kMsgAddCertFailed);
  std::vector<ByteView> others;
  for (std::size_t i = 0; i < contents.certificates.size(); ++i)
    if (i != own) others.emplace_back(contents.certificates[i]);
  return StoreChainCertificates(others, slot);
}

int ImportKey(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  KeyFileContents contents;
  {
    Bytes file;
    const int read = ReadKeyFileBytes(context, file, slot);
    const std::string_view password =
        session.options.filePassword ? session.options.filePassword : "";
    const KeyFileStatus status =
        read == 0 ? ReadKeyFile(file, password, contents) : KeyFileStatus::kOk;
    SecureWipe(file.data(), file.size());
    if (read != 0) return -1;
    if (status != KeyFileStatus::kOk) return FailWith(slot, MessageOf(status));
  }
  if (!RsaPrivateNumbersConsistent(*contents.key)) return FailWith(slot, kMsgKeyFileUnsupported);
  const std::optional<std::size_t> own = CertificateOfKey(contents);
  if (!own) return FailWith(slot, kMsgKeyFileNoCertificate);
  // Everything above is checked before the key ring changes; a failure
  // below leaves the file as it was, since it is written only at the end.
  if (StoreKeyEntry(context, contents, *own, slot) != 0) return -1;
  const KeyRingStatus written = KeyRingWrite(context.keyFile, PasswordArg(context.password));
  if (!Succeeded(written))
    return FailWith(slot, kMsgKeyRingWriteFailed, KeyRingStatusNumber(written));
  return ReportSuccess(slot, SuccessMessage::kKeyImported);
}

}  // namespace

std::int32_t HandleImportKey(SecurityCmdContext& context, const CommandOptions& options,
                             MessageReporter& reporter) {
  return RunCommandStep(ImportKey, context, options, reporter);
}

}  // namespace kcertadm
