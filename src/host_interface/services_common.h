// Pieces shared by the certificate services that the host calls directly.
#pragma once

#include <cstdint>
#include <new>
#include <optional>

#include "commands/common_steps.h"
#include "host/messages.h"
#include "host_interface/export_guard.h"
#include "kcertadm.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

// Runs a service body through the exports' guard where a service still
// has work to do after it (a message to report): running out of memory
// becomes 30070 in the slot and -1.
template <typename Body>
std::int32_t RunService(std::uint32_t* slot, Body body) {
  return GuardExport<std::int32_t>(-1, body, OutOfMemoryIn(slot));
}

// The key ring named by a copy of the host's context, opened as the commands
// open it, so that a password read from the stash file never leaves a
// pointer behind in the host's record. Holds KeyRingLock and the ring's file
// lock for the session's lifetime.
struct KeyRingSession {
  SecurityCmdContext context;
  CommandSession session;

  explicit KeyRingSession(const SecurityCmdContext& hostContext) : context(hostContext) {}
  int Open(std::uint32_t* slot) { return OpenKeyRingFromContext(context, session, slot); }
  int LoadSigner(SigningKey* signer, std::uint32_t* slot) {
    return LoadSigningKey(context, session, signer, slot);
  }
};

// True when item starts with one complete element that fills it exactly.
bool IsOneElement(const Asn1Item& item);

// The host's output rule: a text shorter than the buffer is copied with its
// NUL; a longer one (or one exactly as long) is not copied at all.
// True when it was copied.
bool CopyTextToOutput(const Asn1Item& text, char* output, std::uint32_t outputSize);

// A new malloc block holding the NUL-terminated text (its NUL included), in
// out, with the text length. False when text is null or memory runs out.
bool CopyHostText(const char* text, Asn1Item* out);

}  // namespace kcertadm
