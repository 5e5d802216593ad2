#include "crypto/signature.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
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
  EXPECT_EQ(signer.Create() | AlgSetInfo(signer.get(), type, nullptr), 0);
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
  EXPECT_EQ(verifier.Create() | AlgSetInfo(verifier.get(), type, nullptr), 0);
  if (int status = VerifyInit(verifier.get(), key, KeyRingMethods, nullptr)) return status;
  EXPECT_EQ(VerifyUpdate(verifier.get(), data.data(), static_cast<std::uint32_t>(data.size()), nullptr), 0);
  return VerifyFinal(verifier.get(), signature.data(), static_cast<std::uint32_t>(signature.size()), nullptr, nullptr);
}

class Signatures : public ::testing::Test {
 protected:
  ToolkitScope lock_;
  ScopedKey private_{testing::PrivateKeyObject(testing::TestKey(1024))};
  ScopedKey public_{testing::PublicKeyObject(private_.get())};
  const Bytes data_ = testing::TextBytes("toBeSigned");
};

TEST_F(Signatures, SignAndVerifyWithEachDigest) {
  ASSERT_NE(public_.get(), nullptr);
  for (const AlgorithmInfoType* type : {AlgInfoMd2WithRsa(), AlgInfoMd5WithRsa(), AlgInfoSha1WithRsa()}) {
    Bytes signature;
    ASSERT_EQ(Sign(type, private_.get(), data_, &signature), 0);
    EXPECT_EQ(signature.size(), 128u);
    EXPECT_EQ(Verify(type, public_.get(), data_, signature), 0);
    // A private key object verifies too: the public form is derived.
    EXPECT_EQ(Verify(type, private_.get(), data_, signature), 0);
    Bytes other = data_;
    other.back() ^= 1;
    EXPECT_EQ(Verify(type, public_.get(), other, signature), 540);
  }
}

TEST_F(Signatures, VerificationFaultsGiveTheirCodes) {
  Bytes signature;
  ASSERT_EQ(Sign(AlgInfoMd5WithRsa(), private_.get(), data_, &signature), 0);
  EXPECT_EQ(Verify(AlgInfoSha1WithRsa(), public_.get(), data_, signature), 540) << "another digest";
  signature.push_back(0);
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_.get(), data_, signature), 525);
  signature.resize(127);
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_.get(), data_, signature), 525);
  // A well-padded block whose data is longer than any DigestInfo.
  Bytes block(128, 0xFF);
  block[0] = 0;
  block[1] = 1;
  block[128 - 71] = 0;
  RsaPrivateKeyOp op;
  ASSERT_EQ(op.Init(testing::TestKey(1024)), 0);
  signature.resize(128);
  ASSERT_EQ(op.Apply(block.data(), 128, signature.data(), 128), 0);
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_.get(), data_, signature), 524);
}

TEST_F(Signatures, SigningNeedsThePrivateFormAndRoom) {
  Bytes signature;
  EXPECT_EQ(Sign(AlgInfoMd5WithRsa(), public_.get(), data_, &signature), 542) << "only the public form";
  EXPECT_EQ(Sign(AlgInfoMd5WithRsa(), private_.get(), data_, &signature, 127), 536);
  EXPECT_EQ(Sign(AlgInfoMd5WithRsa(), private_.get(), data_, &signature, 128), 0);
}

TEST_F(Signatures, SelectorWrappers) {
  EXPECT_EQ(SigningAlgorithm(kSignatureMd2), AlgInfoMd2WithRsa());
  EXPECT_EQ(SigningAlgorithm(kSignatureSha1), AlgInfoMd2WithRsa());  // never signs with SHA-1
  EXPECT_EQ(VerifyingAlgorithm(kSignatureSha1), AlgInfoSha1WithRsa());
  EXPECT_EQ(VerifyingAlgorithm(7), AlgInfoMd5WithRsa());
  std::uint8_t signature[128];
  std::uint32_t length = 0;
  ASSERT_EQ(SignData(kSignatureMd5, private_.get(), data_.data(), 10, signature, &length, sizeof signature), 0);
  EXPECT_EQ(VerifyData(kSignatureMd5, public_.get(), data_.data(), 10, signature, length), 0);
  EXPECT_EQ(VerifyData(kSignatureMd2, public_.get(), data_.data(), 10, signature, length), 540);
}

// PKCS #1 v1.5 signatures are deterministic: pycryptodome's (openssl here
// lacks MD2) must be ours byte for byte.
TEST_F(Signatures, AgreeWithPycryptodome) {
  if (std::system("/usr/bin/python3 -c 'import Cryptodome' 2>/dev/null") != 0) GTEST_SKIP() << "no pycryptodome";
  testing::TempDir dir;
  const SecureBytes key = EncodeRsaPrivateKey(testing::NumbersOf(testing::TestKey(1024)));
  testing::WriteFileBytes(dir / "key.der", Bytes(key.begin(), key.end()));
  const Bytes data(1000, 'x');
  testing::WriteFileBytes(dir / "data", data);
  const std::string script = dir.Write("sign.py",
      "import sys\n"
      "from Cryptodome.PublicKey import RSA\n"
      "from Cryptodome.Signature import pkcs1_15\n"
      "from Cryptodome.Hash import MD2, MD5, SHA1\n"
      "k = pkcs1_15.new(RSA.import_key(open(sys.argv[1], 'rb').read()))\n"
      "d = open(sys.argv[2], 'rb').read()\n"
      "for h in (MD2, MD5, SHA1): open(sys.argv[2] + '.' + h.__name__.split('.')[-1], 'wb').write(k.sign(h.new(d)))\n");
  ASSERT_EQ(std::system(("/usr/bin/python3 " + script + " " + (dir / "key.der") + " " + (dir / "data")).c_str()), 0);
  for (const auto& [type, name] : {std::pair{AlgInfoMd2WithRsa(), "MD2"}, std::pair{AlgInfoMd5WithRsa(), "MD5"},
                                   std::pair{AlgInfoSha1WithRsa(), "SHA1"}}) {
    SCOPED_TRACE(name);
    Bytes signature;
    ASSERT_EQ(Sign(type, private_.get(), data, &signature), 0);
    EXPECT_EQ(testing::ReadFileBytes(dir / (std::string("data.") + name)), signature);
  }
}

}  // namespace
}  // namespace kcertadm
