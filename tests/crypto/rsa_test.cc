#include "crypto/rsa/rsa.h"
#include "crypto/bignum/montgomery_kernel.h"

#include <gtest/gtest.h>

#include <utility>

#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

class RsaOpsOnKernel : public ::testing::TestWithParam<RsaKernel> {
 protected:
  static constexpr std::uint32_t kSizes[] = {256,  257,  512,  1023, 1024, 1025,
                                             1089, 2048, 3072, 4096, 8192};
  // The keys are made once, on the fastest kernel.
  static void SetUpTestSuite() {
    for (std::uint32_t bits : kSizes) test_support::TestKey(bits);
  }
  void SetUp() override {
    if (!RsaKernelAvailable(GetParam()))
      GTEST_SKIP() << "this processor cannot run " << RsaKernelName(GetParam());
    SetRsaKernelForTesting(GetParam());
  }
  void TearDown() override { ResetRsaKernelForTesting(); }
};

// CRT against x^d mod n: odd sizes, primes of different lengths, a smaller first prime, up to 8192
// bits.
TEST_P(RsaOpsOnKernel, PrivateMatchesPlainExponentiationAndPublicInverts) {
  std::vector<std::pair<std::string, RsaKeyMaterial>> keys;
  for (std::uint32_t bits : kSizes)
    keys.emplace_back(std::to_string(bits), test_support::TestKey(bits));
  RsaKeyMaterial swapped = test_support::TestKey(1024);
  std::swap(swapped.prime1, swapped.prime2), std::swap(swapped.exponent1, swapped.exponent2);
  ASSERT_EQ(BigNum::ModInverse(swapped.prime2, swapped.prime1, &swapped.coefficient), kBigNumOk);
  keys.emplace_back("1024, smaller prime first", swapped);
  for (const auto& [name, key] : keys) {
    SCOPED_TRACE(name);
    RsaPrivateKeyOp priv;
    RsaPublicKeyOp pub;
    ASSERT_EQ(priv.Init(key) | pub.Init(key.modulus, key.public_exponent), 0);
    const std::size_t k = priv.ModulusBytes();
    ASSERT_EQ(k, (key.modulus.BitLength() + 7) / 8);
    test_support::Lcg lcg(k);
    for (int round = 0; round < 3; ++round) {
      Bytes x(k), y(k), back(k);
      if (round != 1) lcg.Fill(x.data() + 1, k - 1);  // below n; zero in round 1
      ASSERT_EQ(priv.Apply(x.data(), k, y.data(), k), 0);
      if (k <= 256) {  // the reference is slow; longer keys are held to the round trip
        EXPECT_EQ(BigNum::FromBytes(y.data(), k),
                  test_support::PlainModExp(BigNum::FromBytes(x.data(), k), key.private_exponent,
                                            key.modulus));
      }
      ASSERT_EQ(pub.Apply(y.data(), k, back.data(), k), 0);
      EXPECT_EQ(back, x);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, RsaOpsOnKernel,
                         ::testing::Values(RsaKernel::kPortable, RsaKernel::kAdx, RsaKernel::kIfma,
                                           RsaKernel::kInt128),
                         [](const auto& kernel) {
                           return std::string(RsaKernelName(kernel.param));
                         });

TEST(RsaOps, RefusesBadBlocksAndBuffers) {
  const RsaKeyMaterial& key = test_support::TestKey(512);
  RsaPrivateKeyOp priv;
  RsaPublicKeyOp pub;
  ASSERT_EQ(priv.Init(key) | pub.Init(key.modulus, key.public_exponent), 0);
  Bytes n(64), ff(64, 0xFF), x(65, 0), out(64);
  ASSERT_EQ(key.modulus.ToBytes(n.data(), 64), kBigNumOk);
  // The modulus and above: refused by the private side, reduced by the public.
  EXPECT_EQ(priv.Apply(n.data(), 64, out.data(), 64), kRsaBadData);
  EXPECT_EQ(priv.Apply(ff.data(), 64, out.data(), 64), kRsaBadData);
  EXPECT_EQ(pub.Apply(n.data(), 64, out.data(), 64), 0);
  EXPECT_EQ(out, Bytes(64, 0));
  EXPECT_EQ(priv.Apply(x.data(), 63, out.data(), 64), kRsaInputTooLong);
  EXPECT_EQ(priv.Apply(x.data(), 65, out.data(), 64), kRsaInputTooLong);
  EXPECT_EQ(pub.Apply(x.data(), 63, out.data(), 64), kRsaInputTooLong);
  EXPECT_EQ(priv.Apply(x.data(), 64, out.data(), 63), kRsaOutputTooSmall);
  EXPECT_EQ(pub.Apply(x.data(), 64, out.data(), 63), kRsaOutputTooSmall);
}

// Key loading reduces exponent1, exponent2 and coefficient itself: a key that stores d in place of
// both exponents and a coefficient above prime1 signs exactly like the reduced key.
TEST(RsaOps, ReducesUnreducedCrtValues) {
  const RsaKeyMaterial& key = test_support::TestKey(1024);
  RsaKeyMaterial loose = key;
  loose.exponent1 = key.private_exponent;
  // d + q^2 - 1 = d (mod q - 1), as q = 1 there.
  loose.exponent2 = BigNum::Add(key.private_exponent, BigNum::Mul(key.prime2, key.prime2));
  loose.exponent2.SubSmall(1);
  loose.coefficient = BigNum::Add(BigNum::Mul(key.prime1, BigNum(5)), key.coefficient);
  RsaPrivateKeyOp reduced, unreduced;
  ASSERT_EQ(reduced.Init(key) | unreduced.Init(loose), 0);
  const std::size_t k = reduced.ModulusBytes();
  Bytes x(k, 0x5a), expected(k), got(k);
  x[0] = 0;
  ASSERT_EQ(
      reduced.Apply(x.data(), k, expected.data(), k) | unreduced.Apply(x.data(), k, got.data(), k),
      0);
  EXPECT_EQ(got, expected);
}

TEST(RsaOps, RefusesUnusableKeys) {
  RsaKeyMaterial not_product = test_support::TestKey(512), even_prime = not_product,
                 too_big = not_product;
  not_product.modulus.AddSmall(2);
  even_prime.prime2 = BigNum(2);  // cannot carry Montgomery arithmetic
  even_prime.modulus = BigNum::Mul(even_prime.prime1, even_prime.prime2);
  too_big.modulus.SetBit(8192);
  auto init = [](const RsaKeyMaterial& key) { return RsaPrivateKeyOp().Init(key); };
  EXPECT_EQ(init(not_product), kRsaBadKeyForm);
  EXPECT_EQ(init(even_prime), kRsaBadKeyForm);
  EXPECT_EQ(init(too_big), kRsaBadModulusSize);
  // A public modulus of 8193 bits is refused, one of 8192 taken.
  RsaPublicKeyOp pub;
  EXPECT_EQ(
      pub.Init(test_support::BigNumFromHex("1" + std::string(2047, '0') + "1"), BigNum(65537)),
      kRsaBadModulusSize);
  EXPECT_EQ(
      pub.Init(test_support::BigNumFromHex("8" + std::string(2046, '0') + "1"), BigNum(65537)), 0);
}

}  // namespace
}  // namespace kcertadm
