// Lookups and changes of the in-memory key ring's entries.

#include <algorithm>
#include <new>

#include "keyring/certificate_parts.h"
#include "keyring/certificate_verification.h"
#include "keyring/keyring.h"
#include "keyring/keyring_crypto.h"
#include "keyring/keyring_state.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

bool SameBytes(const Bytes& a, ByteView b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

template <typename Match>
std::optional<KeyRingEntry> FindFirst(Match match) {
  KeyRingGuard guard;
  try {
    for (const KeyRingEntry& entry : InMemoryKeyRing(guard).entries) {
      if (match(entry)) return KeyRingEntryCopy(entry);
    }
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

// Sets or clears the trusted-root bit on every entry holding publicKey.
KeyRingStatus ChangeRootMark(ByteView publicKey, bool mark) {
  bool found = false;
  {
    KeyRingGuard guard;
    for (KeyRingEntry& entry : InMemoryKeyRing(guard).entries) {
      if (!SameBytes(entry.publicKey, publicKey)) continue;
      found = true;
      if (mark) {
        entry.flags |= kKeyRingTrustedRoot;
      } else {
        entry.flags &= static_cast<std::uint8_t>(~kKeyRingTrustedRoot);
      }
    }
  }
  if (!found) return kKeyRingNoEntry;
  TrustedRootCacheRebuild();
  return kKeyRingOk;
}

// Subject name and canonical public key of a certificate. 0, 3 when its key
// is unusable, or the decoder's negative status.
KeyRingStatus SubjectAndKey(ByteView certificate, Bytes& subject, Bytes& publicKey) {
  Bytes tbs, spki;
  int decoded = CertificateParts(certificate, &tbs, nullptr, nullptr);
  if (decoded != 0) return KeyRingStatusFromNumber(decoded);
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsSubject] = &subject;
  fields[kTbsSubjectPublicKeyInfo] = &spki;
  decoded = TbsCertificateFields(tbs, fields);
  if (decoded != 0) return KeyRingStatusFromNumber(decoded);
  auto canonical = CanonicalPublicKeyFromSpki(spki);
  if (!canonical) return kKeyRingBadFormat;
  publicKey = std::move(*canonical);
  return kKeyRingOk;
}

SecureBytes SealWithFreshSalt(const RsaPrivateNumbers& numbers, std::string_view password) {
  std::uint8_t salt[kPbeSaltSize];
  if (!KeyRingRandomBytes(salt, sizeof salt).ok()) return SecureBytes();  // no zero salt
  return EncryptPrivateKeyNumbers(numbers, password, salt);
}

std::string_view View(const SecureString& s) { return std::string_view(s.data(), s.size()); }

}  // namespace

std::optional<KeyRingEntry> KeyRingFindEntry(OptionalText label) {
  if (!label) return std::nullopt;
  return FindFirst([&](const KeyRingEntry& e) { return LabelEquals(e, *label); });
}

std::optional<KeyRingEntry> KeyRingFindByPublicKey(ByteView publicKey) {
  return FindFirst([&](const KeyRingEntry& e) { return SameBytes(e.publicKey, publicKey); });
}

std::optional<KeyRingEntry> KeyRingFindBySubject(ByteView subjectName) {
  return FindFirst([&](const KeyRingEntry& e) { return SameBytes(e.subjectName, subjectName); });
}

std::optional<KeyRingEntry> KeyRingDefaultKeyEntry() {
  return FindFirst([](const KeyRingEntry& e) { return e.HasPrivateKey() && e.HasCertificates(); });
}

std::optional<KeyRingEntry> KeyRingNextEntry(KeyRingCursor& cursor) {
  KeyRingGuard guard;
  const auto& entries = InMemoryKeyRing(guard).entries;
  if (entries.empty()) return std::nullopt;
  std::size_t index = cursor.next.value_or(0);
  if (index >= entries.size()) {
    // The list shrank under the caller: the walk is over.
    cursor.next.reset();
    return std::nullopt;
  }
  try {
    KeyRingEntry copy = KeyRingEntryCopy(entries[index]);
    if (index + 1 < entries.size()) {
      cursor.next = index + 1;
    } else {
      cursor.next.reset();
    }
    return copy;
  } catch (const std::bad_alloc&) {
    cursor.next.reset();
    return std::nullopt;
  }
}

KeyRingStatus KeyRingInsertEntry(KeyRingEntry entry) {
  const KeyRingStatus status = KeyRingEntryStorable(entry);
  if (status != kKeyRingOk) return status;
  KeyRingGuard guard;
  try {
    auto& entries = InMemoryKeyRing(guard).entries;
    entries.insert(entries.begin(), std::move(entry));
  } catch (const std::bad_alloc&) {
    return kKeyRingNoMemory;
  }
  RegisterKeyRingSampler();
  return kKeyRingOk;
}

KeyRingStatus KeyRingAddCertificate(ByteView certificate, OptionalText label,
                                    std::string* labelOut) {
  try {
    Bytes subject, publicKey;
    KeyRingStatus status = SubjectAndKey(certificate, subject, publicKey);
    if (!Succeeded(status)) return status;
    if (certificate.size() > kKeyRingFieldMax) return kKeyRingBadFormat;

    KeyRingGuard guard;
    auto& entries = InMemoryKeyRing(guard).entries;
    auto owner = std::find_if(entries.begin(), entries.end(), [&](const KeyRingEntry& e) {
      return SameBytes(e.publicKey, publicKey);
    });
    if (owner != entries.end()) {
      KeyRingEntry updated = KeyRingEntryCopy(*owner);
      updated.certificates.assign(certificate.begin(), certificate.end());
      status = KeyRingEntryStorable(updated);
      if (status != kKeyRingOk) return status;
      std::string ownerLabel = updated.LabelText();
      *owner = std::move(updated);
      if (labelOut) *labelOut = std::move(ownerLabel);
      return kKeyRingOk;
    }
    if (!label) return kKeyRingNoMatchingEntry;
    KeyRingEntry entry;
    entry.label = LabelBytes(*label);
    entry.subjectName = std::move(subject);
    entry.publicKey = std::move(publicKey);
    entry.certificates.assign(certificate.begin(), certificate.end());
    status = KeyRingInsertEntry(std::move(entry));
    if (status == kKeyRingOk && labelOut) *labelOut = std::string(*label);
    return status;
  } catch (const std::bad_alloc&) {
    return kKeyRingNoMemory;
  }
}

KeyRingStatus KeyRingAddKeyEntry(ByteView subjectName, ByteView privateKey,
                                 OptionalPassword password, std::string_view label) {
  try {
    KeyRingGuard guard;
    KeyRingState& ring = InMemoryKeyRing(guard);
    for (const KeyRingEntry& e : ring.entries) {
      if (SameBytes(e.subjectName, subjectName) && !LabelEquals(e, label))
        return kKeyRingSubjectInUse;
    }

    // Settle the password: adopt one when the key ring has none; otherwise a
    // given one must be the key ring's.
    SecureString usePassword;
    bool adopt = false;
    if (!ring.password) {
      if (!password) return kKeyRingWrongPassword;
      usePassword.assign(password->begin(), password->end());
      adopt = true;
    } else {
      if (password && *password != View(*ring.password)) return kKeyRingWrongPassword;
      usePassword = *ring.password;
    }

    auto numbers = DecryptPrivateKeyNumbers(privateKey, View(usePassword));
    if (!numbers) return kKeyRingWrongPassword;
    KeyRingEntry entry;
    entry.label = LabelBytes(label);
    entry.subjectName.assign(subjectName.begin(), subjectName.end());
    entry.publicKey = CanonicalPublicKey(PublicNumbersOf(*numbers));
    entry.privateKey.assign(privateKey.begin(), privateKey.end());
    const KeyRingStatus status = KeyRingEntryStorable(entry);
    if (status != kKeyRingOk) return status;

    // Nothing changes before the new entry is certain to go in. The new
    // entry replaces one under the same label; most often there is none.
    if (adopt) ring.password = usePassword;
    static_cast<void>(KeyRingDeleteEntry(label));
    return KeyRingInsertEntry(std::move(entry));
  } catch (const std::bad_alloc&) {
    return kKeyRingNoMemory;
  }
}

KeyRingStatus KeyRingDeleteEntry(std::string_view label) {
  KeyRingGuard guard;
  auto& entries = InMemoryKeyRing(guard).entries;
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const KeyRingEntry& e) { return LabelEquals(e, label); });
  if (it == entries.end()) return kKeyRingNoEntry;
  entries.erase(it);
  return kKeyRingOk;
}

KeyRingStatus KeyRingMarkRoot(ByteView publicKey) { return ChangeRootMark(publicKey, true); }

KeyRingStatus KeyRingUnmarkRoot(ByteView publicKey) { return ChangeRootMark(publicKey, false); }

KeyRingStatus KeyRingChangePassword(OptionalPassword oldPassword, std::string_view newPassword,
                                    std::uint32_t headerWord) {
  KeyRingGuard guard;
  KeyRingState& ring = InMemoryKeyRing(guard);
  try {
    if (!ring.password) {
      ring.password.emplace(newPassword.begin(), newPassword.end());
    } else {
      std::string_view current = View(*ring.password);
      if (!oldPassword || *oldPassword != current) return kKeyRingWrongPassword;
      if (*oldPassword != newPassword) {
        std::vector<KeyRingEntry> renewed;
        renewed.reserve(ring.entries.size());
        for (const KeyRingEntry& entry : ring.entries) {
          KeyRingEntry copy = KeyRingEntryCopy(entry);
          if (copy.HasPrivateKey()) {
            auto numbers = DecryptPrivateKeyNumbers(copy.privateKey, current);
            if (!numbers) return kKeyRingWrongPassword;
            copy.privateKey = SealWithFreshSalt(*numbers, newPassword);
            // Sealing a key that just decrypted fails only for want of memory
            // or of random bytes for its salt.
            if (copy.privateKey.empty()) return kKeyRingNoMemory;
            if (KeyRingEntryStorable(copy) != kKeyRingOk) return kKeyRingBadFormat;
          }
          renewed.push_back(std::move(copy));
        }
        SecureString newCopy(newPassword.begin(), newPassword.end());
        KeyRingClear();
        ring.entries = std::move(renewed);
        ring.password = std::move(newCopy);
      }
    }
  } catch (const std::bad_alloc&) {
    return kKeyRingNoMemory;
  }
  ring.headerWord = headerWord;
  return kKeyRingOk;
}

}  // namespace kcertadm
