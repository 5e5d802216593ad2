#include "crypto/rsa/signature.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "crypto/toolkit/toolkit_scope.h"
#include "crypto/toolkit_util.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

class Signatures : public ::testing::Test {
 protected:
  // The status, and in `out` the signature made with the selector's digest.
  int Sign(int selector, const Bytes& data, Bytes* out, KeyObject* key = nullptr,
           std::uint32_t room = 128) {
    std::uint32_t length = 0;
    out->assign(room, 0);
    const int status = SignData(lock_, selector, key ? key : private_.get(), data.data(),
                                data.size(), out->data(), &length, room)
                           .code();
    return out->resize(status == 0 ? length : 0), status;
  }
  int Verify(int selector, const Bytes& data, const Bytes& signature, KeyObject* key = nullptr) {
    return VerifyData(lock_, selector, key ? key : public_.get(), data.data(), data.size(),
                      signature.data(), signature.size())
        .code();
  }
  ToolkitLockHeld lock_;
  OwnedKey private_{test_support::PrivateKeyObject(lock_, test_support::TestKey(1024))};
  OwnedKey public_{test_support::PublicKeyObject(lock_, private_.get())};
  const Bytes data_ = test_support::TextBytes("toBeSigned");
};

// Signing and verifying agree with the peer (below); here the selectors and the fault codes.
TEST_F(Signatures, SelectorsAndFaultsGiveTheirCodes) {
  EXPECT_EQ(SigningAlgorithm(kSignatureSha1), AlgInfoSha1WithRsa())
      << "Digest=SHA1 signs with SHA-1";
  EXPECT_EQ(SigningAlgorithm(7), AlgInfoMd2WithRsa());
  EXPECT_EQ(VerifyingAlgorithm(7), AlgInfoMd5WithRsa());
  const std::pair<int, const AlgorithmInfoType*> kSha2[] = {
      {kSignatureSha256, AlgInfoSha256WithRsa()},
      {kSignatureSha384, AlgInfoSha384WithRsa()},
      {kSignatureSha512, AlgInfoSha512WithRsa()}};
  for (const auto& [selector, type] : kSha2)
    EXPECT_TRUE(SigningAlgorithm(selector) == type && VerifyingAlgorithm(selector) == type);
  Bytes signature, other = data_;
  ASSERT_EQ(Sign(kSignatureMd5, data_, &signature), 0);
  other.back() ^= 1;
  EXPECT_EQ(Verify(kSignatureMd5, other, signature), 540);
  EXPECT_EQ(Verify(kSignatureMd2, data_, signature), 540) << "another digest";
  signature.push_back(0);
  EXPECT_EQ(Verify(kSignatureMd5, data_, signature), 525);
  signature.resize(127);
  EXPECT_EQ(Verify(kSignatureMd5, data_, signature), 525);
  // A well-padded block whose data is longer than any DigestInfo.
  Bytes block(128, 0xFF);
  block[0] = block[128 - 71] = 0, block[1] = 1;
  RsaPrivateKeyOp op;
  signature.resize(128);
  ASSERT_EQ(op.Init(test_support::TestKey(1024)), 0);
  ASSERT_EQ(op.Apply(block.data(), 128, signature.data(), 128), 0);
  EXPECT_EQ(Verify(kSignatureMd5, data_, signature), 524);
  EXPECT_EQ(Sign(kSignatureMd5, data_, &signature, public_.get()), 542) << "only the public form";
  EXPECT_EQ(Sign(kSignatureMd5, data_, &signature, nullptr, 127), 536);
  OwnedKey small{test_support::PrivateKeyObject(lock_, test_support::TestKey(512))};
  EXPECT_EQ(Sign(kSignatureSha512, data_, &signature, small.get()), 525)
      << "83-byte DigestInfo in a 64-byte block";
}

// The public-key operation reduces its input: a signature plus the modulus
// must not verify as the signature (the same signature in two encodings).
TEST_F(Signatures, SignatureNotBelowTheModulusIsRefused) {
  const BigNum n = test_support::TestKey(1024).modulus;
  int tried = 0;
  for (std::uint8_t c = 'a'; c <= 'z'; ++c) {
    const Bytes message{c};
    Bytes signature;
    ASSERT_EQ(Sign(kSignatureSha256, message, &signature), 0);
    const BigNum unreduced = BigNum::Add(BigNum::FromBytes(signature.data(), signature.size()), n);
    if (unreduced.ByteLength() > signature.size()) continue;  // needs a signature below 2^1024 - n
    ++tried;
    Bytes same(signature.size());
    ASSERT_EQ(unreduced.ToBytes(same.data(), same.size()), kBigNumOk);
    EXPECT_EQ(Verify(kSignatureSha256, message, signature), 0);
    EXPECT_EQ(Verify(kSignatureSha256, message, same), 524);
    ASSERT_EQ(n.ToBytes(same.data(), same.size()), kBigNumOk);
    EXPECT_EQ(Verify(kSignatureSha256, message, same), 524) << "the modulus itself";
  }
  EXPECT_GT(tried, 0);
}

// Deterministic signatures: pycryptodome's (openssl lacks MD2) verify, and ours are the same bytes.
TEST_F(Signatures, AgreeWithPycryptodome) {
  if (std::system("/usr/bin/python3 -c 'import Cryptodome' 2>/dev/null") != 0)
    GTEST_SKIP() << "no pycryptodome";
  test_support::TempDir dir;
  const SecureBytes key = EncodeRsaPrivateKey(NumbersOf(test_support::TestKey(1024)));
  test_support::WriteFileBytes(dir / "key.der", Bytes(key.begin(), key.end()));
  const Bytes data(1000, 'x');
  test_support::WriteFileBytes(dir / "data", data);
  const std::string script =
      dir.Write("sign.py",
                "import sys\nfrom Cryptodome.PublicKey import RSA\nfrom Cryptodome.Signature "
                "import pkcs1_15\n"
                "from Cryptodome.Hash import MD2, MD5, SHA1, SHA256, SHA384, SHA512\n"
                "k = pkcs1_15.new(RSA.import_key(open(sys.argv[1], 'rb').read()))\nd = "
                "open(sys.argv[2], 'rb').read()\n"
                "for i, h in enumerate((MD2, MD5, SHA1, SHA256, SHA384, SHA512)):\n"
                "  open(sys.argv[2] + str(i + 1), 'wb').write(k.sign(h.new(d)))\n");
  ASSERT_EQ(
      std::system(
          ("/usr/bin/python3 " + script + " " + (dir / "key.der") + " " + (dir / "data")).c_str()),
      0);
  for (int selector : {kSignatureMd2, kSignatureMd5, kSignatureSha1, kSignatureSha256,
                       kSignatureSha384, kSignatureSha512}) {
    SCOPED_TRACE(selector);
    const Bytes peer = test_support::ReadFileBytes(dir / ("data" + std::to_string(selector)));
    EXPECT_EQ(Verify(selector, data, peer), 0);
    if (selector == kSignatureSha1) continue;  // never signed with
    Bytes ours;
    ASSERT_EQ(Sign(selector, data, &ours), 0);
    EXPECT_EQ(ours, peer);
  }
}

}  // namespace
}  // namespace kcertadm
