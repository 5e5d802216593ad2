#include "commands/common_steps.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "cert/dn.h"
#include "commands/cert_keyring.h"
#include "commands/file_identity.h"
#include "commands/input_file.h"
#include "host/message_reporter.h"
#include "host/messages.h"
#include "host/regular_file.h"
#include "keyring/file_replace.h"
#include "keyring/keyring.h"
#include "keyring/stash.h"

namespace kcertadm {
namespace {

// The contents of a file before a save, to be put back when the save
// cannot be completed. A file that did not exist is removed again.
class FileSnapshot {
 public:
  explicit FileSnapshot(std::string path) : path_(std::move(path)) {
    existed_ = ReadRegularFile(path_, kNoFileSizeLimit, contents_) == FileReadStatus::kOk;
  }

  void Restore() const {
    if (!existed_) {
      ::unlink(path_.c_str());
      return;
    }
    // Best effort: the save has failed and says so whatever happens here. A
    // file that cannot be put back keeps the contents the save wrote.
    [[maybe_unused]] const bool restored = ReplaceFileContents(
        path_, [this](FileWriter& out) { return out.Write(contents_.data(), contents_.size()); });
  }

 private:
  std::string path_;
  bool existed_ = false;
  SecureBytes contents_;  // a stash file holds the password
};

}  // namespace

SubjectValues::~SubjectValues() { FreeDnValues(values); }

int SubjectValues::Build(const SecurityCmdContext& context, std::uint32_t* slot) {
  const char* const fields[DN_SLOT_COUNT] = {context.country, context.state,    context.city,
                                             context.org,     context.orgUnit,  context.commonName,
                                             context.email,   context.orgUnit2, context.orgUnit3};
  return BuildSubjectName(fields, values, 1, slot) == 1 ? 0 : FailWith(slot, kMsgBadSubjectName);
}

std::int32_t RunCommandStep(CommandStep step, SecurityCmdContext& context,
                            const CommandOptions& options, MessageReporter& reporter) {
  CommandSession session(options);
  std::uint32_t slot = kMsgNone;
  const int status = step(context, session, &slot);
  reporter.Report(slot, session.detail);
  return status;
}

int RequireLabel(const SecurityCmdContext& context, std::uint32_t* slot) {
  return HasText(context.label) ? 0 : FailWith(slot, kMsgNoLabel);
}

int CheckRequestFile(const SecurityCmdContext& context, std::uint32_t* slot) {
  if (!HasText(context.certReqFile)) return FailWith(slot, kMsgNoRequestFile);
  if (NamesKeyRingFile(context, context.certReqFile)) {
    return FailWith(slot, kMsgRequestFileIsKeyFile);
  }
  return 0;
}

FilePtr OpenInputFile(const SecurityCmdContext& context, std::uint32_t* slot) {
  if (CheckRequestFile(context, slot) != 0) return nullptr;
  // UseBER only changes how the contents are read. Input too large to be
  // a certificate or request cannot be read.
  InputProblem problem = InputProblem::kNone;
  FilePtr file = OpenBoundedInput(context.certReqFile, problem);
  if (problem == InputProblem::kCannotOpen) FailWith(slot, kMsgRequestFileOpenFailed);
  if (problem == InputProblem::kCannotRead) FailWith(slot, kMsgCertFileReadFailed);
  return file;
}

OutputFile OpenOutputFile(const SecurityCmdContext& context, std::uint32_t* slot,
                          NewFileAccess access) {
  if (!HasText(context.certFile)) {
    FailWith(slot, kMsgNoCertFile);
    return OutputFile();
  }
  if (NamesKeyRingFile(context, context.certFile) ||
      (HasText(context.certReqFile) && SameFile(context.certFile, context.certReqFile))) {
    FailWith(slot, kMsgCertFileCreateFailed);
    return OutputFile();
  }
  OutputFile file(context.certFile, access);
  if (!file) FailWith(slot, kMsgCertFileCreateFailed);
  return file;
}

OutputFile OpenReportFile(const SecurityCmdContext& context, const char* input,
                          std::uint32_t* slot) {
  if (!HasText(context.entriesFile)) {
    FailWith(slot, kMsgNoEntriesFile);
    return OutputFile();
  }
  // Replacing the report would take the input's place, or a key ring's.
  if ((input != nullptr && SameFile(context.entriesFile, input)) ||
      NamesKeyRingFile(context, context.entriesFile)) {
    FailWith(slot, kMsgEntriesFileCreateFailed);
    return OutputFile();
  }
  OutputFile file(context.entriesFile);
  if (!file) FailWith(slot, kMsgEntriesFileCreateFailed);
  return file;
}

int CommitOutput(OutputFile& file, std::uint32_t* slot) {
  return file.Commit() ? 0 : FailWith(slot, kMsgOutputWriteFailed);
}

int CloseReportFile(OutputFile file, int status, SuccessMessage done, std::uint32_t* slot) {
  if (status != 0) return status;
  if (CommitOutput(file, slot) != 0) return -1;
  return ReportSuccess(slot, done);
}

int OpenKeyRingFromContext(SecurityCmdContext& context, CommandSession& session,
                           std::uint32_t* slot) {
  FailWith(slot, kMsgKeyRingReadFailed);
  const std::string keyFile = context.keyFile ? context.keyFile : "";
  // Not even locked: a pipe or a device is no key ring.
  if (IsNonRegularFile(keyFile)) return -1;
  if (!session.ringFileLock && KeyRingFileLock::RingExists(keyFile)) {
    session.ringFileLock.emplace(keyFile);
  }
  KeyRingStatus status = KeyRingOpen(keyFile, std::nullopt);
  // A key ring that is there but may not be read is told apart from one
  // that is missing or damaged.
  if (status == kKeyRingCannotOpen && ::access(keyFile.c_str(), F_OK) == 0) {
    return FailWith(slot, kMsgKeyRingOpenFailed);
  }
  if (status != kKeyRingOk && status != kKeyRingWrongPassword) return -1;
  if (status == kKeyRingWrongPassword) {
    if (!HasText(context.password) && context.useStash) {
      if (std::optional<SecureString> stashed = StashRead(keyFile)) {
        session.stashedPassword = std::move(*stashed);
        context.password = session.stashedPassword.c_str();
      }
    }
    status = KeyRingOpen(keyFile, PasswordArg(context.password));
    if (status == kKeyRingCannotOpen) return FailWith(slot, kMsgKeyRingOpenFailed, 1);
    if (status == kKeyRingWrongPassword) return FailWith(slot, kMsgBadPassword, 1);
    if (status != kKeyRingOk) return FailWith(slot, kMsgKeyRingReadFailed, 1);
  }
  return 0;
}

int LoadSigningKey(SecurityCmdContext& context, CommandSession& session, SigningKey* signer,
                   std::uint32_t* slot) {
  if (int status = OpenKeyRingFromContext(context, session, slot); status != 0) return status;
  return LoadSigningKeyFromKeyRing(context.password, signer, slot);
}

int DesignateRootEntry(const SecurityCmdContext& context, std::uint32_t* slot) {
  std::optional<KeyRingEntry> entry =
      HasText(context.label) ? KeyRingFindEntry(std::string_view(context.label)) : std::nullopt;
  if (!entry) return FailWith(slot, kMsgNoSuchEntry);
  const KeyRingStatus status =
      context.noTrust ? KeyRingUnmarkRoot(entry->publicKey) : KeyRingMarkRoot(entry->publicKey);
  KeyRingEntryFree(entry);
  return Succeeded(status) ? 0 : FailWith(slot, kMsgDesignateFailed, KeyRingStatusNumber(status));
}

int SaveKeyRing(const SecurityCmdContext& context, const char* password, std::uint32_t* slot) {
  const std::string keyFile = context.keyFile ? context.keyFile : "";
  const std::string stashFile = StashFileName(keyFile);
  const bool stash = !context.noStashFile;
  // A key ring whose stash file would be itself (ring.sth) cannot have one;
  // nor can one whose stash name holds a pipe or a device (or a link to
  // one), which would be replaced.
  if (stash && (SameFile(stashFile, keyFile) || IsNonRegularFile(stashFile))) {
    return FailWith(slot, kMsgStashFailed);
  }

  const FileSnapshot keyRingBefore(keyFile);
  const KeyRingStatus status = KeyRingWrite(keyFile, PasswordArg(password));
  if (!Succeeded(status))
    return FailWith(slot, kMsgKeyRingWriteFailed, KeyRingStatusNumber(status));
  if (!stash) return 0;

  const FileSnapshot stashBefore(stashFile);
  // Without a password argument the key ring kept its own.
  const SecureString stashedCopy =
      password ? SecureString(password) : KeyRingPasswordCopy().value_or(SecureString());
  const std::string_view stashed(stashedCopy.data(), stashedCopy.size());
  std::optional<SecureString> readBack;
  if (StashWrite(keyFile, stashed) == 0) readBack = StashRead(keyFile);
  if (!readBack || std::string_view(readBack->data(), readBack->size()) != stashed) {
    stashBefore.Restore();
    keyRingBefore.Restore();
    return FailWith(slot, kMsgStashFailed);
  }
  return 0;
}

}  // namespace kcertadm
