// The check of an imported RSA private key: a table of keys, each wrong in
// the one way a single check catches and right in every other, so that a
// check that goes missing lets its key through.
#include "keyfile/rsa_key_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "crypto/bignum/bignum.h"

namespace kcertadm {
namespace {

struct Numbers {
  BigNum n, e, d, p, q, dp, dq, qInv, lcm;
};

BigNum MersennePrime(std::size_t exponent) {
  BigNum m;
  m.SetBit(exponent);
  m.SubSmall(1);
  return m;
}

BigNum Mod(const BigNum& a, const BigNum& m) {
  BigNum r;
  EXPECT_TRUE(BigNum::Mod(a, m, &r).ok());
  return r;
}

// The consistent key of two primes and e = 65537 (p - 1 and q - 1 of the
// primes used here have no factor 65537).
Numbers KeyOf(std::size_t p_exponent, std::size_t q_exponent) {
  Numbers k;
  k.p = MersennePrime(p_exponent);
  k.q = MersennePrime(q_exponent);
  k.n = BigNum::Mul(k.p, k.q);
  k.e = BigNum(65537);
  const BigNum p1 = BigNum::Sub(k.p, BigNum(1)), q1 = BigNum::Sub(k.q, BigNum(1));
  EXPECT_TRUE(BigNum::DivMod(BigNum::Mul(p1, q1), BigNum::Gcd(p1, q1), &k.lcm, nullptr).ok());
  EXPECT_TRUE(BigNum::ModInverse(k.e, k.lcm, &k.d).ok());
  k.dp = Mod(k.d, p1);
  k.dq = Mod(k.d, q1);
  EXPECT_TRUE(BigNum::ModInverse(k.q, k.p, &k.qInv).ok());
  return k;
}

RsaPrivateNumbers RecordOf(const Numbers& k) {
  return {k.n.ToBytes(), k.e.ToBytes(),  k.d.ToBytes(),  k.p.ToBytes(),
          k.q.ToBytes(), k.dp.ToBytes(), k.dq.ToBytes(), k.qInv.ToBytes()};
}

// x plus the smallest multiple of m that takes it to n or above.
BigNum RaisedPast(const BigNum& x, const BigNum& m, const BigNum& n) {
  BigNum quotient;
  EXPECT_TRUE(BigNum::DivMod(n, m, &quotient, nullptr).ok());
  quotient.AddSmall(1);
  return BigNum::Add(x, BigNum::Mul(quotient, m));
}

TEST(RsaKeyCheck, AcceptsAConsistentKeyOfEitherPrimeOrder) {
  EXPECT_TRUE(RsaPrivateNumbersConsistent(RecordOf(KeyOf(607, 521))));
  EXPECT_TRUE(RsaPrivateNumbersConsistent(RecordOf(KeyOf(521, 607))));
}

TEST(RsaKeyCheck, RefusesAKeyThatFailsAnyOneCheck) {
  const struct {
    const char* why;
    std::function<void(Numbers&)> spoil;
  } kTests[] = {
      {"a modulus of 234 bits, below the smallest size", [](Numbers& k) { k = KeyOf(127, 107); }},
      {"a modulus of 8676 bits, above the largest size", [](Numbers& k) { k = KeyOf(4423, 4253); }},
      {"e = 1 (with d = 1 every congruence holds): no encryption at all",
       [](Numbers& k) { k.e = k.d = k.dp = k.dq = BigNum(1); }},
      {"e raised by a multiple of lcm(p - 1, q - 1) to n or above",
       [](Numbers& k) { k.e = RaisedPast(k.e, k.lcm, k.n); }},
      {"d raised by a multiple of lcm(p - 1, q - 1) to n or above",
       [](Numbers& k) { k.d = RaisedPast(k.d, k.lcm, k.n); }},
      {"n not the product of p and q", [](Numbers& k) { k.n.AddSmall(2); }},
      {"p = 1 and q = n: no remainder modulo p - 1 = 0 may be taken",
       [](Numbers& k) {
         k.q = k.n;
         k.p = k.dp = BigNum(1);
       }},
      {"dP congruent but not reduced modulo p - 1",
       [](Numbers& k) { k.dp = BigNum::Sub(BigNum::Add(k.dp, k.p), BigNum(1)); }},
      {"dQ congruent but not reduced modulo q - 1",
       [](Numbers& k) { k.dq = BigNum::Sub(BigNum::Add(k.dq, k.q), BigNum(1)); }},
      {"qInv congruent but not reduced modulo p",
       [](Numbers& k) { k.qInv = BigNum::Add(k.qInv, k.p); }},
      {"qInv not the inverse of q", [](Numbers& k) { k.qInv.AddSmall(1); }},
      {"d (with its dP and dQ) not the inverse of e",
       [](Numbers& k) {
         k.d.AddSmall(2);
         k.dp = Mod(k.d, BigNum::Sub(k.p, BigNum(1)));
         k.dq = Mod(k.d, BigNum::Sub(k.q, BigNum(1)));
       }},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    Numbers key = KeyOf(607, 521);
    test.spoil(key);
    EXPECT_FALSE(RsaPrivateNumbersConsistent(RecordOf(key)));
  }
}

}  // namespace
}  // namespace kcertadm
