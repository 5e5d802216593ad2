// Scenarios with openssl as the other party. What we issue is checked by
// python's cryptography, since openssl verify refuses issuing certificates
// without basicConstraints, which ours do not carry.
#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

class OpensslInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveOpenssl()) GTEST_SKIP() << "openssl is not installed";
  }
  // Runs a command line in the test directory; its output goes to out.log.
  int Run(const std::string& line) { return Shell("cd " + env_.dir.path() + " && " + line + " >out.log 2>&1"); }

  CaAndServer env_;  // our CA, and a server key with its request in server.arm
};

TEST_F(OpensslInterop, OpensslCaSignsOurArmouredRequest) {
  ASSERT_EQ(Run("openssl req -x509 -newkey rsa:1024 -nodes -md5 -subj '/CN=OpenSSL CA/O=Peer' -days 30 "
                "-keyout ca.key -out ca.pem"),
            0);
  ASSERT_EQ(Run("openssl req -in server.arm -noout -verify"), 0) << "openssl accepts our request";
  ASSERT_EQ(Run("openssl x509 -req -in server.arm -CA ca.pem -CAkey ca.key -set_serial 7 -days 10 -md5 -out s.pem"), 0);
  const std::string ring = env_.Server();
  EXPECT_EQ(RunCommand("ReceiveRootCert", Ring(ring, "CertReqFile=" + env_.dir / "ca.pem" + ";EntryLabel=OpenSSL CA")),
            Ok(kMsgRootCertReceived));
  EXPECT_EQ(RunCommand("ReceiveCert", Ring(ring, "CertReqFile=" + env_.dir / "s.pem")), Ok(kMsgCertReceived));
}

TEST_F(OpensslInterop, WeSignOpensslRequests) {
  if (!HavePythonCryptography()) GTEST_SKIP() << "python cryptography is not installed";
  // Same subject and key as the request, signed by our root's key.
  const std::string check = std::string(kPython) +
                            " -c 'import sys\n"
                            "from cryptography import x509\n"
                            "from cryptography.hazmat.primitives.asymmetric import padding\n"
                            "req = x509.load_pem_x509_csr(open(sys.argv[1], \"rb\").read())\n"
                            "crt = x509.load_pem_x509_certificate(open(sys.argv[2], \"rb\").read())\n"
                            "ca = x509.load_pem_x509_certificate(open(sys.argv[3], \"rb\").read())\n"
                            "assert crt.subject == req.subject, \"subject\"\n"
                            "assert crt.public_key().public_numbers() == req.public_key().public_numbers()\n"
                            "assert crt.issuer == ca.subject, \"issuer\"\n"
                            "ca.public_key().verify(crt.signature, crt.tbs_certificate_bytes, padding.PKCS1v15(),\n"
                            "                       crt.signature_hash_algorithm)\n' ";
  // A request signed with a digest the toolkit does not know cannot be checked.
  const std::pair<const char*, std::uint32_t> kTests[] = {
      {"md5", kMsgCertSigned}, {"sha1", kMsgCertSigned}, {"sha256", kMsgBadSignature}};
  for (const auto& [digest, message] : kTests) {
    SCOPED_TRACE(digest);
    const std::string name = std::string("peer-") + digest;
    ASSERT_EQ(Run("openssl req -newkey rsa:1024 -nodes -" + std::string(digest) +
                  " -subj '/C=DE/O=Peer Org/CN=" + name + "' -keyout " + name + ".key -out " + name + ".req"),
              0);
    ASSERT_EQ(RunCommand("SignCert", Ring(env_.Ca(), "CertReqFile=" + env_.dir / (name + ".req") +
                                                         ";CertFile=" + env_.dir / (name + ".crt")))
                  .message,
              message);
    if (message != kMsgCertSigned) continue;
    EXPECT_EQ(Run(check + name + ".req " + name + ".crt " + env_.CaCert()), 0) << ReadFileText(env_.dir / "out.log");
  }
}

TEST_F(OpensslInterop, OpensslVerifiesOurSelfSignedRoot) {
  EXPECT_EQ(Run("openssl x509 -in ca.arm -noout -subject | grep -q 'CN = Test CA'"), 0);
  EXPECT_EQ(Run("openssl verify -CAfile ca.arm ca.arm"), 0) << "its self-signature verifies";
}

}  // namespace
}  // namespace kcertadm
