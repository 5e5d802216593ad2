// PKCS #7 packages both ways with openssl: it reads ours, and its bundles
// split here. (Requests and certificates are cross-checked with openssl
// through the commands.)
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
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

// A self-signed certificate of the vector key, made now.
Bytes SelfSigned() { return test::BuildForVectorKey(true, std::time(nullptr)); }

TEST(Openssl, PrintsOurPkcs7Package) {
  test::TempDir dir;
  Record r(SelfSigned());
  ASSERT_EQ(PackagePkcs7(&r.cert), 0);
  test::WriteFileBytes(dir.Path("package.p7b"), BytesOf(r.cert.pkcs7));
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

// openssl packs the machine's CA bundle, with our own certificates so that
// the test runs without one, into one PKCS #7 package; it splits here into
// the same certificates in the same order.
TEST(Openssl, ItsPkcs7BundlesUnwrapCertificateByCertificate) {
  test::TempDir dir;
  test::WriteFileBytes(dir.Path("self.der"), SelfSigned());
  test::Run("openssl x509 -inform DER -in " + Quote(dir.Path("self.der")) + " -out " + Quote(dir.Path("self.pem")));
  std::vector<std::string> pems = {dir.Path("self.pem"), std::string(KCERTADM_TEST_DATA_DIR) + "/cert/vector_ca.pem"};
  std::error_code noBundle;
  for (const auto& e : std::filesystem::directory_iterator("/etc/ssl/certs", noBundle))
    if (e.path().extension() == ".pem") pems.push_back(e.path());
  std::string command = "openssl crl2pkcs7 -nocrl -outform DER -out " + Quote(dir.Path("bundle.p7b"));
  std::vector<Bytes> expected;
  for (const std::string& pem : pems) {
    command += " -certfile " + Quote(pem);
    const Bytes text = test::ReadFile(pem);
    expected.push_back(test::PemToDer(std::string(text.begin(), text.end())));
  }
  int status = -1;
  test::Run(command + " 2>&1", &status);
  ASSERT_EQ(status, 0);
  Record r(test::ReadFile(dir.Path("bundle.p7b")));
  CertFields fields;
  std::uint32_t error = 0;
  std::size_t seen = 0;
  do {
    ASSERT_LT(seen, expected.size());
    ASSERT_EQ(ParseCert(&r.cert, &fields, &error), 0) << pems[seen];
    EXPECT_EQ(BytesOf(r.cert.der), expected[seen]) << pems[seen];
    ++seen;
  } while (NextCertInSet(&r.cert) == 1);
  EXPECT_EQ(seen, expected.size());
}

}  // namespace
}  // namespace kcertadm
