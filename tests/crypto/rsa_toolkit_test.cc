#include <gtest/gtest.h>

#include "crypto/rsa/rsa_keygen_method.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

TEST(RsaToolkit, PrivateKeyFormsAndMissingExponent) {
  ToolkitLockHeld lock;
  const RsaKeyMaterial& m = test_support::TestKey(512);
  RsaPrivateNumbers numbers = NumbersOf(m);
  numbers.modulus.insert(numbers.modulus.begin(), {0, 0});  // leading zeros, which are dropped
  RsaPrivateKeyRecord record = RecordOf(numbers);
  OwnedKey key;
  auto set = [&](const KeyInfoType* form) {
    if (int status = key.Create(lock).code()) return status;
    return KeySetInfo(lock, key.get(), form, &record).code();
  };
  EXPECT_EQ(set(KeyInfoRsaCrt()), 517) << "the internal form cannot be set directly";
  // The secret values computed from the others (complete records: every other test).
  for (ByteItem* part :
       {&record.privateExponent, &record.exponent1, &record.exponent2, &record.coefficient})
    *part = ByteItem{nullptr, 0};
  ASSERT_EQ(set(KeyInfoRsaPrivate()), 0);
  const void* stored = nullptr;
  ASSERT_EQ(KeyGetInfo(lock, &stored, key.get(), KeyInfoRsaPrivate()), 0);
  const auto& r = *static_cast<const RsaPrivateKeyRecord*>(stored);
  EXPECT_EQ(r.modulus.length, 64u);
  auto number = [](const ByteItem& item) { return BigNum::FromBytes(item.data, item.length); };
  EXPECT_EQ(number(r.privateExponent), m.private_exponent);
  EXPECT_EQ(number(r.exponent1), m.exponent1);
  EXPECT_EQ(number(r.exponent2), m.exponent2);
  EXPECT_EQ(number(r.coefficient), m.coefficient);
  // The public exponent computed from the private one (d mod phi).
  const SecureBytes d = m.private_exponent.ToBytes();
  record.privateExponent = ByteItem{d.data(), static_cast<std::uint32_t>(d.size())};
  record.publicExponent = ByteItem{nullptr, 0};
  ASSERT_EQ(set(KeyInfoRsaPrivate()), 0);
  ASSERT_EQ(KeyGetInfo(lock, &stored, key.get(), KeyInfoRsaPrivate()), 0);
  EXPECT_EQ(number(static_cast<const RsaPrivateKeyRecord*>(stored)->publicExponent), BigNum(65537));
  record.privateExponent = ByteItem{nullptr, 0};
  EXPECT_EQ(set(KeyInfoRsaPrivate()), 542) << "nothing to compute the private exponent from";
}

// An RSA cipher object over the key, ready to encrypt or decrypt.
struct RsaObject : OwnedAlgorithm {
  RsaObject(const ToolkitLockHeld& lock, const AlgorithmInfoType* type, KeyObject* key,
            bool encrypt) {
    const auto init = encrypt ? EncryptInit : DecryptInit;
    EXPECT_EQ(Create(lock), 0);
    EXPECT_EQ(AlgSetInfo(lock, get(), type, nullptr), 0);
    EXPECT_EQ(init(lock, get(), key, KeyRingMethods, nullptr), 0);
  }
};

// Generation refusals; type 1 (private encrypt) and type 2 (public encrypt) block buffering.
TEST(RsaToolkit, KeyGenerationAndPkcsCipherObjects) {
  ToolkitLockHeld lock;
  OwnedAlgorithm random;
  OwnedKey pub_key, priv_key;
  const std::uint8_t seed[8] = {1, 1, 2, 3, 4, 5, 6, 7};
  ASSERT_EQ(random.Create(lock), 0);
  ASSERT_EQ(AlgSetInfo(lock, random.get(), AlgInfoRandomMd5(), nullptr), 0);
  ASSERT_EQ(RandomInit(lock, random.get(), RandomMethods, nullptr), 0);
  ASSERT_EQ(RandomSeed(lock, random.get(), seed, 8, 0), 0);
  ASSERT_EQ(pub_key.Create(lock), 0);
  ASSERT_EQ(priv_key.Create(lock), 0);
  auto generate = [&](std::uint32_t bits, AlgorithmObject* source) {
    OwnedAlgorithm generator;
    const Bytes e = {1, 0, 1};
    const RsaKeyGenParams params{bits, ByteItem{e.data(), 3}};
    EXPECT_EQ(generator.Create(lock), 0);
    EXPECT_EQ(AlgSetInfo(lock, generator.get(), AlgInfoRsaKeyGen(), &params), 0);
    if (int status = KeyPairGenerateInit(lock, generator.get(), KeyRingMethods, nullptr).code())
      return status;
    return KeyPairGenerate(lock, generator.get(), pub_key.get(), priv_key.get(), source, nullptr)
        .code();
  };
  EXPECT_EQ(generate(8193, random.get()), 533) << "refused at Init";
  EXPECT_EQ(generate(512, nullptr), 539);
  ASSERT_EQ(generate(512, random.get()), 0);
  EXPECT_EQ(generate(512, random.get()), 526) << "keys that already hold material";
  const Bytes message = test_support::TextBytes("hello");
  const AlgorithmInfoType *const priv = AlgInfoRsaPrivatePkcs(), *const pub =
                                                                     AlgInfoRsaPublicPkcs();
  for (bool type1 : {true, false}) {
    SCOPED_TRACE(type1 ? "type 1" : "type 2");
    Bytes block(64), out(5);
    std::uint32_t n = 0;
    RsaObject enc(lock, type1 ? priv : pub, type1 ? priv_key.get() : pub_key.get(), true);
    ASSERT_EQ(
        EncryptUpdate(lock, enc.get(), nullptr, &n, 0, message.data(), 5, random.get(), nullptr),
        0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(EncryptFinal(lock, enc.get(), block.data(), &n, 63, random.get(), nullptr), 536);
    ASSERT_EQ(EncryptFinal(lock, enc.get(), block.data(), &n, 64, random.get(), nullptr), 0);
    EXPECT_EQ(n, 64u);
    RsaObject dec(lock, type1 ? pub : priv, type1 ? pub_key.get() : priv_key.get(), false);
    ASSERT_EQ(DecryptUpdate(lock, dec.get(), nullptr, &n, 0, block.data(), 60, nullptr, nullptr),
              0);
    ASSERT_EQ(
        DecryptUpdate(lock, dec.get(), nullptr, &n, 0, block.data() + 60, 4, nullptr, nullptr), 0);
    EXPECT_EQ(DecryptUpdate(lock, dec.get(), nullptr, &n, 0, block.data(), 1, nullptr, nullptr),
              525)
        << "a second block";
    ASSERT_EQ(DecryptFinal(lock, dec.get(), out.data(), &n, 5, nullptr, nullptr), 0);
    EXPECT_EQ(out, message);
    RsaObject cut(lock, type1 ? pub : priv, type1 ? pub_key.get() : priv_key.get(), false);
    ASSERT_EQ(DecryptUpdate(lock, cut.get(), nullptr, &n, 0, block.data(), 63, nullptr, nullptr),
              0);
    EXPECT_EQ(DecryptFinal(lock, cut.get(), out.data(), &n, 5, nullptr, nullptr), 525)
        << "an incomplete block";
  }
}

}  // namespace
}  // namespace kcertadm
