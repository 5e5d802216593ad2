// Chains with openssl as the authority: ReceiveCert of chain files and
// PKCS #7 bundles, ReceiveRootCert of root bundles, ExtractCert WithChain.
#include "command_test_util.h"

#include "commands/receive_chain.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

constexpr const char* kCaExtensions =
    "basicConstraints=critical,CA:TRUE\nkeyUsage=keyCertSign,cRLSign\n";

class ReceiveChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Shell("openssl version >/dev/null") != 0) GTEST_SKIP() << "openssl is not installed";
    WriteFileText(Path("ca.ext"), kCaExtensions);
    WriteFileText(Path("leaf.ext"), "basicConstraints=critical,CA:FALSE\n");
  }
  // The root and the intermediate's key; they serve every digest.
  void MakeAuthorities(int rootBits = 2048) {
    ASSERT_EQ(Run("openssl req -x509 -newkey rsa:" + std::to_string(rootBits) +
                  " -nodes -sha256 -subj "
                  "'/CN=Chain Root/O=Peer' -days 30 -keyout root.key -out root.pem"),
              0);
    ASSERT_EQ(Run("openssl req -newkey rsa:2048 -nodes -subj '/CN=Chain Intermediate/O=Peer' "
                  "-keyout int.key "
                  "-out int.csr"),
              0);
  }
  std::string Path(const std::string& name) const { return env_.dir / name; }
  int Run(const std::string& line) {
    return Shell("cd " + env_.dir.path() + " && (" + line + ") >>out.log 2>&1");
  }
  Outcome Receive(const std::string& command, const std::string& ring, const std::string& file,
                  const std::string& more = "") {
    return RunCommand(command, Ring(ring, "CertReqFile=" + Path(file) + more));
  }
  // int-<digest>.pem signed by the root and leaf-<digest>.pem (for our server key) signed by it.
  void MakeChain(const std::string& digest) {
    if (!FileExists(Path("root.pem"))) MakeAuthorities();
    ASSERT_EQ(
        Run("openssl x509 -req -in int.csr -CA root.pem -CAkey root.key -set_serial 2 -days 20 -" +
            digest + " -extfile ca.ext -out int-" + digest + ".pem"),
        0);
    ASSERT_EQ(Run("openssl x509 -req -in server.arm -CA int-" + digest +
                  ".pem -CAkey int.key -set_serial 3 -days 10 -" + digest +
                  " -extfile leaf.ext -out leaf-" + digest + ".pem"),
              0);
  }
  // A copy of the server's key ring that trusts the root.
  std::string RingTrustingRoot(const std::string& name) {
    const std::string ring = Path(name);
    std::filesystem::copy_file(env_.Server(), ring,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(Receive("ReceiveRootCert", ring, "root.pem", ";EntryLabel=Root"),
              Ok(kMsgRootCertReceived));
    return ring;
  }

  CaAndServer env_;  // server.kyr: key "server", its request server.arm
};

// Every form a chain comes in is received: the leaf goes to the key entry, the intermediate becomes
// an untrusted entry labelled with its common name.
TEST_F(ReceiveChainTest, EveryFormOfAChainIsReceived) {
  const struct {
    const char* name;
    const char* make;
    const char* more;
  } kForms[] = {
      {"fullchain", "cat leaf-D.pem int-D.pem > F", ""},
      {"root first, leaf last", "cat root.pem int-D.pem leaf-D.pem > F", ""},
      {"x509 -text around",
       "openssl x509 -in leaf-D.pem -text > F && openssl x509 -in int-D.pem -text >> F", ""},
      {"pkcs12 Bag Attributes",
       "cat leaf-D.pem int-D.pem > c.pem && openssl pkcs12 -export -nokeys -in c.pem "
       "-passout pass:x -out c.p12 && openssl pkcs12 -in c.p12 -nokeys -passin pass:x -out F",
       ""},
      {"PKCS #7 PEM",
       "cat int-D.pem leaf-D.pem > c.pem && openssl crl2pkcs7 -nocrl -certfile c.pem -out F", ""},
      {"PKCS #7 DER",
       "openssl crl2pkcs7 -nocrl -certfile int-D.pem -certfile leaf-D.pem -outform DER -out F",
       ";UseBER"},
  };
  MakeAuthorities(4096);
  for (const char* digest : {"sha256", "sha384", "sha512"}) {
    MakeChain(digest);
    for (const auto& form : kForms) {
      SCOPED_TRACE(std::string(digest) + ", " + form.name);
      std::string make = form.make;
      for (std::size_t at; (at = make.find("-D.")) != std::string::npos;)
        make.replace(at, 2, "-" + std::string(digest));
      for (std::size_t at; (at = make.find(" F")) != std::string::npos;)
        make.replace(at, 2, " chain.txt");
      ASSERT_EQ(Run(make), 0) << ReadFileText(Path("out.log"));
      const std::string ring = RingTrustingRoot("chain.kyr");
      ASSERT_EQ(Receive("ReceiveCert", ring, "chain.txt", form.more), Ok(kMsgCertReceived));
      const std::optional<KeyRingEntry> server = EntryOf(ring, "server");
      ASSERT_TRUE(server);
      EXPECT_EQ(server->certificates,
                CertificateDerOfFile(Path("leaf-" + std::string(digest) + ".pem")));
      const std::optional<KeyRingEntry> intermediate = EntryOf(ring, "Chain Intermediate");
      ASSERT_TRUE(intermediate);
      EXPECT_EQ(intermediate->certificates,
                CertificateDerOfFile(Path("int-" + std::string(digest) + ".pem")));
      EXPECT_FALSE(intermediate->IsTrustedRoot() || intermediate->HasPrivateKey());
      EXPECT_FALSE(EntryOf(ring, "Chain Root (2)"))
          << "the root the key ring holds is not stored twice";
      // Again: nothing new is stored, and the leaf alone now finds its issuer among the stored
      // intermediates.
      const std::size_t entries = KeyRingEntryCount();
      ASSERT_EQ(Receive("ReceiveCert", ring, "chain.txt", form.more), Ok(kMsgCertReceived));
      ASSERT_EQ(KeyRingOpen(ring, PasswordArg("secret")), 0);
      EXPECT_EQ(KeyRingEntryCount(), entries);
      EXPECT_EQ(Receive("ReceiveCert", ring, "leaf-" + std::string(digest) + ".pem"),
                Ok(kMsgCertReceived));
    }
  }
}

// A single certificate keeps its messages: the leaf without its intermediate lacks its issuer, as
// before.
TEST_F(ReceiveChainTest, SingleCertificateKeepsItsMessages) {
  MakeChain("sha256");
  const std::string ring = RingTrustingRoot("single.kyr");
  ExpectRefusals({{"ReceiveCert", "the issuer is neither trusted nor stored",
                   Ring(ring, "CertReqFile=" + Path("leaf-sha256.pem")), kMsgIssuerNotFound}},
                 {ring});
  // Text around a single certificate: read, where the plain reader could not decode it.
  ASSERT_EQ(Run("openssl x509 -in int-sha256.pem -text > int.txt"), 0);
  EXPECT_EQ(Receive("ReceiveCert", ring, "int.txt", ";EntryLabel=Intermediate"),
            Ok(kMsgCertReceived));
  EXPECT_EQ(Receive("ReceiveCert", ring, "leaf-sha256.pem"), Ok(kMsgCertReceived));
}

// Chains that do not lead to a trusted root, or fit no key entry, are refused and change nothing.
TEST_F(ReceiveChainTest, UntrustedChainsAreRefused) {
  MakeChain("sha256");
  // Two authorities that certify each other, the leaf issued by one of them.
  ASSERT_EQ(Run("openssl req -x509 -newkey rsa:1024 -nodes -subj /CN=LoopA -days 30 -keyout a.key "
                "-out a-self.pem && "
                "openssl req -x509 -newkey rsa:1024 -nodes -subj /CN=LoopB -days 30 -keyout b.key "
                "-out b-self.pem && "
                "openssl x509 -x509toreq -in a-self.pem -signkey a.key -out a.csr && "
                "openssl x509 -x509toreq -in b-self.pem -signkey b.key -out b.csr && "
                "openssl x509 -req -in a.csr -CA b-self.pem -CAkey b.key -set_serial 5 -days 9 "
                "-extfile ca.ext -out a.pem && "
                "openssl x509 -req -in b.csr -CA a-self.pem -CAkey a.key -set_serial 6 -days 9 "
                "-extfile ca.ext -out b.pem && "
                "openssl x509 -req -in server.arm -CA a.pem -CAkey a.key -set_serial 7 -days 9 "
                "-out loop-leaf.pem && "
                "cat loop-leaf.pem a.pem b.pem > loop.pem"),
            0)
      << ReadFileText(Path("out.log"));
  // An end-entity certificate cannot act as an authority: the same intermediate key, certified
  // CA:FALSE.
  ASSERT_EQ(Run("openssl x509 -req -in int.csr -CA root.pem -CAkey root.key -set_serial 8 -days 20 "
                "-extfile leaf.ext "
                "-out int-not-ca.pem && cat leaf-sha256.pem int-not-ca.pem > not-ca.pem"),
            0);
  ASSERT_EQ(Run("cat int-sha256.pem root.pem > no-leaf.pem && cat leaf-sha256.pem int-sha256.pem > "
                "chain.pem"),
            0);
  const std::string ring = RingTrustingRoot("refused.kyr");
  const std::string untrusting = Path("untrusting.kyr");
  std::filesystem::copy_file(env_.Server(), untrusting);
  const auto refusal = [&](const char* why, const std::string& keyRing, const std::string& file,
                           std::uint32_t message) {
    return Refusal{"ReceiveCert", why, Ring(keyRing, "CertReqFile=" + Path(file)), message};
  };
  ExpectRefusals(
      {refusal("the authorities certify each other, none is trusted", ring, "loop.pem",
               kMsgChainNotTrusted),
       refusal("the issuer says it is no authority", ring, "not-ca.pem", kMsgChainNotTrusted),
       refusal("the key ring does not trust the root", untrusting, "chain.pem",
               kMsgChainNotTrusted),
       refusal("no certificate is for a key of the key ring", ring, "no-leaf.pem",
               kMsgNoCertMatchesKeyEntry),
       {"ReceiveCert", "the label names no key entry the leaf fits",
        Ring(ring, "EntryLabel=Root;CertReqFile=" + Path("chain.pem")), kMsgNoCertMatchesKeyEntry}},
      {ring, untrusting});
  EXPECT_EQ(Receive("ReceiveCert", untrusting, "chain.pem", ";NoTrust"), Ok(kMsgCertReceived))
      << "NoTrust skips the walk";
}

// A path has at most ten intermediates: ten are followed, eleven are refused.
TEST_F(ReceiveChainTest, ChainsEndAfterTenIntermediates) {
  MakeAuthorities();
  // Hop k certified by hop k - 1 (hop 0 is the root); one key serves every hop, the names make the
  // path. chain10.pem and chain11.pem: the leaf certified by hop 10 or 11, then the hops from 1.
  ASSERT_EQ(
      Run("cp root.pem hop0.pem && cp root.key hop0.key && "
          "for k in $(seq 1 11); do "
          "openssl req -new -key int.key -subj /CN=Hop$k -out hop$k.csr && "
          "openssl x509 -req -in hop$k.csr -CA hop$((k - 1)).pem -CAkey hop$((k - 1)).key "
          "-set_serial $((10 + k)) -days 9 -extfile ca.ext -out hop$k.pem && "
          "cp int.key hop$k.key || exit 1; done && "
          "for n in 10 11; do "
          "openssl x509 -req -in server.arm -CA hop$n.pem -CAkey int.key -set_serial $((20 + n)) "
          "-days 9 -out chain$n.pem && "
          "for k in $(seq 1 $n); do cat hop$k.pem >>chain$n.pem; done || exit 1; done"),
      0)
      << ReadFileText(Path("out.log"));
  const std::string ring = RingTrustingRoot("hops.kyr");
  ExpectRefusals({{"ReceiveCert", "eleven intermediates",
                   Ring(ring, "CertReqFile=" + Path("chain11.pem")), kMsgChainNotTrusted}},
                 {ring});
  EXPECT_EQ(Receive("ReceiveCert", ring, "chain10.pem"), Ok(kMsgCertReceived));
}

// Certificates that bear the issuer's name but not its key: the walk checks at most 256 signatures,
// so 300 of them before the true intermediate end it, and 200 do not.
TEST_F(ReceiveChainTest, SignatureChecksAreBounded) {
  if (!HavePythonCryptography()) GTEST_SKIP() << "python cryptography is not installed";
  MakeChain("sha256");
  WriteFileText(Path("decoys.py"), R"(import datetime, sys
from cryptography import x509
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.hazmat.primitives.serialization import Encoding
count, named, out = int(sys.argv[1]), sys.argv[2], open(sys.argv[3], "wb")
name = x509.load_pem_x509_certificate(open(named, "rb").read()).subject
key, now = rsa.generate_private_key(public_exponent=65537, key_size=1024), datetime.datetime.utcnow()
for serial in range(1, count + 1):
    out.write(x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(key.public_key())
              .serial_number(serial).not_valid_before(now - datetime.timedelta(days=1))
              .not_valid_after(now + datetime.timedelta(days=9)).sign(key, hashes.SHA256()).public_bytes(Encoding.PEM))
)");
  const std::string decoys = std::string(kPython) + " decoys.py ";
  ASSERT_EQ(Run(decoys + "300 int-sha256.pem d300.pem && " + decoys +
                "200 int-sha256.pem d200.pem && "
                "cat leaf-sha256.pem d300.pem int-sha256.pem > c300.pem && "
                "cat leaf-sha256.pem d200.pem int-sha256.pem > c200.pem"),
            0)
      << ReadFileText(Path("out.log"));
  const std::string ring = RingTrustingRoot("decoys.kyr");
  ExpectRefusals(
      {{"ReceiveCert", "300 certificates of the issuer's name and another key come first",
        Ring(ring, "CertReqFile=" + Path("c300.pem")), kMsgChainNotTrusted}},
      {ring});
  EXPECT_EQ(Receive("ReceiveCert", ring, "c200.pem"), Ok(kMsgCertReceived));
}

// Hostile files: each is refused with a message that says why, and the key ring stays as it was.
TEST_F(ReceiveChainTest, HostileFilesAreRefused) {
  MakeChain("sha256");
  const std::string ring = RingTrustingRoot("hostile.kyr");
  const std::string leaf = ReadFileText(Path("leaf-sha256.pem")),
                    intermediate = ReadFileText(Path("int-sha256.pem"));
  std::string many;
  for (int i = 0; i < 1001; ++i) many += intermediate;
  const std::string body = intermediate.substr(intermediate.find('\n') + 1);
  const struct {
    const char* why;
    std::string text;
    std::uint32_t message;
  } kTests[] = {
      {"more than 1000 certificates: refused before any is parsed", leaf + many,
       kMsgTooManyCertificates},
      {"binary bytes between the armour blocks",
       leaf + std::string("\0\1\2garbage\n", 11) + intermediate, kMsgDecodeFailed},
      {"the last block ends without its END line",
       leaf + intermediate.substr(0, intermediate.size() / 2), kMsgDecodeFailed},
      {"a BEGIN line inside a block", leaf.substr(0, leaf.size() / 2) + "\n" + intermediate,
       kMsgDecodeFailed},
      {"an END line without its BEGIN", leaf + body + intermediate, kMsgDecodeFailed},
      {"a block whose text is not Base64",
       leaf + "-----BEGIN CERTIFICATE-----\nnot*base64\n-----END CERTIFICATE-----\n",
       kMsgDecodeFailed},
      {"a block that decodes to no certificate",
       leaf + "-----BEGIN CERTIFICATE-----\nMAMCAQE=\n-----END CERTIFICATE-----\n",
       kMsgBadCertificate},
      {"larger than any certificate file may be", leaf + std::string(17 << 20, '\n') + intermediate,
       kMsgCertFileReadFailed},
  };
  std::vector<Refusal> refusals;
  for (std::size_t i = 0; i < std::size(kTests); ++i) {
    const std::string file = Path("hostile" + std::to_string(i) + ".pem");
    WriteFileText(file, kTests[i].text);
    for (const char* command : {"ReceiveCert", "ReceiveRootCert"}) {
      refusals.push_back(
          {command, kTests[i].why, Ring(ring, "CertReqFile=" + file), kTests[i].message});
    }
  }
  ExpectRefusals(refusals, {ring});
}

// ExtractCert WithChain writes the leaf and its intermediate, not the root; openssl verifies what
// it wrote.
TEST_F(ReceiveChainTest, ExtractWithChainIsAcceptedByOpenssl) {
  MakeChain("sha384");
  ASSERT_EQ(Run("cat leaf-sha384.pem int-sha384.pem root.pem > chain.pem"), 0);
  const std::string ring = RingTrustingRoot("extract.kyr");
  ASSERT_EQ(Receive("ReceiveCert", ring, "chain.pem"), Ok(kMsgCertReceived));
  ASSERT_EQ(RunCommand("ExtractCert",
                       Ring(ring, "EntryLabel=server;WithChain;CertFile=" + Path("served.pem"))),
            Ok(kMsgCertWritten));
  const std::string served = ReadFileText(Path("served.pem"));
  EXPECT_EQ(served, ReadFileText(Path("leaf-sha384.pem")) + ReadFileText(Path("int-sha384.pem")));
  ASSERT_EQ(Run("openssl x509 -in served.pem -out served-leaf.pem && "
                "openssl verify -CAfile root.pem -untrusted served.pem served-leaf.pem"),
            0)
      << ReadFileText(Path("out.log"));
  // Without a trusted root at the end there is no chain to write.
  ASSERT_EQ(RunCommand("DeleteEntry", Ring(ring, "EntryLabel=Root")), Ok(kMsgEntryDeleted));
  EXPECT_EQ(RunCommand("ExtractCert",
                       Ring(ring, "EntryLabel=server;WithChain;CertFile=" + Path("none.pem")))
                .message,
            kMsgChainNotTrusted);
  EXPECT_FALSE(FileExists(Path("none.pem")));
}

// A bundle of roots: the self-signed RSA ones are trusted, the others counted as skipped.
TEST_F(ReceiveChainTest, RootBundleTakesWhatItCanHold) {
  MakeChain("sha512");
  // A second root of the same name, with another key, is labelled apart.
  ASSERT_EQ(Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "
                "/CN=EcRoot -days 30 "
                "-keyout ec.key -out ec.pem && openssl req -x509 -newkey rsa:1024 -nodes -subj "
                "'/CN=Chain Root' "
                "-days 30 -keyout twin.key -out twin.pem && cat root.pem ec.pem int-sha512.pem "
                "twin.pem > bundle.pem"),
            0);
  const std::string ring = Path("bundle.kyr");
  std::filesystem::copy_file(env_.Server(), ring);
  EXPECT_EQ(Receive("ReceiveRootCert", ring, "bundle.pem"), Ok(kMsgBundleRootsSkipped));
  EXPECT_EQ(ReceivedBundleSkipped(), 2u) << "the elliptic-curve root and the intermediate";
  for (const char* label : {"Chain Root", "Chain Root (2)"}) {
    const std::optional<KeyRingEntry> root = EntryOf(ring, label);
    ASSERT_TRUE(root) << label;
    EXPECT_TRUE(root->IsTrustedRoot());
  }
  // Received again: nothing is stored twice; a bundle of nothing the key ring can hold is refused.
  EXPECT_EQ(Receive("ReceiveRootCert", ring, "bundle.pem"), Ok(kMsgBundleRootsSkipped));
  EXPECT_FALSE(EntryOf(ring, "Chain Root (3)"));
  ASSERT_EQ(Run("cat ec.pem int-sha512.pem > useless.pem"), 0);
  ExpectRefusals({{"ReceiveRootCert", "no certificate can be a trusted root",
                   Ring(ring, "CertReqFile=" + Path("useless.pem")), kMsgBundleRootsSkipped}},
                 {ring});
}

TEST_F(ReceiveChainTest, SystemBundleIsReceived) {
  const std::string bundle = "/etc/ssl/certs/ca-certificates.crt";
  if (!FileExists(bundle)) GTEST_SKIP() << bundle << " is absent";
  const std::string text = ReadFileText(bundle);
  std::size_t certificates = 0;
  for (std::size_t at = 0; (at = text.find("-----BEGIN CERTIFICATE-----", at)) != std::string::npos;
       ++at)
    ++certificates;
  const std::string ring = Path("system.kyr");
  std::filesystem::copy_file(env_.Server(), ring);
  ASSERT_EQ(KeyRingOpen(ring, PasswordArg("secret")), 0);
  const std::size_t before = KeyRingEntryCount();
  const Outcome outcome = RunCommand("ReceiveRootCert", Ring(ring, "CertReqFile=" + bundle));
  ASSERT_EQ(outcome.status, 0) << outcome;
  ASSERT_EQ(KeyRingOpen(ring, PasswordArg("secret")), 0);
  std::size_t trusted = 0;
  KeyRingCursor cursor;
  do {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (entry && entry->IsTrustedRoot()) ++trusted;
  } while (!cursor.AtEnd());
  EXPECT_EQ(KeyRingEntryCount() - before + ReceivedBundleSkipped(), certificates);
  EXPECT_GT(trusted, certificates / 2) << "most roots of a system bundle are RSA";
}

}  // namespace
}  // namespace kcertadm
