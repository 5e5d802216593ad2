// Inverses and a remainder for key generation and key loading whose running time and memory
// accesses depend only on the lengths of their operands, not on the secret values.
#pragma once

#include "crypto/bignum/bignum.h"

namespace kcertadm {

// x^-1 mod m for an odd m > 1 and x < m, by a binary extended Euclid of a
// fixed number of steps; 267 when gcd(x, m) != 1, 257 for an even m.
BigNumStatus ConstTimeModInverse(const BigNum& x, const BigNum& m, BigNum* inverse);

// x^-1 mod m for an odd x > 1 and an m > 1 of any parity, either of them
// secret (a private exponent from a public one modulo (p - 1)(q - 1), p - 1
// or q - 1, or a public exponent from a private one): with u = (m mod x)^-1
// mod x, the inverse is (1 + (x - u) m) / x, the division exact and done as
// a product by x^-1 modulo a power of two. 267 when gcd(x, m) != 1, 257 for
// an even x or x or m below 2.
BigNumStatus ConstTimeInverseOfOdd(const BigNum& x, const BigNum& m, BigNum* inverse);

// r = a mod m over m_limbs limbs, for a of a_limbs limbs and a non-zero m of
// any parity whose top limb is non-zero: shifts and masked subtractions
// whose number depends on a_limbs and m's bit length only. For secret values reduced once
// (an exponent modulo p - 1, a coefficient modulo p), where a long
// division's corrections would follow the values.
void ConstTimeMod(Limb* r, const Limb* a, std::size_t a_limbs, const Limb* m, std::size_t m_limbs);

// ConstTimeMod on big numbers: a mod m; 257 for m zero.
BigNumStatus ConstTimeRemainder(const BigNum& a, const BigNum& m, BigNum* remainder);

// a == b and a < b without stopping at the first limb that differs: both are
// read over the longer one's limbs.
bool ConstTimeEqual(const BigNum& a, const BigNum& b);
bool ConstTimeLess(const BigNum& a, const BigNum& b);

}  // namespace kcertadm
