// What is built here is accepted by independent tools, and what they build
// is read here: openssl for requests, self-signed certificates and PKCS #7,
// python3-cryptography for the signatures of issued certificates. Skipped
// when the peer is not installed.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/certificate.h"
#include "key_util.h"
#include "peer_util.h"

namespace kcertadm {
namespace {

using test::Bytes;
using test::BytesOf;
using test::Quote;
using test::Record;


// Builds a request or self-signed certificate for the vector key now.
Bytes Build(bool selfSigned) {
  test::VectorKey key;
  test::VectorSubject subject;
  SecurityCmdContext context{};
  context.selfSigned = selfSigned ? 1 : 0;
  context.validDays = 30;
  Record r;
  std::uint32_t error = 0;
  if (BuildRequestOrCertificate(subject.values, &r.cert, key.get(), &context, &error) != 0) return {};
  return BytesOf(r.cert.der);
}

TEST(Openssl, AcceptsOurRequest) {
  if (!test::HaveOpenssl()) GTEST_SKIP() << "openssl not installed";
  test::TempDir dir;
  test::WriteFile(dir.Path("req.der"), Build(false));
  int status = -1;
  const std::string out = test::Run("openssl req -inform DER -in " + Quote(dir.Path("req.der")) +
                                  " -noout -verify -subject -nameopt utf8 2>&1",
                              &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("verify OK"), std::string::npos) << out;
  EXPECT_NE(out.find("L=M\xC3\xBCnchen"), std::string::npos) << out;
}

TEST(Openssl, VerifiesOurSelfSignedCertificateAgainstItself) {
  if (!test::HaveOpenssl()) GTEST_SKIP() << "openssl not installed";
  test::TempDir dir;
  test::WriteFile(dir.Path("self.der"), Build(true));
  int status = -1;
  test::Run("openssl x509 -inform DER -in " + Quote(dir.Path("self.der")) + " -out " +
          Quote(dir.Path("self.pem")) + " 2>&1",
      &status);
  ASSERT_EQ(status, 0);
  const std::string out = test::Run("openssl verify -CAfile " + Quote(dir.Path("self.pem")) + " " +
                                  Quote(dir.Path("self.pem")) + " 2>&1",
                              &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find(": OK"), std::string::npos) << out;
}

// Requests made by openssl with MD5 and with SHA-1 are issued here: the
// certificate keeps the request's subject and key, openssl reads it, and its
// signature verifies under the signer's key in python3-cryptography (its
// verify_directly_issued_by, where present, does the same two checks).
TEST(Openssl, RequestsItMakesAreIssuedHere) {
  if (!test::HaveOpenssl()) GTEST_SKIP() << "openssl not installed";
  const bool python = test::HavePythonCryptography();
  test::TempDir dir;
  int status = -1;
  test::Run("openssl genrsa -out " + Quote(dir.Path("key.pem")) + " 1024 2>&1", &status);
  ASSERT_EQ(status, 0);
  test::VectorSigner s;
  test::WriteFile(dir.Path("signer.der"), BytesOf(s.self.cert.der));
  for (const char* digest : {"-md5", "-sha1"}) {
    SCOPED_TRACE(digest);
    test::Run(std::string("openssl req -new ") + digest + " -key " + Quote(dir.Path("key.pem")) +
            " -subj '/C=GB/O=Peer Org/OU=A/OU=B/CN=peer.example.com' -outform DER -out " +
            Quote(dir.Path("req.der")) + " 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    Record r(test::ReadFile(dir.Path("req.der")));
    CertFields request;
    std::uint32_t error = 0;
    ASSERT_EQ(ParseRequest(&r.cert, &request, &error), 0) << error;
    const Bytes subject = BytesOf(request.subject);
    const Bytes spki = BytesOf(request.subjectPublicKeyInfo);
    ASSERT_EQ(IssueCertificateAt(&s.signer, request, &r.cert, 30, test::kDec4At1603, &error), 0);
    CertFields issued;
    ASSERT_EQ(ParseCert(&r.cert, &issued, &error), 0);
    EXPECT_EQ(BytesOf(issued.subject), subject);
    EXPECT_EQ(BytesOf(issued.subjectPublicKeyInfo), spki);
    test::WriteFile(dir.Path("issued.der"), BytesOf(r.cert.der));

    const std::string text = test::Run("openssl x509 -inform DER -in " + Quote(dir.Path("issued.der")) +
                                     " -noout -subject -issuer -pubkey 2>&1",
                                 &status);
    EXPECT_EQ(status, 0) << text;
    EXPECT_NE(text.find("CN = peer.example.com"), std::string::npos) << text;
    EXPECT_NE(text.find("issuer=C = DE"), std::string::npos) << text;
    const std::string requestKey = test::Run("openssl req -inform DER -in " + Quote(dir.Path("req.der")) +
                                       " -noout -pubkey 2>&1");
    EXPECT_NE(text.find(requestKey), std::string::npos);

    if (python) {
      const std::string script =
          "import sys\n"
          "from cryptography import x509\n"
          "issued = x509.load_der_x509_certificate(open(sys.argv[1], 'rb').read())\n"
          "signer = x509.load_der_x509_certificate(open(sys.argv[2], 'rb').read())\n"
          "from cryptography.hazmat.primitives.asymmetric import padding\n"
          "assert issued.issuer == signer.subject\n"
          "signer.public_key().verify(issued.signature, issued.tbs_certificate_bytes,\n"
          "                           padding.PKCS1v15(), issued.signature_hash_algorithm)\n"
          "print('verified')\n";
      test::WriteFile(dir.Path("check.py"), test::Text(script));
      const std::string out = test::Run("/usr/bin/python3 " + Quote(dir.Path("check.py")) + " " +
                                      Quote(dir.Path("issued.der")) + " " +
                                      Quote(dir.Path("signer.der")) + " 2>&1",
                                  &status);
      EXPECT_EQ(status, 0) << out;
      EXPECT_NE(out.find("verified"), std::string::npos) << out;
    }
  }
}

TEST(Openssl, PrintsOurPkcs7Package) {
  if (!test::HaveOpenssl()) GTEST_SKIP() << "openssl not installed";
  test::TempDir dir;
  Record r(Build(true));
  ASSERT_EQ(PackagePkcs7(&r.cert), 0);
  test::WriteFile(dir.Path("package.p7b"), BytesOf(r.cert.pkcs7));
  int status = -1;
  const std::string out = test::Run("openssl pkcs7 -inform DER -in " + Quote(dir.Path("package.p7b")) +
                                  " -print_certs 2>&1",
                              &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("subject=C = DE"), std::string::npos) << out;
  EXPECT_NE(out.find("-----BEGIN CERTIFICATE-----"), std::string::npos) << out;
  // The certificate it prints is ours, byte for byte.
  EXPECT_EQ(test::PemToDer(out), BytesOf(r.cert.der));
}

TEST(Openssl, ItsPkcs7BundlesUnwrapCertificateByCertificate) {
  if (!test::HaveOpenssl()) GTEST_SKIP() << "openssl not installed";
  std::vector<std::string> pems;
  if (DIR* d = opendir("/etc/ssl/certs")) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() > 4 && name.substr(name.size() - 4) == ".pem") pems.push_back("/etc/ssl/certs/" + name);
    }
    closedir(d);
  }
  std::sort(pems.begin(), pems.end());
  if (pems.size() > 7) pems.resize(7);
  // Our own certificates too, so that the test runs without a CA bundle.
  test::TempDir dir;
  test::WriteFile(dir.Path("self.der"), Build(true));
  test::Run("openssl x509 -inform DER -in " + Quote(dir.Path("self.der")) + " -out " +
      Quote(dir.Path("self.pem")));
  pems.push_back(dir.Path("self.pem"));
  pems.push_back(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/vector_ca.pem");
  std::string command = "openssl crl2pkcs7 -nocrl -outform DER -out " + Quote(dir.Path("bundle.p7b"));
  std::vector<Bytes> expected;
  for (const std::string& pem : pems) {
    command += " -certfile " + Quote(pem);
    expected.push_back(test::PemToDer(test::Run("cat " + Quote(pem))));
  }
  int status = -1;
  test::Run(command + " 2>&1", &status);
  ASSERT_EQ(status, 0);
  Record r(test::ReadFile(dir.Path("bundle.p7b")));
  CertFields fields;
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&r.cert, &fields, &error), 0);
  std::size_t seen = 0;
  do {
    ASSERT_LT(seen, expected.size());
    ASSERT_EQ(ParseCert(&r.cert, &fields, &error), 0) << seen;
    EXPECT_EQ(BytesOf(r.cert.der), expected[seen]) << seen;
    ++seen;
  } while (NextCertInSet(&r.cert) == 1);
  EXPECT_EQ(seen, expected.size());
}

}  // namespace
}  // namespace kcertadm
