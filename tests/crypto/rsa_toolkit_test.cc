// RSA through the toolkit calls: key forms, key-pair generation and the
// PKCS #1 cipher objects (the generated keys' numbers are pinned by the
// generator's vectors; here only what the toolkit layer adds).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "crypto/rsa_key_info.h"
#include "crypto/rsa_keygen_method.h"
#include "crypto/toolkit_scope.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;

BigNum Number(const ByteItem& item) { return BigNum::FromBytes(item.data, item.length); }

const RsaPrivateKeyRecord& PrivateRecord(KeyObject* key) {
  const void* record = nullptr;
  EXPECT_EQ(KeyGetInfo(&record, key, KeyInfoRsaPrivate()), 0);
  return *static_cast<const RsaPrivateKeyRecord*>(record);
}

// Objects that clean up after a test: a random object seeded with fixed
// bytes, key generation from which is repeatable, and two empty keys.
struct Fixture {
  ToolkitScope lock;
  AlgorithmObject* random = nullptr;
  KeyObject* pub = nullptr;
  KeyObject* priv = nullptr;
  Fixture() {
    const std::uint8_t seed[8] = {1, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(AlgCreate(&random), 0);
    EXPECT_EQ(AlgSetInfo(random, AlgInfoRandomMd5(), nullptr), 0);
    EXPECT_EQ(RandomInit(random, RandomMethods, nullptr), 0);
    EXPECT_EQ(RandomSeed(random, seed, sizeof seed, nullptr), 0);
    EXPECT_EQ(KeyCreate(&pub), 0);
    EXPECT_EQ(KeyCreate(&priv), 0);
  }
  ~Fixture() {
    KeyDestroy(&pub);
    KeyDestroy(&priv);
    AlgDestroy(&random);
  }
  // Generates into pub and priv; returns the status.
  int Generate(std::uint32_t bits, AlgorithmObject* source, const Bytes& exponent = {1, 0, 1}) {
    ScopedAlgorithm generator;
    EXPECT_EQ(generator.Create(), 0);
    const RsaKeyGenParams params{bits, ByteItem{exponent.data(), static_cast<std::uint32_t>(exponent.size())}};
    EXPECT_EQ(AlgSetInfo(generator.get(), AlgInfoRsaKeyGen(), &params), 0);
    if (int status = KeyPairGenerateInit(generator.get(), KeyRingMethods, nullptr)) return status;
    return KeyPairGenerate(generator.get(), pub, priv, source, nullptr);
  }
};

// The parameters are checked at Init (the generator's own refusals are
// tested with it); the keys and the random object at the generation.
TEST(RsaToolkit, KeyGenerationRefusals) {
  Fixture f;
  EXPECT_EQ(f.Generate(2049, f.random), 533);
  EXPECT_EQ(f.Generate(256, nullptr), 539);
  ASSERT_EQ(f.Generate(256, f.random), 0);
  EXPECT_EQ(f.Generate(256, f.random), 526) << "keys that already hold material";
}

TEST(RsaToolkit, PrivateKeyFormsAndMissingExponent) {
  ToolkitScope lock;
  const RsaKeyMaterial& m = testing::TestKey(512);
  testing::PrivateKeyParts parts(m);
  parts.bytes[0].insert(parts.bytes[0].begin(), {0, 0});  // leading zeros, which are dropped
  RsaPrivateKeyRecord record = parts.Record();
  struct Case {
    const char* why;
    const KeyInfoType* form;
    std::function<void(RsaPrivateKeyRecord&)> change;
    int status;
  } const kTests[] = {
      {"complete", KeyInfoRsaPrivate(), [](RsaPrivateKeyRecord&) {}, 0},
      {"the internal form cannot be set directly", KeyInfoRsaCrt(), [](RsaPrivateKeyRecord&) {}, 517},
      {"missing private exponent: computed from the others", KeyInfoRsaPrivate(),
       [](RsaPrivateKeyRecord& r) { r.privateExponent = ByteItem{nullptr, 0}; }, 0},
      {"missing public exponent as well: nothing to compute from", KeyInfoRsaPrivate(),
       [](RsaPrivateKeyRecord& r) { r.publicExponent = ByteItem{nullptr, 0}; }, 542},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    c.change(record);
    KeyObject* key = nullptr;
    ASSERT_EQ(KeyCreate(&key), 0);
    EXPECT_EQ(KeySetInfo(key, c.form, &record), c.status);
    if (c.status == 0) {
      const RsaPrivateKeyRecord& stored = PrivateRecord(key);
      EXPECT_EQ(stored.modulus.length, 64u);
      EXPECT_EQ(Number(stored.privateExponent), m.private_exponent);
      const void* first = nullptr;
      const void* second = nullptr;
      ASSERT_EQ(KeyGetInfo(&first, key, KeyInfoRsaPublic()), 0);
      ASSERT_EQ(KeyGetInfo(&second, key, KeyInfoRsaPublic()), 0);
      EXPECT_EQ(first, second) << "derived once, then cached";
      EXPECT_EQ(KeySetInfo(key, KeyInfoRsaPrivate(), &record), 526);
    }
    KeyDestroy(&key);
  }
}

// RSA cipher objects: private-key encrypt (type 1) undone by public-key
// decrypt, public-key encrypt (type 2) undone by private-key decrypt.
TEST(RsaToolkit, PkcsCipherObjects) {
  Fixture f;
  ASSERT_EQ(f.Generate(512, f.random), 0);
  const Bytes message = testing::TextBytes("hello");
  const struct {
    const AlgorithmInfoType* encrypt_type;
    KeyObject* encrypt_key;
    const AlgorithmInfoType* decrypt_type;
    KeyObject* decrypt_key;
  } kDirections[] = {{AlgInfoRsaPrivatePkcs(), f.priv, AlgInfoRsaPublicPkcs(), f.pub},
                     {AlgInfoRsaPublicPkcs(), f.pub, AlgInfoRsaPrivatePkcs(), f.priv}};
  for (const auto& d : kDirections) {
    SCOPED_TRACE(d.encrypt_type == AlgInfoRsaPrivatePkcs() ? "type 1" : "type 2");
    Bytes block(64);
    std::uint32_t n = 0;
    {
      ScopedAlgorithm enc;
      ASSERT_EQ(enc.Create(), 0);
      ASSERT_EQ(AlgSetInfo(enc.get(), d.encrypt_type, nullptr), 0);
      ASSERT_EQ(EncryptInit(enc.get(), d.encrypt_key, KeyRingMethods, nullptr), 0);
      ASSERT_EQ(EncryptUpdate(enc.get(), nullptr, &n, 0, message.data(), 5, f.random, nullptr), 0);
      EXPECT_EQ(n, 0u);
      const Bytes too_much(49, 1);  // 5 + 49 > k - 11
      EXPECT_EQ(EncryptUpdate(enc.get(), nullptr, &n, 0, too_much.data(), 49, f.random, nullptr), 525);
      EXPECT_EQ(EncryptFinal(enc.get(), block.data(), &n, 63, f.random, nullptr), 536);
      ASSERT_EQ(EncryptFinal(enc.get(), block.data(), &n, 64, f.random, nullptr), 0);
      EXPECT_EQ(n, 64u);
    }
    ScopedAlgorithm dec;
    ASSERT_EQ(dec.Create(), 0);
    ASSERT_EQ(AlgSetInfo(dec.get(), d.decrypt_type, nullptr), 0);
    ASSERT_EQ(DecryptInit(dec.get(), d.decrypt_key, KeyRingMethods, nullptr), 0);
    ASSERT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, block.data(), 60, nullptr, nullptr), 0);
    ASSERT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, block.data() + 60, 4, nullptr, nullptr), 0);
    EXPECT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, block.data(), 1, nullptr, nullptr), 525);
    Bytes out(5);
    std::uint32_t got = 0;
    ASSERT_EQ(DecryptFinal(dec.get(), out.data(), &got, 5, nullptr, nullptr), 0);
    EXPECT_EQ(out, message);
  }
  ScopedAlgorithm dec;  // an incomplete block at the final call
  ASSERT_EQ(dec.Create(), 0);
  ASSERT_EQ(AlgSetInfo(dec.get(), AlgInfoRsaPublicPkcs(), nullptr), 0);
  ASSERT_EQ(DecryptInit(dec.get(), f.pub, KeyRingMethods, nullptr), 0);
  std::uint32_t n = 0;
  Bytes out(64, 1);
  ASSERT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, out.data(), 63, nullptr, nullptr), 0);
  EXPECT_EQ(DecryptFinal(dec.get(), out.data(), &n, 64, nullptr, nullptr), 525);
}

}  // namespace
}  // namespace kcertadm
