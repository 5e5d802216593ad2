// The steps the command handlers share: requiring a label, opening the
// input and output files, opening the key ring with its password or stash
// file, designating a trusted root and saving the key ring with its stash
// file. Each step takes the caller's message number slot; on failure it
// fills the slot and returns nonzero (or no file), and the handler reports
// the slot and stops.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/locks.h"
#include "base/message_numbers.h"
#include "base/secure_memory.h"
#include "commands/command_options.h"
#include "commands/output_file.h"
#include "kcertadm.h"
#include "keyring/file_lock.h"

namespace kcertadm {

class MessageReporter;
struct SigningKey;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Lives for one whole command. It holds KeyRingLock from start to end, so
// that the open, change and write of one command never interleave with
// another thread's, and keeps the password read from a stash file for as
// long as the context points at it.
class CommandSession {
 public:
  CommandSession() = default;
  explicit CommandSession(const CommandOptions& chosen) : options(chosen) {}
  CommandSession(const CommandSession&) = delete;
  CommandSession& operator=(const CommandSession&) = delete;

  // What the keywords beyond the context record chose.
  CommandOptions options;
  // The value the reported message names (a refused Digest= or
  // SubjectAltName= item); empty for most messages.
  std::string detail;
  SecureString stashedPassword;
  // Taken when the key ring is opened and held to the end of the command,
  // so that another process cannot change the ring in between.
  std::optional<KeyRingFileLock> ringFileLock;

 private:
  KeyRingGuard guard_;
};

// The subject name typed into the context's nine name fields (Country to
// OrgUnit3, in slot order), with international text allowed. The values
// are released at the end of the scope.
class SubjectValues {
 public:
  // 0, or -1 with 30061 when a field does not fit its attribute.
  int Build(const SecurityCmdContext& context, std::uint32_t* slot);

  DnValue values[DN_SLOT_COUNT] = {};

  SubjectValues() = default;
  ~SubjectValues();
  SubjectValues(const SubjectValues&) = delete;
  SubjectValues& operator=(const SubjectValues&) = delete;
};

// The frame of a command handler: a session for the whole command, the
// step, and the message the step left in its slot reported.
using CommandStep = int (*)(SecurityCmdContext&, CommandSession&, std::uint32_t*);
std::int32_t RunCommandStep(CommandStep step, SecurityCmdContext& context,
                            const CommandOptions& options, MessageReporter& reporter);

// True when text is given and not empty.
inline bool HasText(const char* text) { return text != nullptr && text[0] != '\0'; }

// The label must be given: 0, or -1 with 30011.
int RequireLabel(const SecurityCmdContext& context, std::uint32_t* slot);

// CertReqFile must be given (30006) and must not be the key ring file or its
// stash file (30007). 0 or -1.
int CheckRequestFile(const SecurityCmdContext& context, std::uint32_t* slot);

// CheckRequestFile, then the request file read into memory (input_file.h):
// 30032 when it cannot be opened, 30022 when it cannot be read or is larger
// than kMaxCertificateFileSize.
FilePtr OpenInputFile(const SecurityCmdContext& context, std::uint32_t* slot);

// CertFile must be given (30033); it is opened for writing (output_file.h)
// unless it is the key ring file, its stash file or the input file, or
// cannot be written (30034). The command commits it when it succeeds.
// With kOwnerOnly the file is one that holds a private key (OutputFile).
OutputFile OpenOutputFile(const SecurityCmdContext& context, std::uint32_t* slot,
                          NewFileAccess access = NewFileAccess::kUmask);

// EntriesFile must be given (30050); it is opened for writing unless it is
// the key ring file, its stash file or input, the file the command reads
// (null: none), or cannot be written (30051).
OutputFile OpenReportFile(const SecurityCmdContext& context, const char* input,
                          std::uint32_t* slot);

// Puts a command's output in place: 0, or -1 with 30039 when a write or the
// replacement failed.
int CommitOutput(OutputFile& file, std::uint32_t* slot);

// Ends a report file after its writer ran with the given status: a failed
// writer's status stands and the old file stays; otherwise CommitOutput,
// and on success done goes in the slot and 0 is returned.
int CloseReportFile(OutputFile file, int status, SuccessMessage done, std::uint32_t* slot);

// Opens KeyFile into the in-memory key ring: first without password, then,
// when one is needed, with Password or, given UseStash and no Password, the
// stashed one (which the context then points at). The ring's file lock is
// taken for a ring that exists, and held by the session. 0; -1 with 30008
// when the file is there but cannot be opened, or 30010 when the first
// attempt fails otherwise than for a password; 1 with 30008 (cannot open),
// 30009 (password) or 30010.
int OpenKeyRingFromContext(SecurityCmdContext& context, CommandSession& session,
                           std::uint32_t* slot);

// OpenKeyRingFromContext, then the key ring's signing key into signer
// (LoadSigningKeyFromKeyRing, with the password the ring was opened with).
// 0; the open's status with its message; -1 with 30035 or 30071.
int LoadSigningKey(SecurityCmdContext& context, CommandSession& session, SigningKey* signer,
                   std::uint32_t* slot);

// Sets (or with NoTrust clears) the trusted-root mark of every entry holding
// the key of the entry named by the label. 0; -1 with 30026 (no such
// entry); the mark's status with 30027.
int DesignateRootEntry(const SecurityCmdContext& context, std::uint32_t* slot);

// Writes the key ring to KeyFile under password, then (unless NoStashFile)
// the stash file, and reads it back. 0; the write status with 30018; -1
// with 30019. When the stash step fails, the key ring file and the stash
// file are put back as they were before the call.
int SaveKeyRing(const SecurityCmdContext& context, const char* password, std::uint32_t* slot);

}  // namespace kcertadm
