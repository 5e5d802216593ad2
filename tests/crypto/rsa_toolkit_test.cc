// RSA through the toolkit calls: key forms, key-pair generation and the
// PKCS #1 cipher objects.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "crypto/random_shared.h"
#include "crypto/rsa_key_info.h"
#include "crypto/rsa_keygen_method.h"
#include "crypto/rsa_test_util.h"
#include "crypto/toolkit_scope.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;

ByteItem Item(const SecureBytes& b) { return ByteItem{b.data(), static_cast<std::uint32_t>(b.size())}; }

BigNum Number(const ByteItem& item) { return BigNum::FromBytes(item.data, item.length); }

// A random object seeded with fixed bytes: key generation from it is
// repeatable.
AlgorithmObject* FixedRandom(std::uint8_t seed_byte) {
  AlgorithmObject* random = nullptr;
  EXPECT_EQ(AlgCreate(&random), 0);
  EXPECT_EQ(AlgSetInfo(random, AlgInfoRandomMd5(), nullptr), 0);
  EXPECT_EQ(RandomInit(random, RandomMethods, nullptr), 0);
  const std::uint8_t seed[8] = {seed_byte, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(RandomSeed(random, seed, sizeof seed, nullptr), 0);
  return random;
}

// Generates through the toolkit; returns the status.
int Generate(std::uint32_t bits, AlgorithmObject* random, KeyObject** public_key, KeyObject** private_key,
             const Bytes& exponent = {1, 0, 1}) {
  ScopedAlgorithm generator;
  EXPECT_EQ(generator.Create(), 0);
  const RsaKeyGenParams params{bits, ByteItem{exponent.data(), static_cast<std::uint32_t>(exponent.size())}};
  EXPECT_EQ(AlgSetInfo(generator.get(), AlgInfoRsaKeyGen(), &params), 0);
  if (int status = KeyPairGenerateInit(generator.get(), KeyRingMethods, nullptr)) return status;
  EXPECT_EQ(KeyCreate(public_key), 0);
  EXPECT_EQ(KeyCreate(private_key), 0);
  return KeyPairGenerate(generator.get(), *public_key, *private_key, random, nullptr);
}

TEST(RsaToolkit, KeyGenerationFillsBothKeys) {
  ToolkitScope lock;
  AlgorithmObject* random = FixedRandom(1);
  KeyObject *pub = nullptr, *priv = nullptr;
  ASSERT_EQ(Generate(512, random, &pub, &priv), 0);
  const void* record = nullptr;
  ASSERT_EQ(KeyGetInfo(&record, priv, KeyInfoRsaPrivate()), 0);
  const auto& p = *static_cast<const RsaPrivateKeyRecord*>(record);
  // Stored without the leading zeros of the fixed-length strings.
  EXPECT_EQ(p.modulus.length, 64u);
  EXPECT_NE(p.modulus.data[0], 0);
  EXPECT_EQ(p.publicExponent.length, 3u);
  EXPECT_EQ(p.prime1.length, 32u);
  EXPECT_LT(Number(p.prime2), Number(p.prime1));
  ASSERT_EQ(KeyGetInfo(&record, pub, KeyInfoRsaPublic()), 0);
  const auto& q = *static_cast<const RsaPublicKeyRecord*>(record);
  EXPECT_EQ(Number(q.modulus), Number(p.modulus));
  EXPECT_EQ(Number(q.publicExponent), BigNum(65537));
  // The public key holds no private form.
  EXPECT_EQ(KeyGetInfo(&record, pub, KeyInfoRsaPrivate()), 542);

  // The same random input gives the same key.
  AlgorithmObject* again = FixedRandom(1);
  KeyObject *pub2 = nullptr, *priv2 = nullptr;
  ASSERT_EQ(Generate(512, again, &pub2, &priv2), 0);
  ASSERT_EQ(KeyGetInfo(&record, priv2, KeyInfoRsaPrivate()), 0);
  EXPECT_EQ(Number(static_cast<const RsaPrivateKeyRecord*>(record)->privateExponent),
            Number(p.privateExponent));
  for (KeyObject** k : {&pub, &priv, &pub2, &priv2}) KeyDestroy(k);
  AlgDestroy(&random);
  AlgDestroy(&again);
}

TEST(RsaToolkit, KeyGenerationRefusals) {
  ToolkitScope lock;
  AlgorithmObject* random = FixedRandom(2);
  struct Case {
    std::uint32_t bits;
    Bytes exponent;
    int expected;
    const char* why;
  } const kTests[] = {
      {255, {1, 0, 1}, 533, "below 256 bits"},
      {2049, {1, 0, 1}, 533, "above 2048 bits"},
      {256, Bytes(32, 0xFF), 522, "exponent as long as the modulus"},
      {256, {1, 0, 0}, 513, "even exponent"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    ScopedAlgorithm generator;
    ASSERT_EQ(generator.Create(), 0);
    const RsaKeyGenParams params{c.bits, ByteItem{c.exponent.data(), static_cast<std::uint32_t>(c.exponent.size())}};
    ASSERT_EQ(AlgSetInfo(generator.get(), AlgInfoRsaKeyGen(), &params), 0);
    EXPECT_EQ(KeyPairGenerateInit(generator.get(), KeyRingMethods, nullptr), c.expected);
  }
  // Key objects that already hold material, and a random object that was
  // never initialised.
  KeyObject *pub = nullptr, *priv = nullptr;
  ASSERT_EQ(Generate(256, random, &pub, &priv), 0);
  {
    ScopedAlgorithm generator;
    ASSERT_EQ(generator.Create(), 0);
    const std::uint8_t e[] = {1, 0, 1};
    const RsaKeyGenParams params{256, ByteItem{e, 3}};
    ASSERT_EQ(AlgSetInfo(generator.get(), AlgInfoRsaKeyGen(), &params), 0);
    ASSERT_EQ(KeyPairGenerateInit(generator.get(), KeyRingMethods, nullptr), 0);
    EXPECT_EQ(KeyPairGenerate(generator.get(), pub, priv, random, nullptr), 526);
    KeyObject *a = nullptr, *b = nullptr;
    KeyCreate(&a);
    KeyCreate(&b);
    AlgorithmObject* raw = nullptr;
    AlgCreate(&raw);
    AlgSetInfo(raw, AlgInfoRandomMd5(), nullptr);
    EXPECT_EQ(KeyPairGenerate(generator.get(), a, b, raw, nullptr), 538);
    EXPECT_EQ(KeyPairGenerate(generator.get(), a, b, nullptr, nullptr), 539);
    AlgDestroy(&raw);
    KeyDestroy(&a);
    KeyDestroy(&b);
  }
  KeyDestroy(&pub);
  KeyDestroy(&priv);
  AlgDestroy(&random);
}

TEST(RsaToolkit, PrivateKeyFormsAndMissingExponent) {
  ToolkitScope lock;
  const RsaKeyMaterial& m = testing::TestKey(512);
  SecureBytes parts[] = {m.modulus.ToBytes(),   m.public_exponent.ToBytes(), m.private_exponent.ToBytes(),
                         m.prime1.ToBytes(),    m.prime2.ToBytes(),          m.exponent1.ToBytes(),
                         m.exponent2.ToBytes(), m.coefficient.ToBytes()};
  // With leading zeros, which are dropped.
  parts[0].insert(parts[0].begin(), {0, 0});
  RsaPrivateKeyRecord record{Item(parts[0]), Item(parts[1]), Item(parts[2]), Item(parts[3]),
                             Item(parts[4]), Item(parts[5]), Item(parts[6]), Item(parts[7])};
  KeyObject* key = nullptr;
  ASSERT_EQ(KeyCreate(&key), 0);
  ASSERT_EQ(KeySetInfo(key, KeyInfoRsaPrivate(), &record), 0);
  const void* out = nullptr;
  ASSERT_EQ(KeyGetInfo(&out, key, KeyInfoRsaPrivate()), 0);
  EXPECT_EQ(static_cast<const RsaPrivateKeyRecord*>(out)->modulus.length, 64u);
  const void* first = nullptr;
  const void* second = nullptr;
  ASSERT_EQ(KeyGetInfo(&first, key, KeyInfoRsaPublic()), 0);
  ASSERT_EQ(KeyGetInfo(&second, key, KeyInfoRsaPublic()), 0);
  EXPECT_EQ(first, second);  // derived once, then cached
  EXPECT_EQ(KeySetInfo(key, KeyInfoRsaPrivate(), &record), 526);
  KeyDestroy(&key);

  // The internal form cannot be set directly.
  ASSERT_EQ(KeyCreate(&key), 0);
  EXPECT_EQ(KeySetInfo(key, KeyInfoRsaCrt(), &record), 517);
  KeyDestroy(&key);

  // Missing private exponent: computed from the others.
  record.privateExponent = ByteItem{nullptr, 0};
  ASSERT_EQ(KeyCreate(&key), 0);
  ASSERT_EQ(KeySetInfo(key, KeyInfoRsaPrivate(), &record), 0);
  ASSERT_EQ(KeyGetInfo(&out, key, KeyInfoRsaPrivate()), 0);
  BigNum d = Number(static_cast<const RsaPrivateKeyRecord*>(out)->privateExponent), r;
  BigNum p1 = m.prime1, q1 = m.prime2;
  p1.SubSmall(1);
  q1.SubSmall(1);
  BigNum::Mod(BigNum::Mul(d, m.public_exponent), BigNum::Mul(p1, q1), &r);
  EXPECT_TRUE(r.IsOne());
  KeyDestroy(&key);

  // Missing public exponent as well: nothing to compute from.
  record.publicExponent = ByteItem{nullptr, 0};
  ASSERT_EQ(KeyCreate(&key), 0);
  EXPECT_EQ(KeySetInfo(key, KeyInfoRsaPrivate(), &record), 542);
  KeyDestroy(&key);
}

// RSA cipher objects: private-key encrypt (type 1) undone by public-key
// decrypt, public-key encrypt (type 2) undone by private-key decrypt.
TEST(RsaToolkit, PkcsCipherObjects) {
  ToolkitScope lock;
  AlgorithmObject* random = FixedRandom(3);
  KeyObject *pub = nullptr, *priv = nullptr;
  ASSERT_EQ(Generate(512, random, &pub, &priv), 0);
  const Bytes message = {'h', 'e', 'l', 'l', 'o'};

  struct Direction {
    const AlgorithmInfoType* encrypt_type;
    KeyObject* encrypt_key;
    const AlgorithmInfoType* decrypt_type;
    KeyObject* decrypt_key;
  } const kDirections[] = {{AlgInfoRsaPrivatePkcs(), priv, AlgInfoRsaPublicPkcs(), pub},
                           {AlgInfoRsaPublicPkcs(), pub, AlgInfoRsaPrivatePkcs(), priv}};
  for (const Direction& d : kDirections) {
    SCOPED_TRACE(d.encrypt_type == AlgInfoRsaPrivatePkcs() ? "type 1" : "type 2");
    Bytes block(64);
    std::uint32_t n = 0;
    {
      ScopedAlgorithm enc;
      ASSERT_EQ(enc.Create(), 0);
      ASSERT_EQ(AlgSetInfo(enc.get(), d.encrypt_type, nullptr), 0);
      ASSERT_EQ(EncryptInit(enc.get(), d.encrypt_key, KeyRingMethods, nullptr), 0);
      ASSERT_EQ(EncryptUpdate(enc.get(), nullptr, &n, 0, message.data(), 5, random, nullptr), 0);
      EXPECT_EQ(n, 0u);
      const Bytes too_much(49, 1);  // 5 + 49 > k - 11
      EXPECT_EQ(EncryptUpdate(enc.get(), nullptr, &n, 0, too_much.data(), 49, random, nullptr), 525);
      EXPECT_EQ(EncryptFinal(enc.get(), block.data(), &n, 63, random, nullptr), 536);
      ASSERT_EQ(EncryptFinal(enc.get(), block.data(), &n, 64, random, nullptr), 0);
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
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(out, message);
  }
  // An incomplete block at the final call.
  ScopedAlgorithm dec;
  ASSERT_EQ(dec.Create(), 0);
  ASSERT_EQ(AlgSetInfo(dec.get(), AlgInfoRsaPublicPkcs(), nullptr), 0);
  ASSERT_EQ(DecryptInit(dec.get(), pub, KeyRingMethods, nullptr), 0);
  std::uint32_t n = 0;
  const Bytes part(63, 1);
  ASSERT_EQ(DecryptUpdate(dec.get(), nullptr, &n, 0, part.data(), 63, nullptr, nullptr), 0);
  Bytes out(64);
  EXPECT_EQ(DecryptFinal(dec.get(), out.data(), &n, 64, nullptr, nullptr), 525);
  KeyDestroy(&pub);
  KeyDestroy(&priv);
  AlgDestroy(&random);
}

TEST(RsaToolkit, SharedKeyPairCreation) {
  KeyObject* key = nullptr;
  ASSERT_EQ(GenerateRsaPrivateKey(512, &key), 0);
  ToolkitScope lock;
  const void* record = nullptr;
  ASSERT_EQ(KeyGetInfo(&record, key, KeyInfoRsaPublic()), 0);
  EXPECT_EQ(static_cast<const RsaPublicKeyRecord*>(record)->modulus.length * 8, 512u);
  KeyDestroy(&key);
}

}  // namespace
}  // namespace kcertadm
