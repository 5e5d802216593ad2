#include "crypto/signature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/random_shared.h"
#include "crypto/rsa_key_info.h"
#include "crypto/rsa_keygen_method.h"
#include "crypto/rsa_test_util.h"
#include "crypto/toolkit_scope.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RunCommand;
using testing::TempPath;

ByteItem Item(const SecureBytes& bytes) {
  return ByteItem{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
}

// A private key object built from deterministic key material.
KeyObject* PrivateKeyObject(const RsaKeyMaterial& m) {
  const SecureBytes parts[] = {m.modulus.ToBytes(), m.public_exponent.ToBytes(),
                               m.private_exponent.ToBytes(), m.prime1.ToBytes(),
                               m.prime2.ToBytes(), m.exponent1.ToBytes(),
                               m.exponent2.ToBytes(), m.coefficient.ToBytes()};
  const RsaPrivateKeyRecord record{Item(parts[0]), Item(parts[1]), Item(parts[2]), Item(parts[3]),
                                   Item(parts[4]), Item(parts[5]), Item(parts[6]), Item(parts[7])};
  KeyObject* key = nullptr;
  EXPECT_EQ(KeyCreate(&key), 0);
  EXPECT_EQ(KeySetInfo(key, KeyInfoRsaPrivate(), &record), 0);
  return key;
}

KeyObject* PublicKeyObject(KeyObject* private_key) {
  const void* record = nullptr;
  EXPECT_EQ(KeyGetInfo(&record, private_key, KeyInfoRsaPublic()), 0);
  KeyObject* key = nullptr;
  EXPECT_EQ(KeyCreate(&key), 0);
  EXPECT_EQ(KeySetInfo(key, KeyInfoRsaPublic(), record), 0);
  return key;
}

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
    private_ = PrivateKeyObject(testing::TestKey(1024));
    public_ = PublicKeyObject(private_);
  }
  void TearDown() override {
    KeyDestroy(&private_);
    KeyDestroy(&public_);
  }
  ToolkitScope lock_;
  KeyObject* private_ = nullptr;
  KeyObject* public_ = nullptr;
  const Bytes data_ = Bytes{'t', 'o', 'B', 'e', 'S', 'i', 'g', 'n', 'e', 'd'};
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

TEST_F(Signatures, VerificationFaults) {
  Bytes md5_signature;
  ASSERT_EQ(Sign(AlgInfoMd5WithRsa(), private_, data_, &md5_signature), 0);
  // Another digest: the digest comparison fails first.
  EXPECT_EQ(Verify(AlgInfoMd2WithRsa(), public_, data_, md5_signature), 540);
  EXPECT_EQ(Verify(AlgInfoSha1WithRsa(), public_, data_, md5_signature), 540);

  Bytes longer = md5_signature;
  longer.push_back(0);
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_, data_, longer), 525);
  Bytes shorter(md5_signature.begin(), md5_signature.end() - 1);
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_, data_, shorter), 525);
  Bytes garbage = md5_signature;
  garbage[60] ^= 0x40;  // decrypts to a block without the type-1 form
  EXPECT_EQ(Verify(AlgInfoMd5WithRsa(), public_, data_, garbage), 524);
}

// Signatures made by hand with the private operation over crafted blocks,
// to reach each check of the verification.
TEST_F(Signatures, CraftedBlocksGiveTheirCodes) {
  RsaPrivateKeyOp op;
  ASSERT_EQ(op.Init(testing::TestKey(1024)), 0);
  std::uint8_t digest[16];
  {
    ScopedAlgorithm md5;
    ASSERT_EQ(md5.Create(), 0);
    ASSERT_EQ(AlgSetInfo(md5.get(), AlgInfoMd5(), nullptr), 0);
    ASSERT_EQ(DigestInit(md5.get(), nullptr, DigestMethods, nullptr), 0);
    ASSERT_EQ(DigestUpdate(md5.get(), data_.data(), static_cast<std::uint32_t>(data_.size()), nullptr), 0);
    std::uint32_t n = 0;
    ASSERT_EQ(DigestFinal(md5.get(), digest, &n, 16, nullptr), 0);
  }
  const Bytes prefix = {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                        0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  auto block_for = [&](Bytes payload, std::uint8_t separator) {
    Bytes block(128, 0xFF);
    block[0] = 0;
    block[1] = 1;
    block[128 - payload.size() - 1] = separator;
    std::copy(payload.begin(), payload.end(), block.end() - payload.size());
    return block;
  };
  Bytes info = prefix;
  info.insert(info.end(), digest, digest + 16);
  Bytes params_not_null = info;
  params_not_null[14] = 0x04;  // 04 00 in place of 05 00
  Bytes long_payload(70, 0x30);
  struct Case {
    const char* why;
    Bytes block;
    int expected;
  } const kTests[] = {
      {"well formed", block_for(info, 0), 0},
      {"separator after the FF run is not 00", block_for(info, 0x01), 524},
      {"parameters not NULL", block_for(params_not_null, 0), 524},
      {"block data longer than 64 bytes", block_for(long_payload, 0), 524},
      {"not a DigestInfo", block_for(Bytes(34, 0x11), 0), 537},
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

  // A 256-bit key (k = 32) has room for 21 bytes only: an MD5 DigestInfo
  // is too long.
  KeyObject* small = PrivateKeyObject(testing::TestKey(256));
  EXPECT_EQ(Sign(AlgInfoMd5WithRsa(), small, data_, &signature), 525);
  KeyDestroy(&small);
}

TEST_F(Signatures, SelectorWrappers) {
  EXPECT_EQ(SigningAlgorithm(kSignatureMd5), AlgInfoMd5WithRsa());
  EXPECT_EQ(SigningAlgorithm(kSignatureMd2), AlgInfoMd2WithRsa());
  EXPECT_EQ(SigningAlgorithm(kSignatureSha1), AlgInfoMd2WithRsa());  // never signs with SHA-1
  EXPECT_EQ(VerifyingAlgorithm(kSignatureMd2), AlgInfoMd2WithRsa());
  EXPECT_EQ(VerifyingAlgorithm(kSignatureSha1), AlgInfoSha1WithRsa());
  EXPECT_EQ(VerifyingAlgorithm(7), AlgInfoMd5WithRsa());

  std::uint8_t signature[128];
  std::uint32_t length = 0;
  ASSERT_EQ(SignData(kSignatureMd5, private_, data_.data(), 10, signature, &length, sizeof signature), 0);
  EXPECT_EQ(VerifyData(kSignatureMd5, public_, data_.data(), 10, signature, length), 0);
  EXPECT_EQ(VerifyData(kSignatureMd2, public_, data_.data(), 10, signature, length), 540);
}

// ------------------------------------------------ cross-checks with peers

bool HavePeer(const char* command) {
  return RunCommand(std::string(command) + " > /dev/null 2>&1") == 0;
}

TEST(SignatureInterop, OpenSslAcceptsOurKeysAndSignatures) {
  if (!HavePeer("openssl version")) GTEST_SKIP() << "openssl not available";
  ToolkitScope lock;
  const RsaKeyMaterial& key = testing::TestKey(1024);
  const std::string key_pem = TempPath("key.pem"), pub_pem = TempPath("pub.pem"),
                    data_file = TempPath("data.bin"), sig_file = TempPath("sig.bin");
  testing::WriteFile(key_pem, testing::RsaPrivateKeyPem(key));
  ASSERT_EQ(RunCommand("openssl rsa -check -noout -in " + key_pem + " > /dev/null 2>&1"), 0);
  ASSERT_EQ(RunCommand("openssl rsa -in " + key_pem + " -pubout -out " + pub_pem + " 2>/dev/null"), 0);
  const Bytes data(1000, 'x');
  testing::WriteFile(data_file, data);

  KeyObject* private_key = PrivateKeyObject(key);
  KeyObject* public_key = PublicKeyObject(private_key);
  struct Digest {
    const AlgorithmInfoType* type;
    const char* name;
  } const kDigests[] = {{AlgInfoMd5WithRsa(), "md5"}, {AlgInfoSha1WithRsa(), "sha1"}};
  for (const Digest& d : kDigests) {
    SCOPED_TRACE(d.name);
    Bytes signature;
    ASSERT_EQ(Sign(d.type, private_key, data, &signature), 0);
    testing::WriteFile(sig_file, signature);
    EXPECT_EQ(RunCommand(std::string("openssl dgst -") + d.name + " -verify " + pub_pem +
                         " -signature " + sig_file + " " + data_file + " > /dev/null 2>&1"),
              0);
    // And the other way: OpenSSL signs, we verify.
    ASSERT_EQ(RunCommand(std::string("openssl dgst -") + d.name + " -sign " + key_pem + " -out " +
                         sig_file + " " + data_file + " 2>/dev/null"),
              0);
    EXPECT_EQ(Verify(d.type, public_key, data, testing::ReadFile(sig_file)), 0);
  }
  KeyDestroy(&private_key);
  KeyDestroy(&public_key);
  for (const std::string& f : {key_pem, pub_pem, data_file, sig_file}) std::remove(f.c_str());
}

TEST(SignatureInterop, Md2AgreesWithPycryptodome) {
  const std::string python = "/usr/bin/python3";
  if (!HavePeer((python + " -c 'import Cryptodome'").c_str())) GTEST_SKIP() << "no pycryptodome";
  ToolkitScope lock;
  const RsaKeyMaterial& key = testing::TestKey(1024);
  const std::string key_der = TempPath("md2key.der"), data_file = TempPath("md2data.bin"),
                    sig_file = TempPath("md2sig.bin"), peer_sig = TempPath("md2peer.bin");
  testing::WriteFile(key_der, testing::RsaPrivateKeyDer(key));
  const Bytes data = {'m', 'd', '2', ' ', 'd', 'a', 't', 'a'};
  testing::WriteFile(data_file, data);
  KeyObject* private_key = PrivateKeyObject(key);
  Bytes signature;
  ASSERT_EQ(Sign(AlgInfoMd2WithRsa(), private_key, data, &signature), 0);
  testing::WriteFile(sig_file, signature);
  const std::string script =
      "from Cryptodome.PublicKey import RSA\n"
      "from Cryptodome.Signature import pkcs1_15\n"
      "from Cryptodome.Hash import MD2\n"
      "import sys\n"
      "k = RSA.import_key(open(sys.argv[1], 'rb').read())\n"
      "h = MD2.new(open(sys.argv[2], 'rb').read())\n"
      "pkcs1_15.new(k).verify(h, open(sys.argv[3], 'rb').read())\n"
      "open(sys.argv[4], 'wb').write(pkcs1_15.new(k).sign(h))\n";
  const std::string script_file = TempPath("md2.py");
  testing::WriteFile(script_file, script);
  ASSERT_EQ(RunCommand(python + " " + script_file + " " + key_der + " " + data_file + " " + sig_file +
                       " " + peer_sig),
            0);
  // PKCS #1 v1.5 is deterministic: the peer's signature is ours.
  EXPECT_EQ(testing::ReadFile(peer_sig), signature);
  KeyDestroy(&private_key);
  for (const std::string& f : {key_der, data_file, sig_file, peer_sig, script_file}) std::remove(f.c_str());
}

}  // namespace
}  // namespace kcertadm
