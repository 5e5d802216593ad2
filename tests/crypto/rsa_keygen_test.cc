#include "crypto/rsa/rsa_keygen.h"

#include <gtest/gtest.h>

#include "crypto/rsa/rsa_prime.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// rsa/make_keygen_vectors.py models the generator; at 1024 bits the first window has no prime and
// it draws again.
TEST(RsaKeyGen, MatchesIndependentModel) {
  const auto rows = test_support::ReadVectorFile("rsa/keygen_vectors.txt");
  ASSERT_EQ(rows.size(), 7u);
  for (const auto& row : rows) {
    const auto bits = static_cast<std::uint32_t>(std::stoul(row[0]));
    SCOPED_TRACE(bits);
    test_support::Lcg lcg(std::stoull(row[1]));
    int calls = 0;
    RandomFill fill = [&](std::uint8_t* out, std::size_t size) {
      EXPECT_EQ(size, RsaKeyGenRandomBytes(bits));
      return lcg.Fill(out, size), ++calls, 0;
    };
    RsaKeyMaterial key;
    ASSERT_EQ(GenerateRsaKey(bits, BigNum(65537), fill, nullptr, &key), 0);
    EXPECT_EQ(calls, std::stoi(row[2]));
    std::vector<std::string> got;
    for (const BigNum* n : {&key.prime1, &key.prime2, &key.modulus, &key.private_exponent,
                            &key.exponent1, &key.exponent2, &key.coefficient})
      got.push_back(test_support::ToHex(*n));
    EXPECT_EQ(got, std::vector<std::string>(row.begin() + 3, row.end()));
  }
}

TEST(RsaKeyGen, RefusesBadParametersAndStopsOnFailureOrCancel) {
  const struct {
    std::uint32_t bits;
    std::uint64_t e;
    int expected;
    const char* why;
  } kTests[] = {
      {255, 65537, 533, "modulus below 256 bits"},
      {8193, 65537, 533, "modulus above 8192 bits"},
      {256, 65536, 513, "even exponent: no candidate could ever pass gcd(e, c-1)"},
      {256, 1, 513, "exponent 1 is no encryption"},
  };
  RsaKeyMaterial key;
  const RandomFill never = [](std::uint8_t*, std::size_t) { return ADD_FAILURE(), 0; };
  for (const auto& c : kTests)
    EXPECT_EQ(GenerateRsaKey(c.bits, BigNum(c.e), never, nullptr, &key), c.expected) << c.why;
  // An exponent as long as the modulus is refused, one bit shorter taken.
  EXPECT_EQ(
      CheckRsaKeyGenParameters(256, test_support::BigNumFromHex("8" + std::string(62, '0') + "1")),
      522);
  EXPECT_EQ(
      CheckRsaKeyGenParameters(256, test_support::BigNumFromHex("4" + std::string(62, '0') + "1")),
      0);
  // A failing random source or a cancel stops generation.
  EXPECT_EQ(GenerateRsaKey(
                512, BigNum(65537), [](std::uint8_t*, std::size_t) { return 539; }, nullptr, &key),
            539);
  test_support::Lcg lcg(9);
  EXPECT_EQ(GenerateRsaKey(
                512, BigNum(65537), lcg.AsRandomFill(), [] { return true; }, &key),
            519);
  EXPECT_TRUE(key.modulus.IsZero());
}

TEST(RsaPrime, FermatTestsSeparatePrimesFromComposites) {
  const struct {
    const char* hex;
    bool passes;
    const char* why;
  } kTests[] = {
      {"ffffffffffffffc5", true, "largest 64-bit prime"},
      {"7fffffffffffffffffffffffffffffff", true, "Mersenne prime 2^127 - 1"},
      {"ffffffffffffffc7", false, "odd composite just above a prime"},
      {"fffffffffffffff7e000000000000001", false, "product of two large primes"},
      // The test is a^c mod c = a, not a^(c-1) = 1: base 5 divides 1105.
      {"451", true, "Carmichael number 1105 = 5 * 13 * 17"},
      {"bfa17dc7", true, "pseudoprime 151 * 751 * 28351 to all four bases"},
  };
  for (const auto& c : kTests)
    EXPECT_EQ(PassesFermatTests(test_support::BigNumFromHex(c.hex)), c.passes) << c.why;
}

// The sieve's Barrett remainders against division. All-ones limbs give the largest partial
// remainders (the estimate one short most often); a multiple of the first sieve primes must give
// exact zeros.
TEST(RsaPrime, SieveRemaindersMatchDivision) {
  const std::vector<std::uint32_t>& primes = SievePrimes();
  BigNum product(1);
  for (std::size_t i = 0; i < 12; ++i) product = BigNum::Mul(product, BigNum(primes[i]));
  const struct {
    BigNum x;
    const char* why;
  } kTests[] = {
      {BigNum(), "zero"},
      {test_support::BigNumFromHex(std::string(256, 'f')), "all ones, 1024 bits"},
      {BigNum::Mul(product, test_support::BigNumFromHex("fffffffffffffffffffffffffffffffb")),
       "multiple of 3 ... 41"},
      {test_support::BigNumFromHex(
           "8000000000000000000000000000000000000000000000000000000000000001"),
       "top and bottom bits"},
  };
  std::vector<std::uint32_t> got;
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    SieveRemainders(c.x.limbs(), &got);
    ASSERT_EQ(got.size(), primes.size());
    for (std::size_t i = 0; i < primes.size(); ++i)
      ASSERT_EQ(got[i], c.x.ModSmall(primes[i])) << primes[i];
  }
}

}  // namespace
}  // namespace kcertadm
