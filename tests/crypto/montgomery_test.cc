#include "crypto/bignum/montgomery.h"

#include <gtest/gtest.h>

#include <random>

#include "crypto/bignum/montgomery_ifma.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// Operands that force carries through every limb: all ones, a single top
// bit, zero, random.
enum class Shape { kRandom, kAllOnes, kTopBit, kZero };

BigNum Operand(Shape shape, std::size_t bits, std::mt19937_64& rng) {
  BigNum x;
  for (std::size_t i = 0; i < bits; ++i) {
    const bool set = shape == Shape::kAllOnes || (shape == Shape::kTopBit && i + 1 == bits) ||
                     (shape == Shape::kRandom && (rng() & 1));
    if (set) x.SetBit(i);
  }
  return x;
}

// Odd moduli of `bits` bits: just below 2^bits (all ones), just above
// 2^(bits-1), and random.
std::vector<BigNum> Moduli(std::size_t bits, std::mt19937_64& rng) {
  BigNum below = Operand(Shape::kAllOnes, bits, rng), above = Operand(Shape::kTopBit, bits, rng),
         random = Operand(Shape::kRandom, bits, rng);
  above.SetBit(0);
  random.SetBit(bits - 1);
  random.SetBit(0);
  return {below, above, random};
}

class KernelTest : public ::testing::TestWithParam<RsaKernel> {
 protected:
  void SetUp() override {
    if (GetParam() == RsaKernel::kInt128 && !RsaKernelAvailable(GetParam()))
      GTEST_SKIP() << "int128 is this processor's portable kernel, tested as portable";
    if (!RsaKernelAvailable(GetParam()))
      GTEST_SKIP() << "this processor cannot run " << RsaKernelName(GetParam());
  }
};

// The 64-bit products, every limb count: r R = a b (mod n), with R = 2^(64 limbs), for operands
// below n and for a first operand of any value below R.
TEST_P(KernelTest, ProductsMatchReference) {
  if (GetParam() == RsaKernel::kIfma)
    GTEST_SKIP() << "IFMA works in the exponentiations only (next test)";
  std::mt19937_64 rng(17);
  for (std::size_t limbs = 1; limbs <= kMaxMontLimbs; ++limbs) {
    for (const BigNum& n : Moduli(64 * limbs - (limbs % 3 == 0 ? 5 : 0), rng)) {
      MontgomeryContext mont;
      ASSERT_EQ(mont.Init(n, GetParam()), 0);
      BigNum r_mod;
      BigNum r_power;
      r_power.SetBit(64 * limbs);
      for (Shape sa : {Shape::kRandom, Shape::kAllOnes, Shape::kZero}) {
        for (Shape sb : {Shape::kRandom, Shape::kAllOnes, Shape::kTopBit}) {
          SCOPED_TRACE(::testing::Message()
                       << limbs << " limbs, shapes " << int(sa) << "," << int(sb) << ", n "
                       << test_support::ToHex(n).substr(0, 20));
          const BigNum a = Operand(sa, 64 * limbs, rng);  // up to R - 1
          BigNum b;
          ASSERT_TRUE(BigNum::Mod(Operand(sb, 64 * limbs, rng), n, &b).ok());
          LimbVector al(limbs), bl(limbs), r(limbs);
          a.CopyLimbs(al.data(), limbs);
          b.CopyLimbs(bl.data(), limbs);
          BigNum expected, got;
          ASSERT_TRUE(BigNum::Mod(BigNum::Mul(a, b), n, &expected).ok());
          mont.Mul(r.data(), al.data(), bl.data());
          ASSERT_TRUE(
              BigNum::Mod(BigNum::Mul(BigNum::FromLimbs(r.data(), limbs), r_power), n, &got).ok());
          EXPECT_EQ(got, expected) << "mul";
          EXPECT_LT(BigNum::FromLimbs(r.data(), limbs), n) << "fully reduced";
          mont.Sqr(r.data(), bl.data());
          ASSERT_TRUE(BigNum::Mod(BigNum::Mul(b, b), n, &expected).ok());
          ASSERT_TRUE(
              BigNum::Mod(BigNum::Mul(BigNum::FromLimbs(r.data(), limbs), r_power), n, &got).ok());
          EXPECT_EQ(got, expected) << "sqr";
        }
      }
    }
  }
}

// The largest operands, whose limbs are all or nearly all ones, keep both
// carry chains of every row busy up to the limb carried out: squares and
// products of n - 1 and n - 2, and of R - 1 by n - 1, for n = 2^k - 1 and
// n = 2^k - 3 at every limb count.
TEST_P(KernelTest, LargestOperandsCarryThroughEveryRow) {
  if (GetParam() == RsaKernel::kIfma) GTEST_SKIP() << "IFMA works in the exponentiations only";
  std::mt19937_64 rng(29);
  for (std::size_t limbs = 1; limbs <= kMaxMontLimbs; ++limbs) {
    const BigNum all_ones = Operand(Shape::kAllOnes, 64 * limbs, rng);
    for (const BigNum& n : {all_ones, BigNum::Sub(all_ones, BigNum(2))}) {
      MontgomeryContext mont;
      ASSERT_EQ(mont.Init(n, GetParam()), 0);
      BigNum r_power;
      r_power.SetBit(64 * limbs);
      const BigNum n1 = BigNum::Sub(n, BigNum(1)), n2 = BigNum::Sub(n, BigNum(2));
      const struct {
        const char* what;
        BigNum a, b;
      } kCases[] = {{"(n-1)(n-1)", n1, n1}, {"(n-2)(n-1)", n2, n1}, {"(R-1)(n-1)", all_ones, n1}};
      for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << limbs << " limbs, " << c.what << ", n "
                                          << test_support::ToHex(n).substr(0, 20));
        LimbVector al(limbs), bl(limbs), r(limbs);
        c.a.CopyLimbs(al.data(), limbs);
        c.b.CopyLimbs(bl.data(), limbs);
        BigNum expected, got;
        ASSERT_TRUE(BigNum::Mod(BigNum::Mul(c.a, c.b), n, &expected).ok());
        mont.Mul(r.data(), al.data(), bl.data());
        ASSERT_TRUE(
            BigNum::Mod(BigNum::Mul(BigNum::FromLimbs(r.data(), limbs), r_power), n, &got).ok());
        EXPECT_EQ(got, expected) << "mul";
        EXPECT_LT(BigNum::FromLimbs(r.data(), limbs), n) << "fully reduced";
        if (c.a < n) {
          mont.Sqr(r.data(), al.data());
          ASSERT_TRUE(BigNum::Mod(BigNum::Mul(c.a, c.a), n, &expected).ok());
          ASSERT_TRUE(
              BigNum::Mod(BigNum::Mul(BigNum::FromLimbs(r.data(), limbs), r_power), n, &got).ok());
          EXPECT_EQ(got, expected) << "sqr";
        }
      }
    }
  }
}

// Every exponentiation on the kernel, every size from one limb to 8192 bits, against square and
// multiply over BigNum: the constant-time one alone and in pairs (equal and unequal sizes), and the
// public one.
TEST_P(KernelTest, ExponentiationsMatchReference) {
  std::mt19937_64 rng(23);
  for (std::size_t bits = 62; bits <= 64 * kMaxMontLimbs; bits += bits < 1100 ? 31 : 467) {
    const std::vector<BigNum> moduli = Moduli(bits, rng);
    for (std::size_t i = 0; i < moduli.size(); ++i) {
      const BigNum& n = moduli[i];
      const BigNum& other = moduli[(i + 1) % moduli.size()];
      const BigNum shorter = Moduli(bits - 53, rng)[i];
      SCOPED_TRACE(::testing::Message()
                   << bits << " bits, n " << test_support::ToHex(n).substr(0, 20));
      MontgomeryContext mont, mont_other, mont_shorter;
      ASSERT_EQ(mont.Init(n, GetParam()) | mont_other.Init(other, GetParam()) |
                    mont_shorter.Init(shorter, GetParam()),
                0);
      ASSERT_EQ(mont.kernel(), GetParam());
      const std::size_t limbs = mont.size();
      BigNum x, y, z;
      ASSERT_TRUE(BigNum::Mod(Operand(Shape::kRandom, bits, rng), n, &x).ok());
      ASSERT_TRUE(BigNum::Mod(Operand(Shape::kAllOnes, bits, rng), other, &y).ok());
      ASSERT_TRUE(BigNum::Mod(Operand(Shape::kAllOnes, bits, rng), shorter, &z).ok());
      // Exponents of a few windows: all ones, and random with its top bit set.
      const BigNum e1 = Operand(Shape::kAllOnes, 23, rng);
      BigNum e2 = Operand(Shape::kRandom, 31, rng);
      e2.SetBit(30);
      LimbVector xl(limbs), yl(limbs), zl(mont_shorter.size()), el1(1), el2(1), r1(limbs),
          r2(limbs), r3(mont_shorter.size());
      x.CopyLimbs(xl.data(), limbs);
      y.CopyLimbs(yl.data(), limbs);
      z.CopyLimbs(zl.data(), zl.size());
      e1.CopyLimbs(el1.data(), 1);
      e2.CopyLimbs(el2.data(), 1);
      const BigNum expected_x = test_support::PlainModExp(x, e1, n);
      mont.ExpConstTime(r1.data(), xl.data(), el1.data(), 23);
      EXPECT_EQ(BigNum::FromLimbs(r1.data(), limbs), expected_x) << "constant time";
      EXPECT_EQ(mont.Exp(x, e1), expected_x) << "variable time";
      EXPECT_EQ(mont.Exp(BigNum::Add(x, BigNum::Mul(n, n)), e1), expected_x)
          << "base above the modulus";
      MontgomeryContext::ExpConstTimePair(mont, r1.data(), xl.data(), el1.data(), mont_other,
                                          r2.data(), yl.data(), el2.data(), 31);
      EXPECT_EQ(BigNum::FromLimbs(r1.data(), limbs), expected_x) << "pair, first";
      EXPECT_EQ(BigNum::FromLimbs(r2.data(), limbs), test_support::PlainModExp(y, e2, other))
          << "pair, second";
      MontgomeryContext::ExpConstTimePair(mont, r1.data(), xl.data(), el2.data(), mont_shorter,
                                          r3.data(), zl.data(), el1.data(), 31);
      EXPECT_EQ(BigNum::FromLimbs(r1.data(), limbs), test_support::PlainModExp(x, e2, n))
          << "unequal pair, first";
      EXPECT_EQ(BigNum::FromLimbs(r3.data(), r3.size()), test_support::PlainModExp(z, e1, shorter))
          << "unequal pair, second";
    }
  }
}

// Exponent zero gives one, an exponent of zero bits too; base zero gives zero.
TEST_P(KernelTest, ExponentiationEdges) {
  std::mt19937_64 rng(5);
  const BigNum n = Moduli(1000, rng)[2];
  MontgomeryContext mont;
  ASSERT_EQ(mont.Init(n, GetParam()), 0);
  const std::size_t limbs = mont.size();
  LimbVector x(limbs, 0), e(1, 0), r(limbs);
  x[0] = 12345;
  mont.ExpConstTime(r.data(), x.data(), e.data(), 0);
  EXPECT_EQ(BigNum::FromLimbs(r.data(), limbs), BigNum(1));
  mont.ExpConstTime(r.data(), x.data(), e.data(), 64);
  EXPECT_EQ(BigNum::FromLimbs(r.data(), limbs), BigNum(1));
  EXPECT_EQ(mont.Exp(BigNum(12345), BigNum()), BigNum(1));
  e[0] = 65537;
  std::fill(x.begin(), x.end(), 0);
  mont.ExpConstTime(r.data(), x.data(), e.data(), 17);
  EXPECT_TRUE(BigNum::FromLimbs(r.data(), limbs).IsZero());
}

// Reduction of a double-length value and modular subtraction, which wraps.
TEST(Montgomery, ReduceAndSubtract) {
  std::mt19937_64 rng(9);
  for (std::size_t bits : {64u, 65u, 1000u, 1024u, 4096u}) {
    SCOPED_TRACE(bits);
    const BigNum n = Moduli(bits, rng)[2];
    MontgomeryContext mont;
    ASSERT_EQ(mont.Init(n), 0);
    const std::size_t limbs = mont.size();
    const BigNum x = Operand(Shape::kAllOnes, 128 * limbs + 64, rng);
    LimbVector xl(2 * limbs + 1), r(limbs), a(limbs), b(limbs);
    x.CopyLimbs(xl.data(), xl.size());
    mont.Reduce(r.data(), xl.data(), xl.size());
    BigNum expected;
    ASSERT_TRUE(BigNum::Mod(x, n, &expected).ok());
    EXPECT_EQ(BigNum::FromLimbs(r.data(), limbs), expected);
    a[0] = 1;
    b[0] = 2;
    mont.SubMod(r.data(), a.data(), b.data());
    EXPECT_EQ(BigNum::FromLimbs(r.data(), limbs), BigNum::Sub(n, BigNum(1)));
  }
}

// The inverse modulo a power of two at limb counts just below, at and just
// above a power of two (where the Newton steps stop), for all-ones and
// random odd values: a r = 1 over every limb.
TEST(Montgomery, InverseModLimbPower) {
  std::mt19937_64 rng(11);
  for (std::size_t limbs : {1u, 2u, 3u, 4u, 5u, 8u, 9u, 17u, 33u}) {
    for (Shape shape : {Shape::kAllOnes, Shape::kRandom}) {
      SCOPED_TRACE(testing::Message() << limbs << " limbs, shape " << static_cast<int>(shape));
      BigNum a = Operand(shape, 64 * limbs, rng);
      a.SetBit(0);
      LimbVector al(limbs), r(limbs), product(2 * limbs);
      a.CopyLimbs(al.data(), limbs);
      LimbsInverseModLimbPower(r.data(), al.data(), limbs);
      LimbsMul(product.data(), al.data(), limbs, r.data(), limbs);
      product.resize(limbs);
      EXPECT_TRUE(BigNum::FromLimbs(product.data(), limbs).IsOne());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelTest,
                         ::testing::Values(RsaKernel::kPortable, RsaKernel::kAdx, RsaKernel::kIfma,
                                           RsaKernel::kInt128),
                         [](const auto& kernel) {
                           return std::string(RsaKernelName(kernel.param));
                         });

}  // namespace
}  // namespace kcertadm
