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
      EXPECT_EQ(KeySetInfo(key, KeyInfoRsaPrivate(), &record), 526);
    }
    KeyDestroy(&key);
  }
}

// An RSA cipher object of the given type over the key, ready to encrypt or
// decrypt.
struct RsaObject : ScopedAlgorithm {
  RsaObject(const AlgorithmInfoType* type, KeyObject* key, bool encrypt) {
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(AlgSetInfo(get(), type, nullptr), 0);
    EXPECT_EQ(encrypt ? EncryptInit(get(), key, KeyRingMethods, nullptr) : DecryptInit(get(), key, KeyRingMethods, nullptr),
              0);
  }
};

// RSA cipher objects: private-key encrypt (type 1) undone by public-key
// decrypt, public-key encrypt (type 2) undone by private-key decrypt. The
// padding limits are the PKCS #1 tests' own; here the block buffering.
TEST(RsaToolkit, PkcsCipherObjects) {
  Fixture f;
  ASSERT_EQ(f.Generate(512, f.random), 0);
  const Bytes message = testing::TextBytes("hello");
  const AlgorithmInfoType* const priv = AlgInfoRsaPrivatePkcs();
  const AlgorithmInfoType* const pub = AlgInfoRsaPublicPkcs();
  for (bool type1 : {true, false}) {
    SCOPED_TRACE(type1 ? "type 1" : "type 2");
    Bytes block(64), out(5);
    std::uint32_t n = 0;
    RsaObject enc(type1 ? priv : pub, type1 ? f.priv : f.pub, true);
    ASSERT_EQ(EncryptUpdate(enc.get(), nullptr, &n, 0, message.data(), 5, f.random, nullptr), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(EncryptFinal(enc.get(), block.data(), &n, 63, f.random, nullptr), 536);
    ASSERT_EQ(EncryptFinal(enc.get(), block.data(), &n, 64, f.random, nullptr), 0);
    EXPECT_EQ(n, 64u);
    RsaObject dec(type1 ? pub : priv, type1 ? f.pub : f.priv, false);
    ASSERT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, block.data(), 60, nullptr, nullptr), 0);
    ASSERT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, block.data() + 60, 4, nullptr, nullptr), 0);
    EXPECT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, block.data(), 1, nullptr, nullptr), 525);
    ASSERT_EQ(DecryptFinal(dec.get(), out.data(), &n, 5, nullptr, nullptr), 0);
    EXPECT_EQ(out, message);
  }
  RsaObject dec(pub, f.pub, false);  // an incomplete block at the final call
  std::uint32_t n = 0;
  Bytes out(64, 1);
  ASSERT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, out.data(), 63, nullptr, nullptr), 0);
  EXPECT_EQ(DecryptFinal(dec.get(), out.data(), &n, 64, nullptr, nullptr), 525);
}

}  // namespace
}  // namespace kcertadm
