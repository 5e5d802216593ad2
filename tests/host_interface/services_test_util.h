// Key rings, keys and peer tools for the certificate-service tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/hex_util.h"
#include "base/locks.h"
#include "cert/certificate.h"
#include "host/messages.h"
#include "kcertadm.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"
#include "keyring/stash.h"
#include "support/status_numbers.h"
#include "support/test_files.h"

// Host records are written with designated initialisers naming only the fields a test sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kcertadm::test {

using Bytes = std::vector<std::uint8_t>;
using test_support::BytesOf;
using test_support::ReadFileBytes;

inline constexpr const char* kPassword = "service pass";

inline std::string ServiceDataPath(const std::string& name) {  // tests/data/services/<name>
  return std::string(KCERTADM_TEST_DATA_DIR) + "/services/" + name;
}
inline std::string TextOf(const Asn1Item& item) {
  return item.data == nullptr || item.length <= 0
             ? ""
             : std::string(reinterpret_cast<char*>(item.data), item.length);
}
inline std::string Base64Of(const Bytes& bytes) {  // through the exported codec
  Asn1Item text{};
  Base64Encode(bytes.data(), static_cast<std::int32_t>(bytes.size()), &text);
  std::string result = TextOf(text);
  std::free(text.data);
  return result;
}
inline std::string RunShell(const std::string& command) {  // its standard output
  std::string output;
  char buffer[4096];
  FILE* pipe = popen(command.c_str(), "r");
  for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  if (pipe != nullptr) pclose(pipe);
  return output;
}
// The number of the message whose text buffer holds; 0 for none.
inline std::uint32_t MessageIn(const char* buffer) {
  for (std::uint32_t number = kFirstMessage; number <= kLastMessage; ++number) {
    const char* text = MessageText(number);
    if (text != nullptr && std::strcmp(buffer, text) == 0) return number;
  }
  return 0;
}
// Puts a malloc copy of text in item, as a record owns its blocks.
inline void SetText(Asn1Item* item, const std::string& text) {
  item->data = static_cast<std::uint8_t*>(std::malloc(text.size() + 1));
  std::memcpy(item->data, text.c_str(), text.size() + 1);
  item->length = static_cast<std::int32_t>(text.size());
}

// What a service did: its status and the number of its message.
struct Outcome {
  std::int32_t status;
  std::uint32_t message;
  bool operator==(const Outcome&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << o.status << "/" << o.message;
}

// A host record released by its free function at scope end.
template <typename Record, void (*Free)(Record*)>
struct Released {
  Released() = default;
  Released(const Released&) = delete;  // released once only
  ~Released() { Free(&value); }
  Record value{};
};
using HostRecord = Released<CertData, FreeCertData>;
using HostKeyData = Released<ServerKeyData, FreeExtKeyData>;

// The PKCS #1 private key of <name>.pem sealed under kPassword.
inline SecureBytes SealedKey(const std::string& name) {
  const std::string der = RunShell("openssl rsa -traditional -outform DER -in '" +
                                   ServiceDataPath(name + ".pem") + "' 2>/dev/null");
  Asn1Item n[9]{};
  std::vector<Asn1TemplateEntry> entries;
  for (Asn1Item& item : n) entries.push_back({kAsn1Integer, &item});
  Asn1Item key = Asn1View(der.data(), der.size());
  if (Asn1PeekTag(kAsn1Sequence, &key, 1) != 1 ||
      Asn1DecodeTemplate(entries.data(), 9, key, 1) != 0)
    return {};
  auto number = [&](int i) { return SecureBytes(n[i].data, n[i].data + n[i].length); };
  const RsaPrivateNumbers numbers{number(1), number(2), number(3), number(4),
                                  number(5), number(6), number(7), number(8)};
  const std::uint8_t salt[kPbeSaltSize] = {1, 2, 3, 4, 5, 6, 7, 8};
  return EncryptPrivateKeyNumbers(numbers, kPassword, salt);
}

// One key ring entry, made from <name>.der and, with a key, <name>.pem.
struct RingEntry {
  std::string name;
  bool withKey;
  bool trustedRoot;
};

inline bool AddEntry(const RingEntry& entry) {
  const Bytes certificate = ReadFileBytes(ServiceDataPath(entry.name + ".der"));
  CertData cert{.der = Asn1View(certificate.data(), certificate.size())};
  CertFields fields{};
  std::uint32_t error = 0;
  if (certificate.empty() || ParseSignedCert(&cert, &fields, &error) != 0) return false;
  const SecureBytes sealed = entry.withKey ? SealedKey(entry.name) : SecureBytes{};
  const bool added =
      entry.withKey
          ? !sealed.empty() &&
                KeyRingAddKeyEntry(BytesOf(fields.subject), sealed, kPassword, entry.name) == 0 &&
                KeyRingAddCertificate(certificate, std::nullopt, nullptr) == 0
          : KeyRingAddCertificate(certificate, std::string_view(entry.name), nullptr) == 0;
  if (!added || !entry.trustedRoot) return added;
  const std::optional<KeyRingEntry> root = KeyRingFindEntry(std::string_view(entry.name));
  return root && KeyRingMarkRoot(root->publicKey) == 0;
}

// An initialised library and a directory for the test's key rings.
class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { InitSecLib(nullptr); }
  // Writes a key ring of the entries in that order under kPassword, with its stash file; returns
  // its path.
  std::string Ring(const std::string& name, const std::vector<RingEntry>& entries) {
    const std::string path = dir_.Path(name);
    KeyRingGuard guard;
    KeyRingClear();
    bool written = true;
    // Entries are added at the head: add the last first.
    for (auto it = entries.rbegin(); written && it != entries.rend(); ++it) written = AddEntry(*it);
    written = written && KeyRingWrite(path, kPassword) == 0 && StashWrite(path, kPassword) == 0;
    KeyRingClear();
    EXPECT_TRUE(written) << name;
    return path;
  }
  // The server key certified by the root, and the root as a trusted certificate.
  std::string ChainRing() {
    return Ring("chain.kyr", {{"server", true, false}, {"root", false, true}});
  }
  test_support::TempDir dir_;
};

}  // namespace kcertadm::test
