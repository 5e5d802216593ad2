// Key rings, keys and peer tools for the certificate-service tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kcertadm.h"
#include "support/test_files.h"

// Host records are written with designated initialisers naming only the fields a test sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kcertadm::test {

using Bytes = std::vector<std::uint8_t>;
using testing::ReadFileBytes;

inline constexpr const char* kPassword = "service pass";

std::string ServiceDataPath(const std::string& name);  // tests/data/services/<name>
Bytes BytesOf(const Asn1Item& item);
std::string TextOf(const Asn1Item& item);
std::string Base64Of(const Bytes& bytes);  // through the exported codec
std::string RunShell(const std::string& command);  // its standard output
std::uint32_t MessageIn(const char* buffer);  // the number of the message buffer holds; 0 for none
void SetText(Asn1Item* item, const std::string& text);  // a malloc copy, as a record owns its blocks

// What a service did: its status and the number of its message.
struct Outcome { std::int32_t status; std::uint32_t message; bool operator==(const Outcome&) const = default; };
inline std::ostream& operator<<(std::ostream& out, const Outcome& o) { return out << o.status << "/" << o.message; }

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

// One key ring entry, made from <name>.der and, with a key, <name>.pem.
struct RingEntry { std::string name; bool withKey; bool trustedRoot; };

// An initialised library and a directory for the test's key rings.
class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { InitSecLib(nullptr); }
  // Writes a key ring of the entries in that order under kPassword, with its stash file; returns its path.
  std::string Ring(const std::string& name, const std::vector<RingEntry>& entries);
  // The server key certified by the root, and the root as a trusted certificate.
  std::string ChainRing() { return Ring("chain.kyr", {{"server", true, false}, {"root", false, true}}); }
  testing::TempDir dir_;
};

}  // namespace kcertadm::test
