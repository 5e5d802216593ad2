#include "crypto/signature.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "crypto/md5.h"
#include "crypto/rsa_key_info.h"
#include "crypto/toolkit_scope.h"
#include "crypto/toolkit_util.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;

int Sign(const AlgorithmInfoType* type, KeyObject* key, const Bytes& data, Bytes* signature,
         std::uint32_t buffer = 512) {
  ScopedAlgorithm signer;
  EXPECT_EQ(signer.Create(), 0);
  EXPECT_EQ(AlgSetInfo(signer.get(), type, nullptr), 0);
  if (int status = SignInit(signer.get(), key, KeyRingMethods, nullptr)) return status;
  EXPECT_EQ(SignUpdate(signer.get(), data.data(), static_cast<std::uint32_t>(data.size()), nullptr), 0);
  signature->assign(buffer, 0);
  std::uint32_t length = 0;
  const int status = SignFinal(signer.get(), signature->data(), &length, buffer, nullptr, nullptr);
  signature->resize(status == 0 ? length : 0);
  return status;
}

int Verify(const AlgorithmInfoType* type, KeyObject* key, const Bytes& data, const Bytes& signature) {
  ScopedAlgorithm verifier;
  EXPECT_EQ(verifier.Create(), 0);
  EXPECT_EQ(AlgSetInfo(verifier.get(), type, nullptr), 0);
  if (int status = VerifyInit(verifier.get(), key, KeyRingMethods, nullptr)) return status;
  EXPECT_EQ(VerifyUpdate(verifier.get(), data.data(), static_cast<std::uint32_t>(data.size()), nullptr), 0);
  return VerifyFinal(verifier.get(), signature.data(), static_cast<std::uint32_t>(signature.size()),
                     nullptr, nullptr);
}

class Signatures : public ::testing::Test {
 protected:
  void SetUp() override {
    private_ = testing::PrivateKeyObject(testing::TestKey(1024));
    public_ = testing::PublicKeyObject(private_);
    ASSERT_NE(public_, nullptr);
  }
  void TearDown() override {
    KeyDestroy(&private_);
    KeyDestroy(&public_);
  }
  ToolkitScope lock_;
  KeyObject* private_ = nullptr;
  KeyObject* public_ = nullptr;
  const Bytes data_ = testing::TextBytes("toBeSigned");
};

TEST_F(Signatures, SignAndVerifyWithEachDigest) {
  for (const AlgorithmInfoType* type : {AlgInfoMd2WithRsa(), AlgInfoMd5WithRsa(), AlgInfoSha1WithRsa()}) {
    Bytes signature;
    ASSERT_EQ(Sign(type, private_, data_, &signature), 0);
    EXPECT_EQ(signature.size(), 128u);
    EXPECT_EQ(Verify(type, public_, data_, signature), 0);
    // A private key object verifies too: the public form is derived.
    EXPECT_EQ(Verify(type, private_, data_, signature), 0);
    Bytes other = data_;
    other.back() ^= 1;
    EXPECT_EQ(Verify(type, public_, other, signature), 540);
  }
}

// Signatures of the wrong length or digest, and signatures made by hand
// with the private operation over crafted blocks.
TEST_F(Signatures, VerificationFaultsGiveTheirCodes) {
  Bytes md5_signature;
  ASSERT_EQ(Sign(AlgInfoMd5WithRsa(), private_, data_, &md5_signature), 0);
  EXPECT_EQ(Verify(AlgInfoSha1WithRsa(), public_, data_, md5_signature), 540) << "another digest";
  Bytes longer = md5_signature;
  longer.push_back(0);
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_, data_, longer), 525);
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_, data_, Bytes(md5_signature.begin(), md5_signature.end() - 1)), 525);

  RsaPrivateKeyOp op;
  ASSERT_EQ(op.Init(testing::TestKey(1024)), 0);
  Bytes info = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48, 0x86,
                0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  std::uint8_t digest[16];
  Md5Digest(data_.data(), data_.size(), digest);
  info.insert(info.end(), digest, digest + 16);
  auto block_for = [&](Bytes payload) {
    Bytes block(128, 0xFF);
    block[0] = 0;
    block[1] = 1;
    block[128 - payload.size() - 1] = 0;
    std::copy(payload.begin(), payload.end(), block.end() - payload.size());
    return block;
  };
  // The padding and DigestInfo faults are the PKCS #1 tests' own; here what
  // only the verification decides.
  struct Case {
    const char* why;
    Bytes block;
    int expected;
  } const kTests[] = {
      {"well formed", block_for(info), 0},
      {"block data longer than 64 bytes", block_for(Bytes(70, 0x30)), 524},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Bytes signature(128);
    ASSERT_EQ(op.Apply(c.block.data(), 128, signature.data(), 128), 0);
    EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_, data_, signature), c.expected);
  }
}

TEST_F(Signatures, SigningNeedsThePrivateFormAndRoom) {
  Bytes signature;
  // Only the public form: the private form cannot be derived.
  EXPECT_EQ(Sign(AlgInfoMd5WithRsa(), public_, data_, &signature), 542);
  EXPECT_EQ(Sign(AlgInfoMd5WithRsa(), private_, data_, &signature, 127), 536);
  EXPECT_EQ(Sign(AlgInfoMd5WithRsa(), private_, data_, &signature, 128), 0);
}

TEST_F(Signatures, SelectorWrappers) {
  EXPECT_EQ(SigningAlgorithm(kSignatureMd2), AlgInfoMd2WithRsa());
  EXPECT_EQ(SigningAlgorithm(kSignatureSha1), AlgInfoMd2WithRsa());  // never signs with SHA-1
  EXPECT_EQ(VerifyingAlgorithm(kSignatureSha1), AlgInfoSha1WithRsa());
  EXPECT_EQ(VerifyingAlgorithm(7), AlgInfoMd5WithRsa());
  std::uint8_t signature[128];
  std::uint32_t length = 0;
  ASSERT_EQ(SignData(kSignatureMd5, private_, data_.data(), 10, signature, &length, sizeof signature), 0);
  EXPECT_EQ(VerifyData(kSignatureMd5, public_, data_.data(), 10, signature, length), 0);
  EXPECT_EQ(VerifyData(kSignatureMd2, public_, data_.data(), 10, signature, length), 540);
}

// ------------------------------------------------ cross-checks with peers

int Shell(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()); }

// openssl checks our key, verifies our MD5 and SHA-1 signatures and signs
// for us to verify.
TEST_F(Signatures, OpenSslAcceptsOurKeysAndSignatures) {
  if (Shell("openssl version") != 0) GTEST_SKIP() << "openssl not available";
  testing::TempDir dir;
  const std::string key = dir.path() + "/key.der", pub = dir.path() + "/pub.pem", data_file = dir.path() + "/data",
                    sig = dir.path() + "/sig";
  testing::WriteFileBytes(key, testing::RsaPrivateKeyDer(testing::TestKey(1024)));
  ASSERT_EQ(Shell("openssl rsa -inform DER -in " + key + " -check -noout"), 0);
  ASSERT_EQ(Shell("openssl rsa -inform DER -in " + key + " -pubout -out " + pub), 0);
  const Bytes data(1000, 'x');
  testing::WriteFileBytes(data_file, data);
  for (const auto& [type, name] : {std::pair{AlgInfoMd5WithRsa(), "md5"}, std::pair{AlgInfoSha1WithRsa(), "sha1"}}) {
    SCOPED_TRACE(name);
    Bytes signature;
    ASSERT_EQ(Sign(type, private_, data, &signature), 0);
    testing::WriteFileBytes(sig, signature);
    EXPECT_EQ(Shell(std::string("openssl dgst -") + name + " -verify " + pub + " -signature " + sig + " " + data_file), 0);
    ASSERT_EQ(Shell(std::string("openssl dgst -") + name + " -sign " + key + " -keyform DER -out " + sig + " " + data_file),
              0);
    EXPECT_EQ(Verify(type, public_, data, testing::ReadFile(sig)), 0);
  }
}

// openssl no longer signs with MD2; pycryptodome does. PKCS #1 v1.5 is
// deterministic: the peer's signature is ours.
TEST_F(Signatures, Md2AgreesWithPycryptodome) {
  const std::string python = "/usr/bin/python3";
  if (Shell(python + " -c 'import Cryptodome'") != 0) GTEST_SKIP() << "no pycryptodome";
  testing::TempDir dir;
  const std::string key = dir.path() + "/key.der", data_file = dir.path() + "/data", peer_sig = dir.path() + "/sig";
  testing::WriteFileBytes(key, testing::RsaPrivateKeyDer(testing::TestKey(1024)));
  const Bytes data = testing::TextBytes("md2 data");
  testing::WriteFileBytes(data_file, data);
  const std::string script = dir.Write("md2.py",
      "from Cryptodome.PublicKey import RSA\n"
      "from Cryptodome.Signature import pkcs1_15\n"
      "from Cryptodome.Hash import MD2\n"
      "import sys\n"
      "k = RSA.import_key(open(sys.argv[1], 'rb').read())\n"
      "h = MD2.new(open(sys.argv[2], 'rb').read())\n"
      "open(sys.argv[3], 'wb').write(pkcs1_15.new(k).sign(h))\n");
  ASSERT_EQ(Shell(python + " " + script + " " + key + " " + data_file + " " + peer_sig), 0);
  Bytes signature;
  ASSERT_EQ(Sign(AlgInfoMd2WithRsa(), private_, data, &signature), 0);
  EXPECT_EQ(testing::ReadFile(peer_sig), signature);
}

}  // namespace
}  // namespace kcertadm
