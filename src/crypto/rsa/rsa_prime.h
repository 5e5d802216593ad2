// Prime search for RSA key generation: a candidate built from random bytes,
// a sieve over a window of 500 odd numbers, then a gcd check against the
// public exponent and Fermat tests to the bases 3, 5, 7 and 11.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "crypto/bignum/bignum.h"

namespace kcertadm {

// Implementation code of a search window without a prime.
constexpr int kNoPrimeFound = 8;

// Number of random bytes FindPrime reads for a prime of `bits` bits.
inline std::size_t PrimeSeedBytes(std::size_t bits) { return ((bits + 15) / 16) * 2; }

// The odd primes from 3 to 64,514 (6,453 of them) used by the sieve.
const std::vector<std::uint32_t>& SievePrimes();

// x mod r for every sieve prime r, in their order, in constant time.
void SieveRemainders(const LimbVector& x, std::vector<std::uint32_t>* out);

// The starting candidate of the window: PrimeSeedBytes(bits) bytes taken
// two at a time as 16-bit big-endian digits, least significant digit first;
// the two top bits set, everything above bit bits-1 cleared, made odd.
BigNum PrimeCandidate(const std::uint8_t* bytes, std::size_t bits);

// Searches x, x + 2, ..., x + 998 for the first candidate that survives the
// sieve, has gcd(e, c - 1) = 1 and passes the four Fermat tests. Returns 0
// and the prime, or kNoPrimeFound.
int FindPrime(const std::uint8_t* bytes, std::size_t bits, const BigNum& e, BigNum* prime);

// a^c mod c == a for a = 3, 5, 7 and 11 (c odd, above 11).
bool PassesFermatTests(const BigNum& c);

}  // namespace kcertadm
