// The server's key material and names as the host reads them.
#include <atomic>
#include <thread>
#include <tuple>

#include "services_test_util.h"

namespace kcertadm::test {
namespace {

using KeyDataTest = ServicesTest;

// Only a refused password marks the record; host_program checks with openssl that the key is the
// server's.
TEST_F(KeyDataTest, GetKeyDataHandsOutTheServersKey) {
  const std::string chain = ChainRing(), rootsOnly = Ring("roots.kyr", {{"root", false, true}});
  struct Case {
    const char* why;
    const std::string& keyFile;
    const char* password;
    std::int32_t useStash;
    std::uint32_t message;
    std::int32_t badPassword;
  };
  const Case kTests[] = {
      // The stashed password lives for the call only, never in the host's context (host_program
      // passes one).
      {"the stashed password", chain, nullptr, 1, 0, 0},
      {"no password for a protected key ring", chain, nullptr, 0, 30009, 1},
      {"no entry with a private key", rootsOnly, kPassword, 0, 30048, 0},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    SecurityCmdContext context{
        .password = test.password, .keyFile = test.keyFile.c_str(), .useStash = test.useStash};
    HostKeyData key;
    key.value.badPassword = 7;
    char message[256] = "";
    EXPECT_EQ((Outcome{GetKeyData(&context, &key.value, message, sizeof message) != 0,
                       MessageIn(message)}),
              (Outcome{test.message != 0, test.message}));
    EXPECT_EQ(std::tuple(context.password, key.value.badPassword,
                         key.value.privateKey.data != nullptr, key.value.rootCertificate.data),
              std::tuple(test.password, test.badPassword, test.message == 0,
                         static_cast<std::uint8_t*>(nullptr)));
    FreeExtKeyData(&key.value);  // released twice: the first leaves nothing to release again
    EXPECT_EQ(key.value.privateKey.data, nullptr);
  }
  FreeExtKeyData(nullptr);
}

TEST_F(KeyDataTest, GetServerRootCertClimbsToTheRoot) {
  const Bytes root = ReadFileBytes(ServiceDataPath("root.der"));
  struct Case {
    const char* why;
    std::vector<RingEntry> entries;
    std::uint32_t message;
  };
  const Case kTests[] = {
      {"the server key certified by the root", {{"server", true, false}, {"root", false, true}}, 0},
      {"missing issuer",
       {{"orphan", true, false}, {"root", false, true}},
       30057},  // issuer not in the ring
      {"issuers that loop",
       {{"loopa", true, false}, {"loopb", false, false}},
       30057},  // the climb must end
      {"no server key", {{"root", false, true}}, 30026},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    const std::string ring = Ring(std::string(test.why) + ".kyr", test.entries);
    HostKeyData key;
    char message[256] = "";
    EXPECT_EQ((Outcome{GetServerRootCert(ring.c_str(), &key.value, message, sizeof message),
                       MessageIn(message)}),
              (Outcome{test.message == 0 ? 0 : -1, test.message}));
    EXPECT_EQ(BytesOf(key.value.rootCertificate), test.message == 0 ? root : Bytes{});
    EXPECT_EQ(key.value.privateKey.data, nullptr);
  }
}

TEST_F(KeyDataTest, GetCertDNReadsSubjectOrIssuer) {
  const std::string ring = ChainRing();
  struct Case {
    const char* label;
    std::int32_t getIssuer;
    const char* commonName;
  } const kTests[] = {
      {nullptr, 0, "server.example.org"},
      {nullptr, 1, "Service Root"},  // the server key's subject and issuer
      {"root", 0, "Service Root"},
      {"nobody", 0, nullptr},  // a labelled entry; no such label
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(std::string(test.label ? test.label : "server key") +
                 (test.getIssuer ? " issuer" : ""));
    SecurityCmdContext context{.password = kPassword,
                               .keyFile = ring.c_str(),
                               .label = test.label,
                               .getIssuer = test.getIssuer};
    HostRecord cert;
    DnFields name{};
    char message[256] = "";
    EXPECT_EQ((Outcome{GetCertDN(&context, &cert.value, &name, message, sizeof message),
                       MessageIn(message)}),
              (Outcome{test.commonName ? 0 : -1, test.commonName ? 0u : 30026u}));
    const DnField& cn = name.slot[DN_COMMON_NAME];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(cn.value), cn.length),
              test.commonName ? test.commonName : "");
  }
}

// Host threads call the services at once on different key rings: each reads its own ring as one
// step.
TEST_F(KeyDataTest, ConcurrentCallsOnDifferentKeyRingsDoNotMix) {
  const std::string chain = ChainRing(), self = Ring("self.kyr", {{"root", true, true}});
  const Bytes server = ReadFileBytes(ServiceDataPath("server.der")),
              root = ReadFileBytes(ServiceDataPath("root.der"));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        HostKeyData key;
        char message[256];
        const bool right =
            t % 2 == 0
                ? GetServerKey(chain.c_str(), kPassword, &key.value, message, sizeof message) ==
                          0 &&
                      BytesOf(key.value.certificate) == server
                : GetServerRootCert(self.c_str(), &key.value, message, sizeof message) == 0 &&
                      BytesOf(key.value.rootCertificate) == root;
        wrong += !right;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

// A key ring that does not open is refused alike by the services that read one (a bad password:
// GetKeyData).
TEST_F(KeyDataTest, KeyRingThatDoesNotOpenIsRefused) {
  const std::string missing = dir_.Path("missing.kyr"),
                    parameters = "KeyFile=" + missing + ";Password=p";
  SecurityCmdContext context{.password = "p", .keyFile = missing.c_str()};
  HostKeyData key, root;
  HostRecord cert;
  DnFields name{};
  char messages[4][256] = {}, output[64];
  EXPECT_NE(GetServerKey(missing.c_str(), "p", &key.value, messages[0], sizeof messages[0]), 0);
  EXPECT_NE(GetServerRootCert(missing.c_str(), &root.value, messages[1], sizeof messages[1]), 0);
  EXPECT_NE(GetCertDN(&context, &cert.value, &name, messages[2], sizeof messages[2]), 0);
  EXPECT_NE(SignCertificate(parameters.c_str(), "AAAA", output, sizeof output, messages[3],
                            sizeof messages[3]),
            0);
  for (const char* message : messages) EXPECT_EQ(MessageIn(message), 30010u) << message;
}

}  // namespace
}  // namespace kcertadm::test
