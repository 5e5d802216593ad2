#include "crypto/bignum/bignum.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "crypto/bignum/bignum_ct.h"
#include "crypto/bignum/montgomery.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using test_support::ToHex;

// Python's results (bignum/make_vectors.py) for carry, borrow and quotient-correction cases; sums
// that need a limb more than their operands.
TEST(BigNum, MatchesReferenceVectors) {
  const auto rows = test_support::ReadVectorFile("bignum/vectors.txt");
  ASSERT_GT(rows.size(), 740u);
  for (const auto& row : rows) {
    const std::string& op = row[0];
    SCOPED_TRACE(op + " " + row[1].substr(0, 40) + " " + row[2].substr(0, 40));
    const BigNum x = test_support::BigNumFromHex(row[1]), y = test_support::BigNumFromHex(row[2]);
    BigNum q, r;
    std::string got;
    if (op == "mul") got = ToHex(BigNum::Mul(x, y));
    if (op == "add") got = ToHex(BigNum::Add(x, y));
    if (op == "sub") got = ToHex(BigNum::Sub(x, y));
    if (op == "gcd") got = ToHex(BigNum::Gcd(x, y));
    if (op == "divmod")
      got = BigNum::DivMod(x, y, &q, &r).ok() ? ToHex(q) + ":" + ToHex(r) : "error";
    if (op == "inv") {
      const BigNumStatus status = BigNum::ModInverse(x, y, &r);
      got = status.ok() ? ToHex(r) : status == kBigNumNoInverse ? "none" : "error";
    }
    if (op == "exp")
      got = BigNum::ModExp(x, y, test_support::BigNumFromHex(row[3]), &r).ok() ? ToHex(r) : "error";
    EXPECT_EQ(got, row[4]);
  }
}

// The vectors cover the conversions; here the fixed-size output, refused rather than truncated.
TEST(BigNum, ToBytesPadsOrRefuses) {
  const std::uint8_t bytes[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const BigNum x = BigNum::FromBytes(bytes, sizeof bytes), zero = BigNum::FromBytes(bytes, 2);
  std::vector<std::uint8_t> out(12);
  ASSERT_EQ(x.ToBytes(out.data(), 12), kBigNumOk);
  EXPECT_EQ(ToHex(out), "000000010203040506070809");
  EXPECT_EQ(x.ToBytes(out.data(), 8), kBigNumOutputTooSmall);
  EXPECT_EQ(x.ToBytes(out.data(), 9), kBigNumOk);
  EXPECT_TRUE(zero.IsZero() && zero.ToBytes(out.data(), 0).ok());
}

TEST(BigNum, RefusesBadArguments) {
  BigNum r, huge;
  EXPECT_EQ(BigNum::DivMod(BigNum(5), BigNum(), nullptr, &r), kBigNumBadArgument);
  EXPECT_EQ(BigNum::ModInverse(BigNum(5), BigNum(1), &r), kBigNumBadArgument);
  EXPECT_EQ(BigNum::ModExp(BigNum(5), BigNum(3), BigNum(10), &r), kBigNumBadArgument);
  huge.SetBit(64 * kMaxMontLimbs);  // one bit above the largest modulus
  huge.SetBit(0);
  EXPECT_EQ(BigNum::ModExp(BigNum(5), BigNum(3), huge, &r), kBigNumTooLarge);
}

// The constant-time inverses of key generation against Euclid: moduli of all ones and of a lone top
// bit run the borrows and the halving through every limb; even moduli for the public-exponent form.
TEST(BigNum, ConstantTimeInversesMatchEuclid) {
  const struct {
    const char* x;
    const char* m;
    const char* why;
  } kTests[] = {
      {"2", "3", "smallest modulus"},
      {"10001", "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
       "modulus of all ones"},
      {"fffffffffffffffffffffffffffffffe", "1000000000000000000000000000000000000000000000001",
       "top bit alone"},
      {"123456789abcdef", "fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffb",
       "value of one limb"},
      {"0", "65", "zero has no inverse"},
      {"f", "2d", "common factor 3"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    const BigNum x = test_support::BigNumFromHex(c.x), m = test_support::BigNumFromHex(c.m);
    BigNum expected, got;
    const BigNumStatus status = BigNum::ModInverse(x, m, &expected);
    ASSERT_EQ(ConstTimeModInverse(x, m, &got), status);
    if (status.ok()) {
      EXPECT_EQ(got, expected);
    }
  }
  const RsaKeyMaterial& key = test_support::TestKey(1024);
  BigNum p1 = key.prime1, got, expected;
  p1.SubSmall(1);
  for (const BigNum& m : {p1, test_support::BigNumFromHex("10000000000000000"),
                          test_support::BigNumFromHex("c0000000000000000000000000000006")}) {
    ASSERT_EQ(ConstTimeInverseOfOdd(BigNum(65537), m, &got), kBigNumOk);
    ASSERT_EQ(BigNum::ModInverse(BigNum(65537), m, &expected), kBigNumOk);
    EXPECT_EQ(got, expected);
  }
  // The other way round, as a key without its public exponent gets one: a secret odd value of
  // many limbs inverted modulo (p - 1)(q - 1), and an odd value above its modulus.
  BigNum q1 = key.prime2;
  q1.SubSmall(1);
  ASSERT_EQ(ConstTimeInverseOfOdd(key.private_exponent, BigNum::Mul(p1, q1), &got), kBigNumOk);
  EXPECT_EQ(got, key.public_exponent);
  ASSERT_EQ(ConstTimeInverseOfOdd(BigNum(65537), BigNum(10), &got), kBigNumOk);
  EXPECT_EQ(got, BigNum(3)) << "65537 = 7 (mod 10)";
  EXPECT_EQ(ConstTimeInverseOfOdd(BigNum(3), BigNum(9), &got), kBigNumNoInverse);
  EXPECT_EQ(ConstTimeInverseOfOdd(BigNum(4), BigNum(9), &got), kBigNumBadArgument) << "even value";
  EXPECT_EQ(ConstTimeModInverse(BigNum(3), BigNum(10), &got), kBigNumBadArgument) << "even modulus";
}

// The shift-and-subtract remainder against long division: a of all ones keeps the masked
// subtraction busy on every bit, a modulus with its top limb's high bit set makes 2 r + 1 spill
// past the limbs, even moduli are the p - 1 of key loading.
TEST(BigNum, ConstantTimeRemainderMatchesDivision) {
  const struct {
    const char* a;
    const char* m;
    const char* why;
  } kTests[] = {
      {"0", "7", "zero"},
      {"6", "7", "already reduced"},
      {"7", "7", "the modulus itself"},
      {"ffffffffffffffffffffffffffffffffffffffffffffffff", "2",
       "all ones by the smallest even modulus"},
      {"ffffffffffffffffffffffffffffffffffffffffffffffff", "1", "everything is 0 modulo 1"},
      {"ffffffffffffffffffffffffffffffffffffffffffffffff", "fffffffffffffffffffffffffffffffe",
       "top bit of the modulus set: the doubled remainder leaves the limbs"},
      {"123456789abcdef0fedcba9876543210", "123456789abcdef0fedcba9876543211",
       "just below a two-limb modulus"},
      {"10000000000000000000000000000000000000000000000000000000000000000",
       "c0000000000000000000000000000006", "a power of two by an even modulus"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    const BigNum a = test_support::BigNumFromHex(c.a), m = test_support::BigNumFromHex(c.m);
    BigNum expected;
    ASSERT_EQ(BigNum::Mod(a, m, &expected), kBigNumOk);
    LimbVector got(m.limbs().size());
    ConstTimeMod(got.data(), a.limbs().data(), a.limbs().size(), m.limbs().data(),
                 m.limbs().size());
    EXPECT_EQ(BigNum::FromLimbs(got.data(), got.size()), expected);
  }
  // d modulo p - 1: the reduction key loading makes of a key that stores d in place of exponent1.
  const RsaKeyMaterial& key = test_support::TestKey(1024);
  BigNum p1 = key.prime1;
  p1.SubSmall(1);
  LimbVector got(p1.limbs().size());
  const LimbVector& d = key.private_exponent.limbs();
  ConstTimeMod(got.data(), d.data(), d.size(), p1.limbs().data(), p1.limbs().size());
  EXPECT_EQ(BigNum::FromLimbs(got.data(), got.size()), key.exponent1);
}

// The key check's comparisons of secrets against Compare: operands of different lengths are read
// over the longer one, so a difference in a limb the shorter one lacks still counts.
TEST(BigNum, ConstantTimeComparisonsMatchCompare) {
  const struct {
    const char* a;
    const char* b;
  } kTests[] = {
      {"0", "0"},
      {"0", "1"},
      {"5", "5"},
      {"10000000000000000", "1"},  // a second limb only on one side
      {"10000000000000000", "20000000000000000"},
      {"ffffffffffffffff"
       "0000000000000001",
       "ffffffffffffffff"
       "0000000000000002"},  // low limb
  };
  for (const auto& c : kTests) {
    for (const auto& [x, y] : {std::pair{c.a, c.b}, std::pair{c.b, c.a}}) {
      SCOPED_TRACE(std::string(x) + " against " + y);
      const BigNum a = test_support::BigNumFromHex(x), b = test_support::BigNumFromHex(y);
      EXPECT_EQ(ConstTimeEqual(a, b), a.Compare(b) == 0);
      EXPECT_EQ(ConstTimeLess(a, b), a.Compare(b) < 0);
    }
  }
  BigNum r;
  EXPECT_EQ(ConstTimeRemainder(BigNum(5), BigNum(), &r), kBigNumBadArgument) << "modulo zero";
}

// The fixed-step Montgomery set-up of secret moduli against the long division of public ones, on
// every kernel here: R mod n, R^2 mod n, and an exponentiation (which on IFMA uses the 52-bit
// digits' R^2).
TEST(BigNum, SecretModulusSetUpMatchesDivision) {
  const struct {
    BigNum n;
    const char* why;
  } kTests[] = {
      {BigNum(3), "smallest modulus"},
      {BigNum(65537), "a public exponent, 17 bits in one limb"},
      {test_support::BigNumFromHex(std::string(32, 'f')), "all ones: R mod n is 1"},
      {test_support::BigNumFromHex("8" + std::string(30, '0') + "1"),
       "a lone top bit: the most doublings into R"},
      {test_support::TestKey(4096).prime1, "a 2048-bit prime"},
  };
  for (RsaKernel kernel : AvailableRsaKernels()) {
    for (const auto& c : kTests) {
      SCOPED_TRACE(std::string(RsaKernelName(kernel)) + ": " + c.why);
      MontgomeryContext secret, open;
      ASSERT_EQ(secret.Init(c.n, kernel), 0);
      ASSERT_EQ(open.Init(c.n, kernel, MontgomeryContext::Modulus::kPublic), 0);
      const std::size_t n = secret.size();
      EXPECT_TRUE(std::equal(secret.one(), secret.one() + n, open.one()));
      EXPECT_TRUE(std::equal(secret.rr(), secret.rr() + n, open.rr()));
      LimbVector x(n, 0), e(n, ~Limb{0}), a(n), b(n);
      x[0] = 2;
      secret.ExpConstTime(a.data(), x.data(), e.data(), 64 * n);
      open.ExpConstTime(b.data(), x.data(), e.data(), 64 * n);
      EXPECT_EQ(a, b);
    }
  }
}

}  // namespace
}  // namespace kcertadm
