#include "services_test_util.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "asn1/asn1.h"
#include "cert/certificate.h"
#include "crypto/rsa_key_info.h"
#include "crypto/toolkit.h"
#include "crypto/toolkit_scope.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"
#include "keyring/stash.h"
#include "host_interface/messages.h"

namespace kcertadm::test {

std::string ServiceDataPath(const std::string& name) {
  return std::string(KCERTADM_TEST_DATA_DIR) + "/services/" + name;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

Bytes BytesOf(const Asn1Item& item) {
  if (item.data == nullptr || item.length <= 0) return {};
  return Bytes(item.data, item.data + item.length);
}

std::string TextOf(const Asn1Item& item) {
  const Bytes bytes = BytesOf(item);
  return std::string(bytes.begin(), bytes.end());
}

int RunShell(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string collected;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) collected.append(buffer, n);
  const int status = pclose(pipe);
  if (output != nullptr) *output = collected;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HoldsMessage(const char* buffer, std::uint32_t number) {
  const char* text = MessageText(number);
  return text != nullptr && std::strcmp(buffer, text) == 0;
}

void SetText(Asn1Item* item, const std::string& text) {
  item->data = static_cast<std::uint8_t*>(std::malloc(text.size() + 1));
  std::memcpy(item->data, text.c_str(), text.size() + 1);
  item->length = static_cast<std::int32_t>(text.size());
}

namespace {

// The DER of the one PEM block in text.
Bytes PemBody(const std::string& text) {
  std::istringstream lines(text);
  std::string line, base64;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (line.rfind("-----BEGIN", 0) == 0) {
      inside = true;
    } else if (line.rfind("-----END", 0) == 0) {
      break;
    } else if (inside) {
      base64 += line;
    }
  }
  Asn1Item der{};
  if (Base64Decode(base64.c_str(), static_cast<std::int32_t>(base64.size()), &der) == 0) return {};
  Bytes bytes = BytesOf(der);
  std::free(der.data);
  return bytes;
}

// A toolkit private key object from a PKCS #1 RSAPrivateKey PEM file.
KeyObject* LoadPrivateKey(const std::string& name) {
  const Bytes der = PemBody(ReadText(ServiceDataPath(name + ".pem")));
  Asn1Item key{const_cast<std::uint8_t*>(der.data()), static_cast<std::int32_t>(der.size())};
  Asn1Item n[9]{};
  std::vector<Asn1TemplateEntry> entries;
  for (Asn1Item& item : n) entries.push_back({kAsn1Integer, &item});
  if (Asn1PeekTag(kAsn1Sequence, &key, 1) != 1 ||
      Asn1DecodeTemplate(entries.data(), 9, key, 1) != 0) {
    return nullptr;
  }
  auto b = [&](int i) { return ByteItem{n[i].data, static_cast<std::uint32_t>(n[i].length)}; };
  const RsaPrivateKeyRecord record{b(1), b(2), b(3), b(4), b(5), b(6), b(7), b(8)};
  ToolkitScope lock;
  ScopedKey owner;
  if (owner.Create() != 0 || KeySetInfo(owner.get(), KeyInfoRsaPrivate(), &record) != 0) {
    return nullptr;
  }
  return owner.release();
}

// The subject Name of a DER certificate.
Bytes SubjectOf(const Bytes& certificate) {
  CertData cert{};
  cert.der = Asn1Item{const_cast<std::uint8_t*>(certificate.data()),
                      static_cast<std::int32_t>(certificate.size())};
  CertFields fields{};
  std::uint32_t error = 0;
  if (ParseSignedCert(&cert, &fields, &error) != 0) return {};
  return BytesOf(fields.subject);
}

bool AddEntry(const RingEntry& entry) {
  const Bytes certificate = ReadFile(ServiceDataPath(entry.name + ".der"));
  if (certificate.empty()) return false;
  if (entry.withKey) {
    KeyObject* key = LoadPrivateKey(entry.name);
    if (key == nullptr) return false;
    SecureBytes sealed;
    const int status = EncryptPrivateKey(key, kPassword, sealed);
    {
      ToolkitScope lock;
      KeyDestroy(&key);
    }
    if (status != 0) return false;
    if (KeyRingAddKeyEntry(SubjectOf(certificate), sealed, kPassword, entry.name) != 0) {
      return false;
    }
    if (KeyRingAddCertificate(certificate, std::nullopt, nullptr) != 0) return false;
  } else if (KeyRingAddCertificate(certificate, std::string_view(entry.name), nullptr) != 0) {
    return false;
  }
  if (entry.trustedRoot) {
    std::optional<KeyRingEntry> added = KeyRingFindEntry(std::string_view(entry.name));
    if (!added || KeyRingMarkRoot(added->publicKey) != 0) return false;
  }
  return true;
}

}  // namespace

bool WriteKeyRing(const std::string& path, const std::vector<RingEntry>& entries) {
  KeyRingGuard guard;
  KeyRingClear();
  // Entries are added at the head: add the last first.
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (!AddEntry(*it)) {
      KeyRingClear();
      return false;
    }
  }
  const bool written = KeyRingWrite(path, kPassword) == 0 && StashWrite(path, kPassword) == 0;
  KeyRingClear();
  return written;
}

Bytes PublicKeyInfoOf(const std::string& name) {
  std::string der;
  RunShell("openssl pkey -in '" + ServiceDataPath(name + ".pem") + "' -pubout -outform DER", &der);
  return Bytes(der.begin(), der.end());
}

void InitialiseLibrary() {
  std::uint32_t error = 0;
  InitSecLib(&error);
}

std::string Base64Of(const Bytes& bytes) {
  Asn1Item text{};
  Base64Encode(bytes.data(), static_cast<std::int32_t>(bytes.size()), &text);
  std::string result = TextOf(text);
  std::free(text.data);
  return result;
}

Bytes DecodeBase64(const std::string& text) {
  Asn1Item der{};
  Base64Decode(text.c_str(), static_cast<std::int32_t>(text.size()), &der);
  Bytes bytes = BytesOf(der);
  std::free(der.data);
  return bytes;
}

}  // namespace kcertadm::test
