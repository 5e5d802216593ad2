#include "crypto/bignum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "crypto/montgomery.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::ToHex;

BigNum FromHex(const std::string& hex) { return testing::BigNumFromHex(hex); }

// Results of Python's integers (tests/data/bignum/make_vectors.py) for
// operands chosen to stress carries, borrows and quotient correction.
TEST(BigNum, MatchesReferenceVectors) {
  const auto rows = testing::ReadVectorFile("bignum/vectors.txt");
  ASSERT_GT(rows.size(), 600u);
  for (const auto& row : rows) {
    const std::string& op = row[0];
    const std::string& expected = row[4];
    SCOPED_TRACE(op + " " + row[1].substr(0, 40) + " " + row[2].substr(0, 40));
    const BigNum x = FromHex(row[1]), y = FromHex(row[2]);
    BigNum q, r;
    if (op == "mul") {
      EXPECT_EQ(ToHex(BigNum::Mul(x, y)), expected);
    } else if (op == "divmod") {
      ASSERT_EQ(BigNum::DivMod(x, y, &q, &r), 0);
      EXPECT_EQ(ToHex(q) + ":" + ToHex(r), expected);
    } else if (op == "gcd") {
      EXPECT_EQ(ToHex(BigNum::Gcd(x, y)), expected);
    } else if (op == "inv") {
      const int code = BigNum::ModInverse(x, y, &r);
      EXPECT_EQ(code == 0 ? ToHex(r) : code == kBigNumNoInverse ? "none" : "error", expected);
    } else {
      ASSERT_EQ(op, "exp");
      ASSERT_EQ(BigNum::ModExp(x, y, FromHex(row[3]), &r), 0);
      EXPECT_EQ(ToHex(r), expected);
    }
  }
}

TEST(BigNum, ByteConversions) {
  const std::uint8_t bytes[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  BigNum x = BigNum::FromBytes(bytes, sizeof bytes);
  EXPECT_EQ(ToHex(x), "10203040506070809");
  EXPECT_EQ(x.BitLength(), 65u);
  EXPECT_EQ(x.ByteLength(), 9u);

  std::uint8_t out[12];
  ASSERT_EQ(x.ToBytes(out, sizeof out), 0);
  const std::uint8_t expected[12] = {0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(0, std::memcmp(out, expected, sizeof out));
  // One byte short of the value: refused, not truncated.
  EXPECT_EQ(x.ToBytes(out, 8), kBigNumOutputTooSmall);
  EXPECT_EQ(x.ToBytes(out, 9), 0);

  BigNum zero = BigNum::FromBytes(bytes, 2);
  EXPECT_TRUE(zero.IsZero());
  EXPECT_EQ(zero.BitLength(), 0u);
  EXPECT_EQ(zero.ToBytes(out, 0), 0);
}

TEST(BigNum, RefusesBadArguments) {
  BigNum r;
  EXPECT_EQ(BigNum::DivMod(BigNum(5), BigNum(), nullptr, &r), kBigNumBadArgument);
  EXPECT_EQ(BigNum::ModInverse(BigNum(5), BigNum(1), &r), kBigNumBadArgument);
  EXPECT_EQ(BigNum::ModExp(BigNum(5), BigNum(3), BigNum(10), &r), kBigNumBadArgument);
  BigNum huge;
  huge.SetBit(64 * kMaxMontLimbs);
  huge.SetBit(0);
  EXPECT_EQ(BigNum::ModExp(BigNum(5), BigNum(3), huge, &r), kBigNumTooLarge);
}

// The fixed-window exponentiation must agree with the variable-time one for
// exponents of every shape, including zero windows at the top and bottom.
TEST(Montgomery, ConstantTimeExponentiationAgrees) {
  const BigNum modulus = FromHex(
      "d0b6f1bd3d6b5d6f6a1c1a5a8c3cbb3f0d8d4e4a7d3c1b2a99887766554433221"
      "1f0e0d0c0b0a09080706050403020100ffeeddccbbaa99887766554433221101");
  MontgomeryContext mont;
  ASSERT_EQ(mont.Init(modulus), 0);
  const std::size_t n = mont.size();
  const BigNum base = FromHex("1234567890abcdef1122334455667788");
  const char* kExponents[] = {"0", "1", "2", "1f", "20", "21", "ffffffff",
                              "8000000000000000000000000000000000000001",
                              "fedcba98765432100123456789abcdef0f1e2d3c4b5a6978"};
  for (const char* e_hex : kExponents) {
    SCOPED_TRACE(e_hex);
    const BigNum e = FromHex(e_hex);
    // Exponent length padded beyond its bit length: extra zero windows.
    const std::size_t exp_bits = mont.size() * 64;
    LimbVector exp(n), b(n), r(n);
    e.CopyLimbs(exp.data(), n);
    mont.ToMont(b.data(), base);
    mont.ExpConstTime(r.data(), b.data(), exp.data(), exp_bits);
    mont.FromMont(r.data(), r.data());
    EXPECT_EQ(BigNum::FromLimbs(r.data(), n), mont.Exp(base, e));
  }
}

}  // namespace
}  // namespace kcertadm
