// Digest= and SubjectAltName=: what the library signs with a SHA-2 digest, read back by openssl and
// python cryptography; what MD5 and SHA-1 sign stays without extensions; refused values name
// themselves.
#include <cctype>

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

constexpr const char* kFullAltName =
    "DNS:www.example.com,DNS:example.com,IP:192.0.2.1,IP:2001:db8::1,EMAIL:admin@example.com,"
    "URI:https://example.com/";

class CertProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Shell("openssl version >/dev/null") != 0) GTEST_SKIP() << "openssl is not installed";
    if (!HavePythonCryptography()) GTEST_SKIP() << "python cryptography is not installed";
  }
  // Runs a command line in the test directory; its output goes to out.log.
  int Run(const std::string& line) {
    return Shell("cd " + dir_.path() + " && " + line + " >out.log 2>&1");
  }
  std::string Log() { return ReadFileText(dir_ / "out.log"); }
  std::string Path(const std::string& name) { return dir_ / name; }
  // The profile of an armoured certificate as python cryptography reads it (check_profile.py).
  std::string Profile(const std::string& cert, const std::string& issuer) {
    const std::string line = "openssl x509 -in " + cert +
                             " -outform DER -out c.der && openssl x509 -in " + issuer +
                             " -outform DER -out i.der && " + kPython +
                             " " KCERTADM_TEST_DATA_DIR "/cert/check_profile.py c.der i.der";
    return Run(line) == 0 ? Log() : "failed: " + Log();
  }
  // A root "CA" in ca.kyr, its certificate in ca.arm.
  void MakeRoot(const std::string& more) {
    ASSERT_EQ(RunCommand("CreateSelfSignedRoot",
                         Ring(Path("ca.kyr"), "KeyName=CA;CommonName=Profile CA;" + more)),
              Ok(kMsgSelfSignedRootCreated));
    Extract("ca.kyr", "CA", "ca.arm");
  }
  // The certificate of entry label of ring (files in the test directory) written to file.
  void Extract(const std::string& ring, const std::string& label, const std::string& file) {
    ASSERT_EQ(RunCommand("ExtractCert",
                         Ring(Path(ring), "EntryLabel=" + label + ";CertFile=" + Path(file)))
                  .message,
              kMsgCertWritten);
  }
  // SignCert by the root of the request into cert.
  Outcome Sign(const std::string& digest, const std::string& request, const std::string& cert) {
    return RunCommand(
        "SignCert",
        Ring(Path("ca.kyr"), "Digest=" + digest + ";CertReqFile=" + request + ";CertFile=" + cert));
  }

  TempDir dir_;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string EndEntity(const std::string& digest, const std::string& altName) {
  return digest +
         " v3\nbasicConstraints critical CA:False\nkeyUsage critical "
         "digital_signature,key_encipherment\n"
         "extendedKeyUsage serverAuth,clientAuth\nsubjectKeyIdentifier "
         "matches\nauthorityKeyIdentifier matches\n"
         "subjectAltName " +
         altName + "\n";
}

// Roots and server certificates of every SHA-2 digest and of 2048 to 4096 bits: openssl accepts the
// chain for a TLS server of the host name, python reads every extension as the profile has it, and
// the server's key ring receives both.
TEST_F(CertProfile, Sha2CertificatesFollowTheProfileAtEveryDigestAndSize) {
  MakeRoot("Digest=SHA384;KeySize=3072");
  EXPECT_EQ(
      Profile("ca.arm", "ca.arm"),
      "sha384 v3\nbasicConstraints critical CA:True\nkeyUsage critical key_cert_sign,crl_sign\n"
      "extendedKeyUsage none\nsubjectKeyIdentifier matches\nauthorityKeyIdentifier matches\n"
      "subjectAltName none\n");
  const struct {
    const char* digest;
    int bits;
    const char* altName;
    const char* profileAltName;
  } kTests[] = {
      {"SHA256", 2048, kFullAltName,
       "DNS:www.example.com,DNS:example.com,IP:192.0.2.1,IP:2001:db8::1,EMAIL:admin@example.com,"
       "URI:https://example.com/"},
      // No SubjectAltName: the CommonName, a host name, stands for it.
      {"SHA512", 4096, nullptr, "DNS:www.example.com"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.digest);
    const std::string digest = c.digest, ring = Path(digest + ".kyr"),
                      request = Path(digest + ".csr"), issued = Path(digest + ".crt");
    std::string create =
        "KeyName=server;CommonName=www.example.com;Org=Example;KeySize=" + std::to_string(c.bits) +
        ";Digest=" + digest + ";CertReqFile=" + request;
    if (c.altName != nullptr) create += ";SubjectAltName=" + std::string(c.altName);
    ASSERT_EQ(RunCommand("CreateKeyFile", Ring(ring, create)), Ok(kMsgKeyFileCreated));
    EXPECT_EQ(Run("openssl req -in " + request +
                  " -noout -verify -text 2>&1 | grep -A1 'Subject Alternative Name'"),
              0)
        << Log();
    ASSERT_EQ(Sign(digest, request, issued), Ok(kMsgCertSigned));
    EXPECT_EQ(Profile(issued, Path("ca.arm")), EndEntity(Lower(c.digest), c.profileAltName));
    EXPECT_EQ(
        Run("openssl verify -CAfile ca.arm -purpose sslserver -verify_hostname www.example.com " +
            issued),
        0)
        << Log();
    EXPECT_EQ(
        Run("openssl verify -CAfile ca.arm -purpose sslserver -verify_hostname other.example.com " +
            issued),
        2)
        << "the name is checked: " << Log();
    EXPECT_EQ(RunCommand("ReceiveRootCert",
                         Ring(ring, "EntryLabel=Profile CA;CertReqFile=" + Path("ca.arm"))),
              Ok(kMsgRootCertReceived));
    EXPECT_EQ(RunCommand("ReceiveCert", Ring(ring, "CertReqFile=" + issued)), Ok(kMsgCertReceived));
  }
}

// A self-signed server certificate has the end-entity profile and is its own authority.
TEST_F(CertProfile, SelfSignedServerCertificateIsAnEndEntity) {
  ASSERT_EQ(RunCommand("CreateSelfSigned", Ring(Path("self.kyr"),
                                                "KeyName=self;CommonName=self.example.com;"
                                                "KeySize=2048;Digest=sha256")),
            Ok(kMsgSelfSignedCreated));
  Extract("self.kyr", "self", "self.arm");
  EXPECT_EQ(Profile("self.arm", "self.arm"), EndEntity("sha256", "DNS:self.example.com"));
  // CreateCertReq reads the common name from the stored subject; SubjectAltName= replaces it.
  ASSERT_EQ(
      RunCommand("CreateCertReq", Ring(Path("self.kyr"), "KeyName=self;Digest=SHA384;CertReqFile=" +
                                                             Path("self.csr"))),
      Ok(kMsgCertReqCreated));
  EXPECT_EQ(Run("openssl req -in self.csr -noout -verify -text 2>&1 | grep -A1 'Subject "
                "Alternative Name' | "
                "grep -qx ' *DNS:self.example.com' && openssl req -in self.csr -noout -text | grep "
                "-q sha384"),
            0)
      << Log();
  ASSERT_EQ(RunCommand("CreateCertReq", Ring(Path("self.kyr"),
                                             "KeyName=self;SelfSigned;Digest=SHA512;"
                                             "SubjectAltName=IP:2001:db8::7;CertReqFile=" +
                                                 Path("self-pem.arm"))),
            Ok(kMsgCertReqCreated));
  EXPECT_EQ(Profile("self-pem.arm", "self-pem.arm"), EndEntity("sha512", "IP:2001:db8::7"));
}

// SignCert takes the subjectAltName of a request and nothing else it asks for: never CA:TRUE.
TEST_F(CertProfile, SignCertCopiesOnlyTheRequestedAltName) {
  MakeRoot("Digest=SHA256;KeySize=2048");
  ASSERT_EQ(Run("openssl req -newkey rsa:2048 -nodes -sha256 -subj /CN=peer.example -keyout "
                "peer.key -out peer.csr "
                "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign "
                "-addext subjectAltName=DNS:peer.example,IP:198.51.100.7"),
            0)
      << Log();
  ASSERT_EQ(Sign("SHA256", Path("peer.csr"), Path("peer.crt")), Ok(kMsgCertSigned));
  EXPECT_EQ(Profile("peer.crt", "ca.arm"), EndEntity("sha256", "DNS:peer.example,IP:198.51.100.7"));
  // An openssl request without extensions gets none from the common name, which SignCert does not
  // read.
  ASSERT_EQ(
      Run("openssl req -newkey rsa:2048 -nodes -sha256 -subj /CN=plain.example -keyout plain.key "
          "-out plain.csr"),
      0)
      << Log();
  ASSERT_EQ(Sign("SHA256", Path("plain.csr"), Path("plain.crt")), Ok(kMsgCertSigned));
  EXPECT_EQ(Profile("plain.crt", "ca.arm"), EndEntity("sha256", "none"));
}

// A PEM request carries a self-signed certificate: SignCert takes the subjectAltName from its
// extensions.
TEST_F(CertProfile, PemRequestsGiveTheirAltNameToo) {
  MakeRoot("Digest=SHA256;KeySize=2048");
  ASSERT_EQ(RunCommand("CreateKeyFile", Ring(Path("pem.kyr"),
                                             "KeyName=pem;CommonName=pem.example;KeySize=2048;"
                                             "Digest=SHA256;UsePEM;SubjectAltName=DNS:pem.example,"
                                             "DNS:alias.example;CertReqFile=" +
                                                 Path("pem.req"))),
            Ok(kMsgKeyFileCreated));
  ASSERT_EQ(Sign("SHA256", Path("pem.req"), Path("pem.reply")), Ok(kMsgCertSigned));
  ASSERT_EQ(RunCommand("ReceiveRootCert",
                       Ring(Path("pem.kyr"), "EntryLabel=ca;CertReqFile=" + Path("ca.arm"))),
            Ok(kMsgRootCertReceived));
  ASSERT_EQ(RunCommand("ReceiveCert", Ring(Path("pem.kyr"), "CertReqFile=" + Path("pem.reply"))),
            Ok(kMsgCertReceived));
  Extract("pem.kyr", "pem", "pem.crt");
  EXPECT_EQ(Profile("pem.crt", "ca.arm"), EndEntity("sha256", "DNS:pem.example,DNS:alias.example"));
}

// MD5 and SHA-1 sign as ever: no extensions, whatever the request asks for; a request still carries
// the SubjectAltName given, and openssl checks the SHA-1 signatures.
TEST_F(CertProfile, LegacyDigestsKeepThePlainForm) {
  MakeRoot("Digest=SHA1;KeySize=2048");
  const std::string plain =
      "sha1 v3\nbasicConstraints none\nkeyUsage none\nextendedKeyUsage none\n"
      "subjectKeyIdentifier none\nauthorityKeyIdentifier none\nsubjectAltName none\n";
  EXPECT_EQ(Profile("ca.arm", "ca.arm"), plain);
  const std::string request = Path("legacy.csr");
  ASSERT_EQ(RunCommand("CreateKeyFile", Ring(Path("legacy.kyr"),
                                             "KeyName=legacy;CommonName=legacy.example;"
                                             "KeySize=1024;Digest=SHA1;SubjectAltName=DNS:"
                                             "legacy.example;CertReqFile=" +
                                                 request)),
            Ok(kMsgKeyFileCreated));
  EXPECT_EQ(Run("openssl req -in " + request +
                " -noout -verify -text 2>&1 | grep -q 'DNS:legacy.example'"),
            0)
      << Log();
  for (const char* digest : {"SHA1", "MD5"}) {
    SCOPED_TRACE(digest);
    const std::string issued = Path(std::string(digest) + ".crt");
    ASSERT_EQ(Sign(digest, request, issued), Ok(kMsgCertSigned));
    EXPECT_EQ(Profile(issued, Path("ca.arm")), Lower(digest) + plain.substr(4));
  }
}

// A Digest or SubjectAltName that cannot be used is refused before anything is written, and the
// message names it.
TEST(DigestAndAltName, RefusalsNameTheValueAndWriteNothing) {
  TempDir dir;
  MakeRootKeyRing(dir / "ca.kyr");
  const std::string request = dir / "request.arm";
  ASSERT_EQ(
      RunCommand("CreateKeyFile",
                 Ring(dir / "server.kyr", "KeyName=s;CommonName=s.example;CertReqFile=" + request)),
      Ok(kMsgKeyFileCreated));
  const std::string fresh =
      Ring(dir / "new.kyr", "KeyName=n;CommonName=n.example;CertReqFile=" + dir / "new.csr");
  const struct {
    const char* command;
    const char* why;
    std::string parameters;
    std::uint32_t message;
    const char* named;
  } kTests[] = {
      {"CreateKeyFile", "SHA3 is no digest the toolkit signs with", fresh + ";Digest=SHA3",
       kMsgBadDigest, "SHA3"},
      {"CreateSelfSigned", "an empty Digest names nothing", fresh + ";Digest=", kMsgBadDigest, ""},
      {"SignCert", "SHA-256 is spelt SHA256",
       Ring(dir / "ca.kyr",
            "Digest=SHA-256;CertReqFile=" + request + ";CertFile=" + dir / "new.crt"),
       kMsgBadDigest, "SHA-256"},
      {"CreateCertReq", "a digest must be known for requests too",
       Ring(dir / "server.kyr", "KeyName=s;Digest=md4;CertReqFile=" + dir / "new.csr"),
       kMsgBadDigest, "md4"},
      {"CreateKeyFile", "an address that does not parse",
       fresh + ";SubjectAltName=DNS:n.example,IP:1.2.3", kMsgBadAltNameItem, "IP:1.2.3"},
      {"CreateSelfSignedRoot", "a U-label, which must be given as an A-label",
       fresh + ";Digest=SHA256;SubjectAltName=DNS:bücher.example", kMsgBadAltNameHost,
       "DNS:bücher.example"},
      {"CreateCertReq", "an unknown type",
       Ring(dir / "server.kyr", "KeyName=s;SubjectAltName=X400:o=x;CertReqFile=" + dir / "new.csr"),
       kMsgBadAltNameItem, "X400:o=x"},
      {"CreateSelfSigned",
       "an MD5 certificate cannot carry the name: dropping it silently would mislead",
       fresh + ";SubjectAltName=DNS:n.example", kMsgAltNameNeedsSha2, ""},
      {"CreateKeyFile",
       "a PEM request carries an MD5 certificate, which cannot carry the name either",
       fresh + ";UsePEM;SubjectAltName=DNS:n.example", kMsgAltNameNeedsSha2, ""},
      {"CreateCertReq", "a self-signed request file under SHA-1 likewise",
       Ring(dir / "server.kyr",
            "KeyName=s;SelfSigned;Digest=SHA1;SubjectAltName=DNS:s.example;CertReqFile=" +
                dir / "new.csr"),
       kMsgAltNameNeedsSha2, ""},
  };
  LoadMessageTexts();
  for (const auto& c : kTests) {
    SCOPED_TRACE(std::string(c.command) + ": " + c.why);
    std::string writable = c.parameters;
    char buffer[512];
    MessageReporter reporter(buffer, sizeof buffer);
    EXPECT_NE(ProcessCommand(c.command, writable.data(), reporter), 0);
    EXPECT_EQ(reporter.last(), c.message);
    const std::string text = MessageText(c.message);
    const std::string named = text.substr(0, text.size() - 1) + ": \"" + c.named + "\".";
    EXPECT_EQ(std::string(buffer), *c.named == '\0' ? text : named);
    for (const char* written : {"new.kyr", "new.csr", "new.crt"})
      EXPECT_FALSE(FileExists(dir / written)) << written;
  }
}

}  // namespace
}  // namespace kcertadm
