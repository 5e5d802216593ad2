// One key ring entry and the operations on a single entry value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_view.h"
#include "base/secure_memory.h"

namespace kcertadm {

// Entry flag bit 0: the entry is a trusted root. Other bits are carried.
inline constexpr std::uint8_t kKeyRingTrustedRoot = 0x01;

// Every field of a record carries a 16-bit length.
inline constexpr std::size_t kKeyRingFieldMax = 0xFFFF;

// Fields in file order. An empty buffer is an absent field.
struct KeyRingEntry {
  Bytes label;                // text with its terminating zero byte
  Bytes subjectName;          // DER Name
  SecureBytes protectedData;  // held decrypted in memory
  Bytes publicKey;            // DER SubjectPublicKeyInfo, canonical form
  SecureBytes privateKey;     // DER EncryptedPrivateKeyInfo
  Bytes certificates;         // DER certificates back to back
  Bytes auxiliaryData;
  std::uint8_t flags = 0;

  // The label as text: the bytes before the first zero byte.
  std::string LabelText() const;
  bool IsTrustedRoot() const { return (flags & kKeyRingTrustedRoot) != 0; }
  bool HasPrivateKey() const { return !privateKey.empty(); }
  bool HasCertificates() const { return !certificates.empty(); }
};

// Stored form of a label: the text followed by its terminating zero byte.
Bytes LabelBytes(std::string_view text);

// Labels compare with their terminator, byte for byte; case matters.
bool LabelEquals(const KeyRingEntry& entry, std::string_view label);

// True when every field fits its 16-bit length.
bool KeyRingEntryFieldsFit(const KeyRingEntry& entry);

// Deep copy of every field and the flags. Copies handed out by lookups are
// independent of the key ring.
KeyRingEntry KeyRingEntryCopy(const KeyRingEntry& entry);

// Releases a copy; the protected data and the private key are wiped first.
void KeyRingEntryFree(std::optional<KeyRingEntry>& entry);

// Splits the certificates field into its DER elements, each a view into the
// entry's buffer. An absent field gives no elements; elements that overrun
// the field, or a length form the field cannot hold, give none.
std::optional<std::vector<ByteView>> KeyRingEntryCertificates(const KeyRingEntry& entry);

}  // namespace kcertadm
