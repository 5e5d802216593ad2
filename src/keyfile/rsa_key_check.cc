#include "keyfile/rsa_key_check.h"

#include <new>

#include "crypto/bignum/bignum.h"

namespace kcertadm {
namespace {

BigNum FromNumber(const SecureBytes& bytes) {
  return BigNum::FromBytes(bytes.data(), bytes.size());
}

// a mod m (m non-zero).
BigNum Mod(const BigNum& a, const BigNum& m) {
  BigNum r;
  BigNum::Mod(a, m, &r);
  return r;
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
  if (!(Mod(d, pMinus1) == dp) || !(Mod(d, qMinus1) == dq)) return false;
  if (!(qInv < p) || !Mod(BigNum::Mul(qInv, q), p).IsOne()) return false;
  BigNum lcm;
  BigNum::DivMod(BigNum::Mul(pMinus1, qMinus1), BigNum::Gcd(pMinus1, qMinus1), &lcm, nullptr);
  return Mod(BigNum::Mul(d, e), lcm).IsOne();
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
