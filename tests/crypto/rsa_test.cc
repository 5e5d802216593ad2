#include "crypto/rsa.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::Lcg;
using testing::TestKey;

std::vector<std::uint8_t> RandomBlockBelow(const BigNum& n, Lcg& lcg) {
  std::vector<std::uint8_t> block(n.ByteLength());
  lcg.Fill(block.data(), block.size());
  block[0] = 0;  // below n
  return block;
}

// The CRT operation against plain x^d mod n, and the public operation
// undoing it, for even and odd key sizes (odd sizes give primes of
// different limb counts at 1025 and 1089 bits) and for key material from
// elsewhere that lists the smaller prime first. Both with the vector
// instructions (where the processor has them) and with the portable
// Montgomery code.
TEST(RsaOps, PrivateMatchesPlainExponentiationAndPublicInverts) {
  std::vector<std::pair<std::string, RsaKeyMaterial>> keys;
  for (std::uint32_t bits : {256u, 257u, 512u, 1023u, 1025u, 1089u, 2048u})
    keys.emplace_back(std::to_string(bits), TestKey(bits));
  RsaKeyMaterial swapped = TestKey(1024);
  std::swap(swapped.prime1, swapped.prime2);
  std::swap(swapped.exponent1, swapped.exponent2);
  ASSERT_EQ(BigNum::ModInverse(swapped.prime2, swapped.prime1, &swapped.coefficient), 0);
  keys.emplace_back("1024, smaller prime first", swapped);
  for (bool portable : {false, true})
  for (const auto& [name, key] : keys) {
    SCOPED_TRACE(name);
    SCOPED_TRACE(portable ? "portable" : "vector where available");
    SetIfmaDisabledForTesting(portable);
    RsaPrivateKeyOp priv;
    RsaPublicKeyOp pub;
    ASSERT_EQ(priv.Init(key), 0);
    ASSERT_EQ(pub.Init(key.modulus, key.public_exponent), 0);
    const std::size_t k = priv.ModulusBytes();
    ASSERT_EQ(k, (key.modulus.BitLength() + 7) / 8);
    Lcg lcg(k);
    for (int round = 0; round < 3; ++round) {
      std::vector<std::uint8_t> x = RandomBlockBelow(key.modulus, lcg), y(k), back(k);
      if (round == 1) std::fill(x.begin(), x.end(), 0);  // zero maps to zero
      ASSERT_EQ(priv.Apply(x.data(), k, y.data(), k), 0);
      BigNum expected;
      ASSERT_EQ(BigNum::ModExp(BigNum::FromBytes(x.data(), k), key.private_exponent, key.modulus, &expected), 0);
      EXPECT_EQ(BigNum::FromBytes(y.data(), k), expected);
      ASSERT_EQ(pub.Apply(y.data(), k, back.data(), k), 0);
      EXPECT_EQ(back, x);
    }
  }
  SetIfmaDisabledForTesting(false);
}

TEST(RsaOps, RefusesBadBlocksAndBuffers) {
  const RsaKeyMaterial& key = TestKey(512);
  RsaPrivateKeyOp priv;
  RsaPublicKeyOp pub;
  ASSERT_EQ(priv.Init(key), 0);
  ASSERT_EQ(pub.Init(key.modulus, key.public_exponent), 0);
  std::vector<std::uint8_t> n(64), out(64);
  key.modulus.ToBytes(n.data(), 64);

  // The modulus itself and anything above it: refused by the private side,
  // reduced by the public side.
  EXPECT_EQ(priv.Apply(n.data(), 64, out.data(), 64), kRsaBadData);
  std::vector<std::uint8_t> ff(64, 0xFF);
  EXPECT_EQ(priv.Apply(ff.data(), 64, out.data(), 64), kRsaBadData);
  EXPECT_EQ(pub.Apply(n.data(), 64, out.data(), 64), 0);
  EXPECT_EQ(out, std::vector<std::uint8_t>(64, 0));

  std::vector<std::uint8_t> x(65, 0);
  EXPECT_EQ(priv.Apply(x.data(), 63, out.data(), 64), kRsaInputTooLong);
  EXPECT_EQ(priv.Apply(x.data(), 65, out.data(), 64), kRsaInputTooLong);
  EXPECT_EQ(pub.Apply(x.data(), 63, out.data(), 64), kRsaInputTooLong);
  EXPECT_EQ(priv.Apply(x.data(), 64, out.data(), 63), kRsaOutputTooSmall);
  EXPECT_EQ(pub.Apply(x.data(), 64, out.data(), 63), kRsaOutputTooSmall);
}

TEST(RsaOps, RefusesUnusableKeys) {
  const RsaKeyMaterial& good = TestKey(512);
  struct Case {
    const char* why;
    void (*spoil)(RsaKeyMaterial*);
    int expected;
  } const kTests[] = {
      {"modulus is not prime1 * prime2",
       [](RsaKeyMaterial* k) { k->modulus.AddSmall(2); }, kRsaBadKeyForm},
      {"even prime cannot carry Montgomery arithmetic",
       [](RsaKeyMaterial* k) {
         k->prime2 = BigNum(2);
         k->modulus = BigNum::Mul(k->prime1, k->prime2);
       },
       kRsaBadKeyForm},
      {"modulus above 2048 bits",
       [](RsaKeyMaterial* k) { k->modulus.SetBit(2048); }, kRsaBadModulusSize},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    RsaKeyMaterial key = good;
    c.spoil(&key);
    RsaPrivateKeyOp priv;
    EXPECT_EQ(priv.Init(key), c.expected);
  }
  BigNum big;
  big.SetBit(2048);
  big.SetBit(0);
  RsaPublicKeyOp pub;
  EXPECT_EQ(pub.Init(big, BigNum(65537)), kRsaBadModulusSize);
  big.ClearBit(2048);
  big.SetBit(2047);
  EXPECT_EQ(pub.Init(big, BigNum(65537)), 0);
}

}  // namespace
}  // namespace kcertadm
