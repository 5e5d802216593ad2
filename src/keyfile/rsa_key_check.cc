#include "keyfile/rsa_key_check.h"

#include <new>

#include "crypto/bignum/bignum.h"
#include "crypto/bignum/bignum_ct.h"
#include "crypto/rsa/rsa_private_numbers.h"

namespace kcertadm {
namespace {

// Whether a mod m equals `expected`, a and m secret; a remainder that cannot
// be taken (m zero) fails the check.
bool RemainderIs(const BigNum& a, const BigNum& m, const BigNum& expected) {
  BigNum r;
  return ConstTimeRemainder(a, m, &r).ok() && ConstTimeEqual(r, expected);
}

// n and e are public and compared as they are; the other six numbers are
// secret and go only through the constant-time comparisons and remainders
// (what they show is their lengths, and the verdict).
bool Consistent(const RsaPrivateNumbers& numbers) {
  const RsaKeyMaterial key = MaterialOf(numbers);
  const BigNum &n = key.modulus, &e = key.public_exponent;
  const std::size_t bits = n.BitLength();
  if (bits < kImportMinModulusBits || bits > kImportMaxModulusBits) return false;
  const BigNum zero, one(1), two(2);
  if (!e.IsOdd() || e <= one || !(e < n)) return false;
  const BigNum &d = key.private_exponent, &p = key.prime1, &q = key.prime2, &dp = key.exponent1,
               &dq = key.exponent2, &qInv = key.coefficient;
  if (d.IsZero() || !ConstTimeLess(d, n)) return false;
  if (ConstTimeLess(p, two) || ConstTimeLess(q, two) || !ConstTimeEqual(BigNum::Mul(p, q), n))
    return false;
  const BigNum pMinus1 = BigNum::Sub(p, one), qMinus1 = BigNum::Sub(q, one);
  if (!RemainderIs(d, pMinus1, dp) || !RemainderIs(d, qMinus1, dq)) return false;
  if (!ConstTimeLess(qInv, p) || !RemainderIs(BigNum::Mul(qInv, q), p, one)) return false;
  // d e = 1 modulo lcm(p - 1, q - 1), which is above 1 for a modulus of an
  // accepted size, exactly when d e - 1 (d e >= 3 here) is a multiple of both.
  const BigNum deMinus1 = BigNum::Sub(BigNum::Mul(d, e), one);
  return RemainderIs(deMinus1, pMinus1, zero) && RemainderIs(deMinus1, qMinus1, zero);
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
