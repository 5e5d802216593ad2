#include "crypto/bignum.h"

#include <gtest/gtest.h>

#include "crypto/montgomery.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::ToHex;

// Python's results (bignum/make_vectors.py) for carry, borrow and quotient-correction cases.
TEST(BigNum, MatchesReferenceVectors) {
  const auto rows = testing::ReadVectorFile("bignum/vectors.txt");
  ASSERT_GT(rows.size(), 600u);
  for (const auto& row : rows) {
    const std::string& op = row[0];
    SCOPED_TRACE(op + " " + row[1].substr(0, 40) + " " + row[2].substr(0, 40));
    const BigNum x = testing::BigNumFromHex(row[1]), y = testing::BigNumFromHex(row[2]);
    BigNum q, r;
    std::string got;
    if (op == "mul") got = ToHex(BigNum::Mul(x, y));
    if (op == "gcd") got = ToHex(BigNum::Gcd(x, y));
    if (op == "divmod") got = BigNum::DivMod(x, y, &q, &r) ? "error" : ToHex(q) + ":" + ToHex(r);
    if (op == "inv") {
      const int code = BigNum::ModInverse(x, y, &r);
      got = code == 0 ? ToHex(r) : code == kBigNumNoInverse ? "none" : "error";
    }
    if (op == "exp") got = BigNum::ModExp(x, y, testing::BigNumFromHex(row[3]), &r) ? "error" : ToHex(r);
    EXPECT_EQ(got, row[4]);
  }
}

// The vectors cover the conversions; here the fixed-size output, refused rather than truncated.
TEST(BigNum, ToBytesPadsOrRefuses) {
  const std::uint8_t bytes[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const BigNum x = BigNum::FromBytes(bytes, sizeof bytes), zero = BigNum::FromBytes(bytes, 2);
  std::vector<std::uint8_t> out(12);
  ASSERT_EQ(x.ToBytes(out.data(), 12), 0);
  EXPECT_EQ(ToHex(out), "000000010203040506070809");
  EXPECT_EQ(x.ToBytes(out.data(), 8), kBigNumOutputTooSmall);
  EXPECT_EQ(x.ToBytes(out.data(), 9), 0);
  EXPECT_TRUE(zero.IsZero() && zero.ToBytes(out.data(), 0) == 0);
}

TEST(BigNum, RefusesBadArguments) {
  BigNum r, huge;
  EXPECT_EQ(BigNum::DivMod(BigNum(5), BigNum(), nullptr, &r), kBigNumBadArgument);
  EXPECT_EQ(BigNum::ModInverse(BigNum(5), BigNum(1), &r), kBigNumBadArgument);
  EXPECT_EQ(BigNum::ModExp(BigNum(5), BigNum(3), BigNum(10), &r), kBigNumBadArgument);
  huge.SetBit(64 * kMaxMontLimbs);
  huge.SetBit(0);
  EXPECT_EQ(BigNum::ModExp(BigNum(5), BigNum(3), huge, &r), kBigNumTooLarge);
}

}  // namespace
}  // namespace kcertadm
