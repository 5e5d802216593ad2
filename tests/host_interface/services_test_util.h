// Key rings, keys and peer tools for the certificate-service tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "kcertadm.h"

namespace kcertadm::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr const char* kPassword = "service pass";

std::string ServiceDataPath(const std::string& name);
Bytes ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
using testing::WriteFileBytes;
Bytes BytesOf(const Asn1Item& item);
std::string TextOf(const Asn1Item& item);
// Base64 through the exported codec.
std::string Base64Of(const Bytes& bytes);
Bytes DecodeBase64(const std::string& text);

// Runs a shell command line; returns its exit status and its standard
// output (standard error goes to the test log).
int RunShell(const std::string& command, std::string* output = nullptr);

// A fresh directory removed with its contents at the end of the test.
struct ScratchDir : testing::TempDir {
  std::string Path(const std::string& name) const { return path() + "/" + name; }
};

// True when buffer holds the text of message number.
bool HoldsMessage(const char* buffer, std::uint32_t number);
// Puts a malloc copy of text in item, as a record owns its blocks.
void SetText(Asn1Item* item, const std::string& text);

// One entry of a test key ring, made from tests/data/services/<name>.der and,
// with a key, <name>.pem. Entries are listed in the key ring's order.
struct RingEntry {
  std::string name;
  bool withKey;
  bool trustedRoot;
};

// Writes a key ring with those entries under kPassword to path, and its
// stash file. False when any step fails.
bool WriteKeyRing(const std::string& path, const std::vector<RingEntry>& entries);

// The DER SubjectPublicKeyInfo of the RSA key in tests/data/services/<name>.pem,
// as openssl writes it.
Bytes PublicKeyInfoOf(const std::string& name);

// Makes sure the library is initialised (the services that do not
// initialise on their own refuse to run before).
void InitialiseLibrary();

// A certificate record released with FreeCertData.
struct HostRecord {
  HostRecord() = default;
  ~HostRecord() { FreeCertData(&cert); }
  HostRecord(const HostRecord&) = delete;
  HostRecord& operator=(const HostRecord&) = delete;
  CertData cert{};
};

// A key data record released with FreeExtKeyData.
struct HostKeyData {
  HostKeyData() = default;
  ~HostKeyData() { FreeExtKeyData(&data); }
  HostKeyData(const HostKeyData&) = delete;
  HostKeyData& operator=(const HostKeyData&) = delete;
  ServerKeyData data{};
};

}  // namespace kcertadm::test
