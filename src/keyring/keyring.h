// The process-wide in-memory key ring: reading and writing the key ring file,
// and every lookup and change of its entries. Every operation takes
// KeyRingLock for as long as it looks at or changes the key ring; callers may
// hold a KeyRingGuard across several operations (the lock is recursive).
//
// Status codes are those of keyring_status.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/locks.h"
#include "base/secure_memory.h"
#include "keyring/keyring_entry.h"
#include "keyring/keyring_status.h"

namespace kcertadm {

// A text argument that may be absent: a label or a password (text without
// zero bytes). A null C text is none, so context fields pass straight in.
class OptionalText {
 public:
  OptionalText() = default;
  OptionalText(std::nullopt_t) {}
  OptionalText(const char* text) {
    if (text) value_ = std::string_view(text);
  }
  OptionalText(std::string_view text) : value_(text) {}
  OptionalText(const std::string& text) : value_(std::string_view(text)) {}
  OptionalText(const SecureString& text) : value_(std::string_view(text.data(), text.size())) {}
  OptionalText(std::optional<std::string_view> text) : value_(text) {}

  bool has_value() const { return value_.has_value(); }
  explicit operator bool() const { return value_.has_value(); }
  const std::string_view& operator*() const { return *value_; }
  const std::string_view* operator->() const { return &*value_; }
  std::optional<std::string_view> get() const { return value_; }

 private:
  std::optional<std::string_view> value_;
};

using OptionalPassword = OptionalText;

// Turns a C text (null for none) into a password argument.
inline OptionalPassword PasswordArg(const char* text) { return OptionalPassword(text); }

// --- The file ---------------------------------------------------------------

// Replaces the whole in-memory key ring by the contents of the file at path.
// On any failure the key ring is left empty and without password. Anything
// but a regular file (a FIFO, a device) cannot be opened: 2.
KeyRingStatus KeyRingOpen(const std::string& path, OptionalPassword password);

// Writes the whole in-memory key ring to path. A given password is adopted
// when the key ring has none. The file is replaced only when the new one is
// complete; on failure the previous file stays as it was.
KeyRingStatus KeyRingWrite(const std::string& path, OptionalPassword password);

// Empties the in-memory key ring: entries released, password wiped, header
// word 0, and the trusted-root cache released with its entries.
void KeyRingClear();

// --- State ------------------------------------------------------------------

bool KeyRingHasPassword();
// A copy of the key ring password, or none.
std::optional<SecureString> KeyRingPasswordCopy();
std::uint32_t KeyRingHeaderWord();
std::size_t KeyRingEntryCount();

// --- Lookups: deep copies, or none -----------------------------------------

std::optional<KeyRingEntry> KeyRingFindEntry(OptionalText label);
std::optional<KeyRingEntry> KeyRingFindByPublicKey(ByteView publicKey);
std::optional<KeyRingEntry> KeyRingFindBySubject(ByteView subjectName);
// The first entry holding both a private key and certificates: the server's key.
std::optional<KeyRingEntry> KeyRingDefaultKeyEntry();

// Iteration position held by the caller. None: at the start (before a call)
// or past the last entry (after a call).
struct KeyRingCursor {
  std::optional<std::size_t> next;
  bool AtEnd() const { return !next.has_value(); }
};

// Copies the entry at the cursor and moves the cursor on; an empty key ring
// gives none and leaves the cursor. Loop until the cursor is at the end
// again after a call, and examine that last copy too.
std::optional<KeyRingEntry> KeyRingNextEntry(KeyRingCursor& cursor);

// --- Changes ----------------------------------------------------------------

// Adds one DER certificate: it fills the certificates of the entry holding
// its public key, or with a label becomes a new certificate entry at the
// head. labelOut (may be null) receives the entry's label.
// 0; 3 no usable RSA key or data too long to store; 5; 7 the record would
// not fit; 12 no entry and no label; negative: the certificate does not decode.
KeyRingStatus KeyRingAddCertificate(ByteView certificate, OptionalText label,
                                    std::string* labelOut);

// Adds a key entry (replacing one with the same label) from a subject name
// and an encrypted private key made by EncryptPrivateKey under password.
// 0; 3; 4 wrong or missing password; 5; 7; 14 subject held under another label.
KeyRingStatus KeyRingAddKeyEntry(ByteView subjectName, ByteView privateKey,
                                 OptionalPassword password, std::string_view label);

// Unlinks and releases the first entry with that label: 0 or 8.
KeyRingStatus KeyRingDeleteEntry(std::string_view label);

// Sets / clears the trusted-root mark of every entry holding publicKey, then
// rebuilds the trusted-root cache: 0 or 8.
KeyRingStatus KeyRingMarkRoot(ByteView publicKey);
KeyRingStatus KeyRingUnmarkRoot(ByteView publicKey);

// Re-encrypts every private key under newPassword: 0, 4 or 5; the key ring
// is unchanged on failure. Sets the header word.
KeyRingStatus KeyRingChangePassword(OptionalPassword oldPassword, std::string_view newPassword,
                                    std::uint32_t headerWord);

// Adds a ready-made entry at the head of the list, checking that every field
// fits: 0, 3 or 7. For the template and test code paths.
KeyRingStatus KeyRingInsertEntry(KeyRingEntry entry);

}  // namespace kcertadm
