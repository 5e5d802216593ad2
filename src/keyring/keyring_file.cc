// Reading and writing the key ring file.
//
// Layout (integers big-endian):
//   header   16 bytes: 37 48 01 01, header word (4), check value (8)
//   records  16-byte record header (seven 16-bit field lengths, flags, 0)
//            followed by the seven fields back to back
//   end      16 zero bytes
//   trailer  MD5(password, every byte from the header through the end marker)
// Check value: the first 8 bytes of MD5(password, header bytes 0 to 7).

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "crypto/digest/md5.h"
#include "host/regular_file.h"
#include "keyring/certificate_verification.h"
#include "keyring/file_replace.h"
#include "keyring/keyring.h"
#include "keyring/keyring_crypto.h"
#include "keyring/keyring_state.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

constexpr std::uint8_t kMagic0 = 0x37;
constexpr std::uint8_t kMagic1 = 0x48;
constexpr std::uint8_t kFormat = 1;
constexpr std::size_t kFieldCount = 7;

using Block16 = std::array<std::uint8_t, 16>;

void PutBe16(std::uint8_t* p, std::size_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

std::size_t GetBe16(const std::uint8_t* p) { return std::size_t{p[0]} << 8 | p[1]; }

void HashPassword(Md5& md5, const std::optional<SecureString>& password) {
  if (password) md5.Update(password->data(), password->size());
}

// Check value over the password and header bytes 0 to 7, into header[8..15].
void CheckValue(const std::optional<SecureString>& password, const std::uint8_t* header,
                std::uint8_t* out8) {
  Md5 md5;
  HashPassword(md5, password);
  md5.Update(header, 8);
  std::uint8_t digest[Md5::kDigestSize];
  md5.Final(digest);
  std::memcpy(out8, digest, 8);
  SecureWipe(digest, sizeof digest);
}

std::optional<std::string_view> PasswordView(const std::optional<SecureString>& password) {
  if (!password) return std::nullopt;
  return std::string_view(password->data(), password->size());
}

// Reads from the key ring file, feeding the running MD5 with every byte.
class HashingReader {
 public:
  HashingReader(std::FILE* file, Md5& md5) : file_(file), md5_(md5) {}
  std::size_t Read(void* out, std::size_t n) {
    std::size_t got = std::fread(out, 1, n, file_);
    md5_.Update(out, got);
    return got;
  }

 private:
  std::FILE* file_;
  Md5& md5_;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Builds one entry from a record body.
KeyRingStatus ParseRecord(const Block16& header, const SecureBytes& body, const KeyRingState& ring,
                          KeyRingEntry& entry) {
  std::size_t offset = 0;
  auto take = [&](std::size_t index) {
    std::size_t n = GetBe16(&header[2 * index]);
    ByteView field(body.data() + offset, n);
    offset += n;
    return field;
  };
  ByteView label = take(0), subject = take(1), protectedData = take(2), publicKey = take(3),
           privateKey = take(4), certificates = take(5), auxiliary = take(6);
  entry.label.assign(label.begin(), label.end());
  entry.subjectName.assign(subject.begin(), subject.end());
  entry.publicKey.assign(publicKey.begin(), publicKey.end());
  entry.privateKey.assign(privateKey.begin(), privateKey.end());
  entry.certificates.assign(certificates.begin(), certificates.end());
  entry.auxiliaryData.assign(auxiliary.begin(), auxiliary.end());
  entry.flags = header[14];
  if (!protectedData.empty()) {
    const int status =
        DecryptProtectedData(protectedData, PasswordView(ring.password), entry.protectedData);
    if (status != 0) return KeyRingStatusFromNumber(status);
    if (entry.protectedData.size() > kKeyRingFieldMax) return kKeyRingBadFormat;
  }
  return kKeyRingOk;
}

// Every private key must open with the key ring password: a test
// decryption, run only on a file whose trailer matched, so that a record
// copied in from elsewhere costs nothing. An iteration count beyond the
// bound marks a damaged field.
KeyRingStatus TestPrivateKeys(const KeyRingState& ring) {
  for (const KeyRingEntry& entry : ring.entries) {
    if (!entry.HasPrivateKey()) continue;
    if (!ring.password) return kKeyRingWrongPassword;
    if (SealedKeyIterationsOverBound(entry.privateKey)) return kKeyRingBadFormat;
    // The header's check value has accepted the password: a key that does
    // not decrypt under it is damaged.
    if (!DecryptPrivateKeyNumbers(entry.privateKey, *PasswordView(ring.password)))
      return kKeyRingBadFormat;
  }
  return kKeyRingOk;
}

// Reads header, records, end marker and trailer into the (cleared) ring,
// then tests the private keys.
KeyRingStatus ReadKeyRing(std::FILE* file, KeyRingState& ring) {
  Md5 md5;
  HashPassword(md5, ring.password);
  HashingReader in(file, md5);

  std::uint8_t header[kKeyRingFileHeader];
  if (in.Read(header, sizeof header) != sizeof header) return kKeyRingTruncated;
  ring.headerWord = std::uint32_t{header[4]} << 24 | std::uint32_t{header[5]} << 16 |
                    std::uint32_t{header[6]} << 8 | header[7];
  if (header[0] != kMagic0 || header[1] != kMagic1 || header[2] != kFormat || header[3] != kFormat)
    return kKeyRingBadFormat;
  std::uint8_t expected[8];
  CheckValue(ring.password, header, expected);
  if (std::memcmp(expected, header + 8, 8) != 0) return kKeyRingWrongPassword;

  SecureBytes body;
  body.reserve(kKeyRingRecordBuffer);
  bool endMarker = false;
  for (;;) {
    Block16 recordHeader{};
    std::size_t got = in.Read(recordHeader.data(), recordHeader.size());
    if (got == 0) break;
    if (got < recordHeader.size()) return kKeyRingBadFormat;
    if (recordHeader == Block16{}) {
      endMarker = true;
      break;
    }
    std::size_t bodyLength = 0;
    for (std::size_t i = 0; i < kFieldCount; ++i) bodyLength += GetBe16(&recordHeader[2 * i]);
    if (bodyLength > kKeyRingRecordBuffer) return kKeyRingTruncated;
    body.assign(bodyLength, 0);
    if (in.Read(body.data(), bodyLength) != bodyLength) return kKeyRingTruncated;
    KeyRingEntry& entry = ring.entries.emplace_back();
    const KeyRingStatus status = ParseRecord(recordHeader, body, ring, entry);
    if (!Succeeded(status)) return status;
  }
  if (!endMarker) return kKeyRingBadFormat;

  std::uint8_t digest[Md5::kDigestSize];
  md5.Final(digest);
  std::uint8_t trailer[Md5::kDigestSize];
  if (std::fread(trailer, 1, sizeof trailer, file) != sizeof trailer) return kKeyRingBadFormat;
  if (std::memcmp(digest, trailer, sizeof digest) != 0) return kKeyRingBadFormat;
  return TestPrivateKeys(ring);
}

// Appends the record of one entry to buffer. 0 or a status.
KeyRingStatus BuildRecord(const KeyRingEntry& entry, const KeyRingState& ring,
                          SecureBytes& buffer) {
  SecureBytes protectedData;
  if (!entry.protectedData.empty()) {
    const int status =
        EncryptProtectedData(entry.protectedData, PasswordView(ring.password), protectedData);
    if (status != 0) return KeyRingStatusFromNumber(status);
  }
  if (!KeyRingEntryFieldsFit(entry) || protectedData.size() > kKeyRingFieldMax)
    return kKeyRingShortWrite;
  if (KeyRingRecordSize(entry, protectedData.size()) > kKeyRingRecordBuffer)
    return kKeyRingShortWrite;

  std::uint8_t header[kKeyRingRecordHeader] = {};
  const std::size_t lengths[kFieldCount] = {entry.label.size(),        entry.subjectName.size(),
                                            protectedData.size(),      entry.publicKey.size(),
                                            entry.privateKey.size(),   entry.certificates.size(),
                                            entry.auxiliaryData.size()};
  for (std::size_t i = 0; i < kFieldCount; ++i) PutBe16(header + 2 * i, lengths[i]);
  header[14] = entry.flags;
  header[15] = 0;
  buffer.assign(header, header + sizeof header);
  auto append = [&](const auto& field) { buffer.insert(buffer.end(), field.begin(), field.end()); };
  append(entry.label);
  append(entry.subjectName);
  append(protectedData);
  append(entry.publicKey);
  append(entry.privateKey);
  append(entry.certificates);
  append(entry.auxiliaryData);
  return kKeyRingOk;
}

KeyRingStatus WriteKeyRing(FileWriter& out, const KeyRingState& ring) {
  Md5 md5;
  HashPassword(md5, ring.password);
  auto write = [&](const void* data, std::size_t n) {
    md5.Update(data, n);
    return out.Write(data, n);
  };

  std::uint8_t header[kKeyRingFileHeader] = {kMagic0, kMagic1, kFormat, kFormat};
  header[4] = static_cast<std::uint8_t>(ring.headerWord >> 24);
  header[5] = static_cast<std::uint8_t>(ring.headerWord >> 16);
  header[6] = static_cast<std::uint8_t>(ring.headerWord >> 8);
  header[7] = static_cast<std::uint8_t>(ring.headerWord);
  CheckValue(ring.password, header, header + 8);
  if (!write(header, sizeof header)) return kKeyRingShortWrite;

  SecureBytes record;
  record.reserve(kKeyRingRecordBuffer);
  for (const KeyRingEntry& entry : ring.entries) {
    const KeyRingStatus status = BuildRecord(entry, ring, record);
    if (!Succeeded(status)) return status;
    if (!write(record.data(), record.size())) return kKeyRingShortWrite;
  }
  const Block16 endMarker{};
  if (!write(endMarker.data(), endMarker.size())) return kKeyRingShortWrite;
  std::uint8_t trailer[Md5::kDigestSize];
  md5.Final(trailer);
  if (!out.Write(trailer, sizeof trailer)) return kKeyRingShortWrite;
  return kKeyRingOk;
}

}  // namespace

void KeyRingClear() {
  KeyRingGuard guard;
  KeyRingState& ring = InMemoryKeyRing(guard);
  ring.entries.clear();
  ring.password.reset();  // SecureString wipes itself
  ring.headerWord = 0;
  TrustedRootCacheRelease();
}

KeyRingStatus KeyRingOpen(const std::string& path, OptionalPassword password) {
  KeyRingStatus status = kKeyRingOk;
  {
    KeyRingGuard guard;
    KeyRingClear();
    KeyRingState& ring = InMemoryKeyRing(guard);
    try {
      if (password) ring.password.emplace(password->begin(), password->end());
    } catch (const std::bad_alloc&) {
      return kKeyRingCannotOpen;
    }
    std::unique_ptr<std::FILE, FileCloser> file(RegularFile(path).ReleaseToStream());
    if (!file) {
      KeyRingClear();
      return kKeyRingCannotOpen;
    }
    try {
      status = ReadKeyRing(file.get(), ring);
    } catch (const std::bad_alloc&) {
      status = kKeyRingNoMemory;
    }
    if (status != kKeyRingOk) KeyRingClear();
    RegisterKeyRingSampler();
  }
  // Opening draws nothing from the shared random generator: a command that
  // needs no random bytes (listing, deleting, receiving, signing) then never
  // pays for seeding it from the machine.
  return status;
}

KeyRingStatus KeyRingWrite(const std::string& path, OptionalPassword password) {
  KeyRingGuard guard;
  KeyRingState& ring = InMemoryKeyRing(guard);
  try {
    if (password && !ring.password) ring.password.emplace(password->begin(), password->end());
    KeyRingStatus written = kKeyRingOk;
    const ReplaceStatus replaced = ReplaceFile(path, [&](FileWriter& out) {
      written = WriteKeyRing(out, ring);
      return Succeeded(written);
    });
    switch (replaced) {
      case ReplaceStatus::kReplaced:
        return kKeyRingOk;
      case ReplaceStatus::kCannotCreate:
        return kKeyRingCannotOpen;
      case ReplaceStatus::kCannotCommit:
        return kKeyRingShortWrite;
      case ReplaceStatus::kAbandoned:
        return written;
    }
    return kKeyRingShortWrite;
  } catch (const std::bad_alloc&) {
    return kKeyRingNoMemory;
  }
}

bool KeyRingHasPassword() {
  KeyRingGuard guard;
  return InMemoryKeyRing(guard).password.has_value();
}

std::optional<SecureString> KeyRingPasswordCopy() {
  KeyRingGuard guard;
  return InMemoryKeyRing(guard).password;
}

std::uint32_t KeyRingHeaderWord() {
  KeyRingGuard guard;
  return InMemoryKeyRing(guard).headerWord;
}

std::size_t KeyRingEntryCount() {
  KeyRingGuard guard;
  return InMemoryKeyRing(guard).entries.size();
}

}  // namespace kcertadm
