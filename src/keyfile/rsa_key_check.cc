#include "keyfile/rsa_key_check.h"

#include <new>

#include "crypto/bignum/bignum.h"

namespace kcertadm {
namespace {

BigNum FromNumber(const SecureBytes& bytes) {
  return BigNum::FromBytes(bytes.data(), bytes.size());
}

// Whether a mod m equals `expected`; a remainder that cannot be taken
// (m zero) fails the check.
bool ModEquals(const BigNum& a, const BigNum& m, const BigNum& expected) {
  BigNum r;
  return BigNum::Mod(a, m, &r).ok() && r == expected;
}

bool Consistent(const RsaPrivateNumbers& numbers) {
  const BigNum n = FromNumber(numbers.modulus), e = FromNumber(numbers.publicExponent),
               d = FromNumber(numbers.privateExponent), p = FromNumber(numbers.prime1),
               q = FromNumber(numbers.prime2), dp = FromNumber(numbers.exponent1),
               dq = FromNumber(numbers.exponent2), qInv = FromNumber(numbers.coefficient);
  const BigNum one(1);
  const std::size_t bits = n.BitLength();
  if (bits < kImportMinModulusBits || bits > kImportMaxModulusBits) return false;
  if (!e.IsOdd() || e <= one || !(e < n) || d.IsZero() || !(d < n)) return false;
  if (p <= one || q <= one || !(BigNum::Mul(p, q) == n)) return false;
  BigNum pMinus1 = p, qMinus1 = q;
  pMinus1.SubSmall(1);
  qMinus1.SubSmall(1);
  if (!ModEquals(d, pMinus1, dp) || !ModEquals(d, qMinus1, dq)) return false;
  if (!(qInv < p) || !ModEquals(BigNum::Mul(qInv, q), p, one)) return false;
  BigNum lcm;
  if (!BigNum::DivMod(BigNum::Mul(pMinus1, qMinus1), BigNum::Gcd(pMinus1, qMinus1), &lcm, nullptr)
           .ok())
    return false;
  return ModEquals(BigNum::Mul(d, e), lcm, one);
}

}  // namespace

bool RsaPrivateNumbersConsistent(const RsaPrivateNumbers& numbers) {
  try {
    return Consistent(numbers);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace kcertadm
