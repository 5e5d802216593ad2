// The server's key material and names as the host reads them: GetServerKey,
// GetKeyData, GetServerRootCert, GetCertDN and FreeExtKeyData.
#include <gtest/gtest.h>

#include <cstring>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host_interface/messages.h"
#include "kcertadm.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

std::string SlotText(const DnFields& name, int slot) {
  return std::string(reinterpret_cast<const char*>(name.slot[slot].value),
                     static_cast<std::size_t>(name.slot[slot].length));
}

class KeyDataTest : public ::testing::Test {
 protected:
  void SetUp() override { InitialiseLibrary(); }

  std::string Ring(const std::string& name, const std::vector<RingEntry>& entries) {
    const std::string path = dir_.Path(name);
    EXPECT_TRUE(WriteKeyRing(path, entries));
    return path;
  }

  // The server key certified by the root, and the root as a trusted
  // certificate entry.
  std::string ChainRing() {
    return Ring("chain.kyr", {{"server", true, false}, {"root", false, true}});
  }

  ScratchDir dir_;
};

// The host program checks with openssl that the private key handed out is
// the server's.
TEST_F(KeyDataTest, GetServerKeyHandsOutTheServersKeyAndCertificate) {
  const std::string ring = ChainRing();
  ServerKeyData key{};
  char message[256] = "untouched";
  ASSERT_EQ(GetServerKey(ring.c_str(), kPassword, &key, message, sizeof message), 0);
  EXPECT_STREQ(message, "untouched");
  EXPECT_EQ(key.badPassword, 0);
  EXPECT_EQ(BytesOf(key.certificate), ReadFile(ServiceDataPath("server.der")));
  EXPECT_EQ(BytesOf(key.publicKey), PublicKeyInfoOf("server"));
  EXPECT_GT(key.privateKey.length, 0);
  EXPECT_EQ(key.rootCertificate.data, nullptr);

  FreeExtKeyData(&key);
  EXPECT_EQ(key.privateKey.data, nullptr);
  EXPECT_EQ(key.publicKey.data, nullptr);
  EXPECT_EQ(key.certificate.data, nullptr);
  // A second release and a null record are harmless.
  FreeExtKeyData(&key);
  FreeExtKeyData(nullptr);
}

TEST_F(KeyDataTest, FailuresReportTheirMessage) {
  const std::string chain = ChainRing();
  const std::string rootsOnly = Ring("roots.kyr", {{"root", false, true}});
  const std::string missing = dir_.Path("missing.kyr");
  struct Case {
    const char* why;
    std::string keyFile;
    const char* password;
    std::uint32_t message;
    std::int32_t badPassword;
  };
  const Case kTests[] = {
      {"wrong password", chain, "not it", 30009, 1},
      {"no password for a protected key ring", chain, nullptr, 30009, 1},
      {"no key ring file", missing, kPassword, 30010, 0},
      {"no entry with a private key", rootsOnly, kPassword, 30048, 0},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    HostKeyData key;
    key.data.badPassword = 7;
    char message[256] = "";
    EXPECT_NE(GetServerKey(test.keyFile.c_str(), test.password, &key.data, message,
                           sizeof message),
              0);
    EXPECT_TRUE(HoldsMessage(message, test.message)) << message;
    EXPECT_EQ(key.data.badPassword, test.badPassword);
    EXPECT_EQ(key.data.privateKey.data, nullptr);
  }
}

TEST_F(KeyDataTest, GetKeyDataLeavesTheHostContextAsItWas) {
  const std::string ring = ChainRing();
  SecurityCmdContext context{};
  context.keyFile = ring.c_str();
  context.useStash = 1;  // the password comes from the stash file
  HostKeyData key;
  char message[256] = "";
  ASSERT_EQ(GetKeyData(&context, &key.data, message, sizeof message), 0) << message;
  EXPECT_GT(key.data.privateKey.length, 0);
  // The stashed password lived for the call only; the record never points
  // at it.
  EXPECT_EQ(context.password, nullptr);
}

TEST_F(KeyDataTest, GetServerRootCertClimbsToTheRoot) {
  const Bytes root = ReadFile(ServiceDataPath("root.der"));
  struct Case {
    const char* why;
    std::vector<RingEntry> entries;
    std::uint32_t message;  // 0: the root is handed out
  };
  const Case kTests[] = {
      {"the server key certified by the root", {{"server", true, false}, {"root", false, true}}, 0},
      {"a self-signed server key is its own root", {{"root", true, true}}, 0},
      // The server's issuer is not in the key ring.
      {"missing issuer", {{"orphan", true, false}, {"root", false, true}}, 30057},
      // Each certificate names the other as issuer: the climb must end.
      {"issuers that loop", {{"loopa", true, false}, {"loopb", false, false}}, 30057},
      // Only certificate entries: there is no server key.
      {"no server key", {{"root", false, true}}, 30026},
  };
  int n = 0;
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    const std::string ring = Ring("ring" + std::to_string(n++) + ".kyr", test.entries);
    HostKeyData key;
    char message[256] = "untouched";
    EXPECT_EQ(GetServerRootCert(ring.c_str(), &key.data, message, sizeof message) == 0, test.message == 0);
    EXPECT_EQ(BytesOf(key.data.rootCertificate), test.message == 0 ? root : Bytes{});
    EXPECT_EQ(key.data.privateKey.data, nullptr);
    if (test.message == 0) {
      EXPECT_STREQ(message, "untouched");
    } else {
      EXPECT_TRUE(HoldsMessage(message, test.message)) << message;
    }
  }
}

TEST_F(KeyDataTest, GetCertDNReadsSubjectOrIssuer) {
  const std::string ring = ChainRing();
  struct Case {
    const char* why;
    const char* label;
    std::int32_t getIssuer;
    const char* commonName;
  };
  const Case kTests[] = {
      {"server key subject", nullptr, 0, "server.example.org"},
      {"server key issuer", nullptr, 1, "Service Root"},
      {"labelled entry subject", "root", 0, "Service Root"},
      {"labelled entry issuer of a self-signed root", "root", 1, "Service Root"},
      {"no such label", "nobody", 0, nullptr},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    SecurityCmdContext context{};
    context.keyFile = ring.c_str();
    context.password = kPassword;
    context.label = test.label;
    context.getIssuer = test.getIssuer;
    HostRecord cert;
    DnFields name{};
    char message[256] = "untouched";
    const std::int32_t status = GetCertDN(&context, &cert.cert, &name, message, sizeof message);
    if (test.commonName == nullptr) {
      EXPECT_NE(status, 0);
      EXPECT_TRUE(HoldsMessage(message, 30026)) << message;
      continue;
    }
    ASSERT_EQ(status, 0) << message;
    EXPECT_STREQ(message, "untouched");
    EXPECT_EQ(SlotText(name, DN_COMMON_NAME), test.commonName);
    EXPECT_EQ(SlotText(name, DN_COUNTRY), "DE");
  }
}

// Host threads call the services at once on different key rings: each
// call opens and reads its own key ring as one step.
TEST_F(KeyDataTest, ConcurrentCallsOnDifferentKeyRingsDoNotMix) {
  const std::string chain = ChainRing();
  const std::string self = Ring("self.kyr", {{"root", true, true}});
  const Bytes server = ReadFile(ServiceDataPath("server.der"));
  const Bytes root = ReadFile(ServiceDataPath("root.der"));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        HostKeyData key;
        char message[256];
        if (t % 2 == 0) {
          if (GetServerKey(chain.c_str(), kPassword, &key.data, message, sizeof message) != 0 ||
              BytesOf(key.data.certificate) != server) {
            ++wrong;
          }
        } else if (GetServerRootCert(self.c_str(), &key.data, message, sizeof message) != 0 ||
                   BytesOf(key.data.rootCertificate) != root) {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace kcertadm::test
