#include "services_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "asn1/asn1.h"
#include "cert/certificate.h"
#include "host_interface/locks.h"
#include "host_interface/messages.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"
#include "keyring/stash.h"

namespace kcertadm::test {

std::string ServiceDataPath(const std::string& name) {
  return std::string(KCERTADM_TEST_DATA_DIR) + "/services/" + name;
}

Bytes BytesOf(const Asn1Item& item) {
  return item.data == nullptr || item.length <= 0 ? Bytes{} : Bytes(item.data, item.data + item.length);
}

std::string TextOf(const Asn1Item& item) {
  return item.data == nullptr || item.length <= 0 ? "" : std::string(reinterpret_cast<char*>(item.data), item.length);
}

std::string Base64Of(const Bytes& bytes) {
  Asn1Item text{};
  Base64Encode(bytes.data(), static_cast<std::int32_t>(bytes.size()), &text);
  std::string result = TextOf(text);
  std::free(text.data);
  return result;
}

std::string RunShell(const std::string& command) {
  std::string output;
  char buffer[4096];
  FILE* pipe = popen(command.c_str(), "r");
  for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  if (pipe != nullptr) pclose(pipe);
  return output;
}

std::uint32_t MessageIn(const char* buffer) {
  for (std::uint32_t number = kFirstMessage; number <= kLastMessage; ++number) {
    const char* text = MessageText(number);
    if (text != nullptr && std::strcmp(buffer, text) == 0) return number;
  }
  return 0;
}

void SetText(Asn1Item* item, const std::string& text) {
  item->data = static_cast<std::uint8_t*>(std::malloc(text.size() + 1));
  std::memcpy(item->data, text.c_str(), text.size() + 1);
  item->length = static_cast<std::int32_t>(text.size());
}

namespace {

// The PKCS #1 private key of <name>.pem sealed under kPassword.
SecureBytes SealedKey(const std::string& name) {
  const std::string der =
      RunShell("openssl rsa -traditional -outform DER -in '" + ServiceDataPath(name + ".pem") + "' 2>/dev/null");
  Asn1Item n[9]{};
  std::vector<Asn1TemplateEntry> entries;
  for (Asn1Item& item : n) entries.push_back({kAsn1Integer, &item});
  Asn1Item key = Asn1View(der.data(), der.size());
  if (Asn1PeekTag(kAsn1Sequence, &key, 1) != 1 || Asn1DecodeTemplate(entries.data(), 9, key, 1) != 0) return {};
  auto number = [&](int i) { return SecureBytes(n[i].data, n[i].data + n[i].length); };
  const RsaPrivateNumbers numbers{number(1), number(2), number(3), number(4),
                                  number(5), number(6), number(7), number(8)};
  const std::uint8_t salt[kPbeSaltSize] = {1, 2, 3, 4, 5, 6, 7, 8};
  return EncryptPrivateKeyNumbers(numbers, kPassword, salt);
}

// The subject Name of a DER certificate.
Bytes SubjectOf(const Bytes& certificate) {
  CertData cert{.der = Asn1View(certificate.data(), certificate.size())};
  CertFields fields{};
  std::uint32_t error = 0;
  return ParseSignedCert(&cert, &fields, &error) == 0 ? BytesOf(fields.subject) : Bytes{};
}

bool AddEntry(const RingEntry& entry) {
  const Bytes certificate = ReadFileBytes(ServiceDataPath(entry.name + ".der"));
  if (certificate.empty()) return false;
  const SecureBytes sealed = entry.withKey ? SealedKey(entry.name) : SecureBytes{};
  const bool added = entry.withKey
      ? !sealed.empty() && KeyRingAddKeyEntry(SubjectOf(certificate), sealed, kPassword, entry.name) == 0 &&
            KeyRingAddCertificate(certificate, std::nullopt, nullptr) == 0
      : KeyRingAddCertificate(certificate, std::string_view(entry.name), nullptr) == 0;
  if (!added || !entry.trustedRoot) return added;
  const std::optional<KeyRingEntry> root = KeyRingFindEntry(std::string_view(entry.name));
  return root && KeyRingMarkRoot(root->publicKey) == 0;
}

}  // namespace

std::string ServicesTest::Ring(const std::string& name, const std::vector<RingEntry>& entries) {
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

}  // namespace kcertadm::test
