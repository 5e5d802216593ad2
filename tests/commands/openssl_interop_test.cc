// Scenarios with openssl as the other party; python checks what we issue (openssl verify wants
// basicConstraints).
#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

class OpensslInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Shell("openssl version >/dev/null") != 0) GTEST_SKIP() << "openssl is not installed";
  }
  // Runs a command line in the test directory; its output goes to out.log.
  int Run(const std::string& line) {
    return Shell("cd " + env_.dir.path() + " && " + line + " >out.log 2>&1");
  }

  CaAndServer env_;  // our CA, and a server key with its request in server.arm
};

// Roots of today's sizes and digests, and the certificates they issue, are received.
TEST_F(OpensslInterop, OpensslCaSignsOurArmouredRequest) {
  const struct {
    const char* digest;
    int rootBits;
  } kTests[] = {{"md5", 1024}, {"sha256", 4096}, {"sha384", 3072}, {"sha512", 2050}};
  ASSERT_EQ(Run("openssl req -in server.arm -noout -verify"), 0) << "openssl accepts our request";
  for (const auto& [digest, bits] : kTests) {
    SCOPED_TRACE(digest);
    const std::string label = std::string("OpenSSL-") + digest, ca = label + ".pem",
                      issued = label + ".crt";
    ASSERT_EQ(Run("openssl req -x509 -newkey rsa:" + std::to_string(bits) + " -nodes -" + digest +
                  " -subj '/CN=" + label + "/O=Peer' -days 30 -keyout ca.key -out " + ca),
              0);
    ASSERT_EQ(Run("openssl x509 -req -in server.arm -CA " + ca +
                  " -CAkey ca.key -set_serial 7 -days 10 -" + digest + " -out " + issued),
              0);
    EXPECT_EQ(
        RunCommand("ReceiveRootCert",
                   Ring(env_.Server(), "EntryLabel=" + label + ";CertReqFile=" + env_.dir / ca)),
        Ok(kMsgRootCertReceived));
    EXPECT_EQ(RunCommand("ReceiveCert", Ring(env_.Server(), "CertReqFile=" + env_.dir / issued)),
              Ok(kMsgCertReceived));
  }
}

TEST_F(OpensslInterop, WeSignOpensslRequests) {
  if (!HavePythonCryptography()) GTEST_SKIP() << "python cryptography is not installed";
  // Signed by our root's key, with the request's subject and key.
  const std::string check =
      "openssl x509 -in ca.arm -outform DER -out ca.der && openssl x509 -in $1.crt -outform DER "
      "-out $1.der && openssl req -in $1.req -pubkey -noout | openssl pkey -pubin -outform DER "
      "-out $1.spki && " +
      std::string(kPython) +
      " " KCERTADM_TEST_DATA_DIR
      "/services/check_issued.py $1.der ca.der $1.spki | grep -qx \"CN=$1,O=Peer Org,C=DE\"";
  // A request signed with a digest the toolkit does not know cannot be checked, and says so.
  const struct {
    const char* digest;
    int bits;
    std::uint32_t message;
  } kTests[] = {{"md5", 1024, kMsgCertSigned},    {"sha1", 1024, kMsgCertSigned},
                {"sha256", 2050, kMsgCertSigned}, {"sha384", 3072, kMsgCertSigned},
                {"sha512", 4096, kMsgCertSigned}, {"sha224", 1024, kMsgUnsupportedSignature}};
  for (const auto& [digest, bits, message] : kTests) {
    SCOPED_TRACE(digest);
    const std::string name = std::string("peer-") + digest;
    ASSERT_EQ(Run("openssl req -newkey rsa:" + std::to_string(bits) + " -nodes -" +
                  std::string(digest) + " -subj '/C=DE/O=Peer Org/CN=" + name + "' -keyout " +
                  name + ".key -out " + name + ".req"),
              0);
    ASSERT_EQ(RunCommand("SignCert", Ring(env_.Ca(), "CertReqFile=" + env_.dir / (name + ".req") +
                                                         ";CertFile=" + env_.dir / (name + ".crt")))
                  .message,
              message);
    if (message != kMsgCertSigned) continue;
    EXPECT_EQ(Run("sh -c '" + check + "' - " + name), 0) << ReadFileText(env_.dir / "out.log");
  }
}

// Certificates the key ring cannot hold or check are refused by name, with NoTrust as without.
TEST_F(OpensslInterop, ForeignKeyTypesAndSignaturesAreNamed) {
  ASSERT_EQ(Run("openssl genpkey -genparam -algorithm DSA -pkeyopt dsa_paramgen_bits:1024 -out "
                "dsa.param"),
            0);
  const struct {
    const char* name;
    const char* key;
    std::uint32_t want;
  } kTests[] = {
      {"ec", "-newkey ec -pkeyopt ec_paramgen_curve:P-256", kMsgUnsupportedKeyType},
      {"dsa", "-newkey dsa:dsa.param", kMsgUnsupportedKeyType},
      {"ed25519", "-newkey ed25519", kMsgUnsupportedKeyType},
      {"pss", "-newkey rsa:1024 -sha256 -sigopt rsa_padding_mode:pss", kMsgUnsupportedSignature},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    const std::string file = env_.dir / (std::string(c.name) + ".pem");
    ASSERT_EQ(Run("openssl req -x509 " + std::string(c.key) + " -nodes -subj /CN=" + c.name +
                  " -days 30 -keyout " + c.name + ".key -out " + file),
              0);
    const std::string receive = "EntryLabel=" + std::string(c.name) + ";CertReqFile=" + file;
    EXPECT_EQ(RunCommand("ReceiveRootCert", Ring(env_.Server(), receive)).message, c.want);
    if (c.want == kMsgUnsupportedKeyType) {
      EXPECT_EQ(RunCommand("ReceiveCert", Ring(env_.Server(), receive + ";NoTrust")).message,
                c.want);
    }
  }
  // A request for such a key is not signed, and says why.
  ASSERT_EQ(Run("openssl req -new -key ec.key -subj /CN=ec -out ec.req"), 0);
  const std::string sign =
      "CertReqFile=" + env_.dir / "ec.req" + ";CertFile=" + env_.dir / "ec.crt";
  EXPECT_EQ(RunCommand("SignCert", Ring(env_.Ca(), sign)).message, kMsgUnsupportedKeyType);
}

}  // namespace
}  // namespace kcertadm
