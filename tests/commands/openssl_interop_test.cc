// Scenarios with openssl as the other party: its CA signs our requests, we
// sign its requests, and it reads what we extract. Signatures of what we
// issue are checked by an independent implementation (python's
// cryptography), since openssl verify refuses issuing certificates without
// basicConstraints, which ours do not carry.
#include <gtest/gtest.h>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using cmdtest::CaAndServer;
using cmdtest::Outcome;
using cmdtest::Ring;
using cmdtest::RunCommand;
using cmdtest::Shell;
using cmdtest::TempDir;

class OpensslInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!cmdtest::HaveOpenssl()) GTEST_SKIP() << "openssl is not installed";
  }
  // Runs a command line in the test directory; quiet unless it fails.
  int Run(const std::string& line) { return Shell("cd " + dir_.path() + " && " + line + " >out.log 2>&1"); }
  std::string Path(const std::string& name) const { return dir_ / name; }
  // An openssl CA (ca.key, ca.pem) with an MD5 self-signature.
  void MakeOpensslCa() {
    ASSERT_EQ(Run("openssl req -x509 -newkey rsa:1024 -nodes -md5 -subj '/CN=OpenSSL CA/O=Peer' "
                  "-days 30 -keyout ca.key -out ca.pem"),
              0);
  }

  TempDir dir_;
};

TEST_F(OpensslInterop, OpensslCaSignsOurArmouredRequest) {
  MakeOpensslCa();
  cmdtest::MakeServerKeyRing(Path("server.kyr"), Path("server.arm"));
  ASSERT_EQ(Run("openssl req -in server.arm -noout -verify"), 0) << "openssl accepts our request";
  ASSERT_EQ(Run("openssl x509 -req -in server.arm -CA ca.pem -CAkey ca.key -set_serial 7 -days 10 "
                "-md5 -out server.pem"),
            0);
  const Outcome root = RunCommand("ReceiveRootCert", Ring(Path("server.kyr"), "CertReqFile=" + Path("ca.pem") +
                                                                                  ";EntryLabel=OpenSSL CA"));
  EXPECT_EQ(root.message, kMsgRootCertReceived);
  const Outcome cert = RunCommand("ReceiveCert", Ring(Path("server.kyr"), "CertReqFile=" + Path("server.pem")));
  EXPECT_EQ(cert.message, kMsgCertReceived);
  EXPECT_EQ(cert.status, 0);
}

TEST_F(OpensslInterop, WeSignOpensslRequests) {
  if (!cmdtest::HavePythonCryptography()) GTEST_SKIP() << "python cryptography is not installed";
  CaAndServer env;
  for (const char* digest : {"md5", "sha1"}) {
    SCOPED_TRACE(digest);
    const std::string name = std::string("peer-") + digest;
    ASSERT_EQ(Run("openssl req -newkey rsa:1024 -nodes -" + std::string(digest) +
                  " -subj '/C=DE/O=Peer Org/CN=" + name + "' -keyout " + name + ".key -out " + name + ".req"),
              0);
    const Outcome signedCert =
        RunCommand("SignCert", Ring(env.Ca(), "CertReqFile=" + Path(name + ".req") + ";CertFile=" + Path(name + ".crt")));
    ASSERT_EQ(signedCert.message, kMsgCertSigned);
    // Same subject and key as the request, signed by our root's key.
    const std::string check =
        std::string(cmdtest::kPython) +
        " -c 'import sys\n"
        "from cryptography import x509\n"
        "from cryptography.hazmat.primitives.asymmetric import padding\n"
        "req = x509.load_pem_x509_csr(open(sys.argv[1], \"rb\").read())\n"
        "crt = x509.load_pem_x509_certificate(open(sys.argv[2], \"rb\").read())\n"
        "ca = x509.load_pem_x509_certificate(open(sys.argv[3], \"rb\").read())\n"
        "assert crt.subject == req.subject, \"subject\"\n"
        "assert crt.public_key().public_numbers() == req.public_key().public_numbers(), \"key\"\n"
        "assert crt.issuer == ca.subject, \"issuer\"\n"
        "ca.public_key().verify(crt.signature, crt.tbs_certificate_bytes, padding.PKCS1v15(),\n"
        "                       crt.signature_hash_algorithm)\n' " +
        name + ".req " + name + ".crt " + env.CaCert();
    EXPECT_EQ(Run(check), 0) << cmdtest::ReadFileText(Path("out.log"));
    // openssl reads it as well.
    EXPECT_EQ(Run("openssl x509 -in " + name + ".crt -noout -subject"), 0);
  }
  // A request signed with a digest the toolkit does not know cannot be checked.
  ASSERT_EQ(Run("openssl req -newkey rsa:1024 -nodes -sha256 -subj /CN=peer-sha256 -keyout s.key -out s.req"), 0);
  EXPECT_EQ(RunCommand("SignCert", Ring(env.Ca(), "CertReqFile=" + Path("s.req") + ";CertFile=" + Path("s.crt")))
                .message,
            kMsgBadSignature);
}

TEST_F(OpensslInterop, OpensslReadsExtractedCertificate) {
  ASSERT_EQ(RunCommand("CreateSelfSigned", Ring(Path("ring.kyr"), "KeyName=s;CommonName=extract.example;Org=Ex"))
                .status,
            0);
  ASSERT_EQ(RunCommand("ExtractCert", Ring(Path("ring.kyr"), "CertFile=" + Path("s.crt"))).message,
            kMsgCertWritten);
  ASSERT_EQ(Run("openssl x509 -in s.crt -noout -subject"), 0);
  EXPECT_EQ(Shell("openssl x509 -in " + Path("s.crt") + " -noout -subject | grep -q 'CN = extract.example'"), 0);
  EXPECT_EQ(Run("openssl verify -CAfile s.crt s.crt"), 0) << "its self-signature verifies";
}

}  // namespace
}  // namespace kcertadm
