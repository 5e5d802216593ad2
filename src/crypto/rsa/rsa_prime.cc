#include "crypto/rsa/rsa_prime.h"

#include <algorithm>
#include <array>

#include "crypto/bignum/bignum_ct.h"
#include "crypto/bignum/montgomery.h"

namespace kcertadm {
namespace {

constexpr std::size_t kWindow = 500;
constexpr std::uint32_t kSieveLimit = 3 + 126 * 512;  // exclusive
constexpr std::uint32_t kFermatBases[] = {3, 5, 7, 11};

using Wide = unsigned __int128;

// Odd primes below kSieveLimit by a plain sieve of Eratosthenes; the
// factors up to 251 suffice because 253 * 253 > kSieveLimit.
std::vector<std::uint32_t> BuildSievePrimes() {
  std::vector<bool> composite(kSieveLimit, false);
  for (std::uint32_t f = 3; f * f < kSieveLimit; f += 2) {
    if (composite[f]) continue;
    for (std::uint32_t m = f * f; m < kSieveLimit; m += 2 * f) composite[m] = true;
  }
  std::vector<std::uint32_t> primes;
  for (std::uint32_t v = 3; v < kSieveLimit; v += 2)
    if (!composite[v]) primes.push_back(v);
  return primes;
}

// d and floor(2^64 / d) for a remainder by d (3 <= d < 2^32) without a
// division instruction, whose time may follow its operands.
struct WordDivisor {
  std::uint64_t d = 0, mu = 0;
  explicit WordDivisor(std::uint64_t divisor)
      : d(divisor), mu(static_cast<std::uint64_t>((static_cast<Wide>(1) << 64) / divisor)) {}
  // a mod d for any 64-bit a (Barrett): the estimate q = a mu / 2^64 is
  // floor(a / d) or one less, so a - q d is below 2 d and one masked
  // subtraction finishes. Two products, a subtraction, a mask: the same
  // instructions for every a.
  std::uint64_t Reduce(std::uint64_t a) const {
    const std::uint64_t q = static_cast<std::uint64_t>((static_cast<Wide>(a) * mu) >> 64);
    const std::uint64_t r = a - q * d;  // below 2 d < 2^33
    const std::uint64_t less = r - d;   // top bit set exactly when r < d
    const std::uint64_t keep = std::uint64_t{0} - (less >> 63);
    return (r & keep) | (less & ~keep);
  }
};

// The sieve primes paired (each product below 2^32, so that one remainder
// by the pair serves both) and one by one.
struct SieveDivisors {
  std::vector<WordDivisor> pairs, singles;
};

const SieveDivisors& Divisors() {
  static const SieveDivisors divisors = [] {
    SieveDivisors d;
    const std::vector<std::uint32_t>& primes = SievePrimes();
    for (std::size_t i = 0; i + 1 < primes.size(); i += 2)
      d.pairs.emplace_back(std::uint64_t{primes[i]} * primes[i + 1]);
    for (std::uint32_t r : primes) d.singles.emplace_back(r);
    return d;
  }();
  return divisors;
}

// x mod d, Horner over x's 32-bit halves from the top: the remainder so far
// times 2^32 plus the next half stays below 2^64.
std::uint64_t RemainderOf(const LimbVector& x, const WordDivisor& d) {
  std::uint64_t rem = 0;
  for (std::size_t k = x.size(); k-- > 0;) {
    rem = d.Reduce((rem << 32) | (x[k] >> 32));
    rem = d.Reduce((rem << 32) | (x[k] & 0xFFFFFFFFu));
  }
  return rem;
}

// Window of 500 flags as a 512-bit mask: bit k set when x + 2k has a small
// factor.
using SieveMask = std::array<std::uint64_t, (kWindow + 63) / 64>;

// All ones when a == b (both below 2^63), else zero; no comparison the
// compiler could turn into a branch.
std::uint64_t EqualMask(std::uint64_t a, std::uint64_t b) {
  return std::uint64_t{0} - (((a ^ b) - 1) >> 63);
}

// The first index k with r | x + 2k, from t = x mod r: 0 if t = 0,
// (r - t) / 2 if t is odd, r - t / 2 if t is even. All three computed, one
// kept by masks.
std::uint64_t FirstMultipleIndex(std::uint64_t r, std::uint64_t t) {
  const std::uint64_t odd = std::uint64_t{0} - (t & 1);
  const std::uint64_t zero = EqualMask(t, 0);
  return (((r - t) >> 1) & odd) | ((r - (t >> 1)) & ~odd & ~zero);
}

// Marks k0, k0 + r, ... below the window. For r of at least the window
// there is one mark at most: each word of the mask takes a bit shifted by
// k0 mod 64 under a mask that says whether k0 falls in it. For smaller r
// every position is visited, a counter running through the residues.
// Either way which words and bits are touched never depends on k0.
void MarkMultiples(SieveMask& mask, std::uint64_t r, std::uint64_t k0) {
  if (r >= kWindow) {
    const std::uint64_t bit = std::uint64_t{1} << (k0 & 63);
    for (std::size_t w = 0; w < mask.size(); ++w) mask[w] |= bit & EqualMask(w, k0 >> 6);
    return;
  }
  // c = (k - k0) mod r, stepped by one and wrapped at r by a mask.
  std::uint64_t c = (r - k0) & ~EqualMask(k0, 0);
  for (std::size_t k = 0; k < kWindow; ++k) {
    mask[k / 64] |= (std::uint64_t{1} << (k % 64)) & EqualMask(c, 0);
    c = (c + 1) & ~EqualMask(c + 1, r);
  }
}

// base^c mod c == base, by the constant-time exponentiation: the candidate
// that passes becomes a secret prime, so neither the sequence of products
// nor the memory touched may follow its bits.
bool FermatTest(const MontgomeryContext& mont, const BigNum& c, Limb base) {
  const std::size_t n = mont.size();
  LimbVector x(n, 0), r(n);
  x[0] = base;
  mont.ExpConstTime(r.data(), x.data(), c.limbs().data(), c.BitLength());
  Limb difference = r[0] ^ base;
  for (std::size_t i = 1; i < n; ++i) difference |= r[i];
  return difference == 0;
}

// The window's flags: every sieve prime marks the candidates it divides.
SieveMask SieveWindow(const LimbVector& x) {
  const std::vector<std::uint32_t>& primes = SievePrimes();
  std::vector<std::uint32_t> remainders;
  SieveRemainders(x, &remainders);
  SieveMask flagged{};
  for (std::size_t i = 0; i < primes.size(); ++i)
    MarkMultiples(flagged, primes[i], FirstMultipleIndex(primes[i], remainders[i]));
  SecureWipe(remainders.data(), remainders.size() * sizeof(std::uint32_t));
  return flagged;
}

}  // namespace

const std::vector<std::uint32_t>& SievePrimes() {
  static const std::vector<std::uint32_t> primes = BuildSievePrimes();
  return primes;
}

void SieveRemainders(const LimbVector& x, std::vector<std::uint32_t>* out) {
  const SieveDivisors& divisors = Divisors();
  out->resize(divisors.singles.size());
  std::size_t i = 0;
  for (const WordDivisor& pair : divisors.pairs) {
    const std::uint64_t rem = RemainderOf(x, pair);
    (*out)[i] = static_cast<std::uint32_t>(divisors.singles[i].Reduce(rem));
    (*out)[i + 1] = static_cast<std::uint32_t>(divisors.singles[i + 1].Reduce(rem));
    i += 2;
  }
  for (; i < divisors.singles.size(); ++i)
    (*out)[i] = static_cast<std::uint32_t>(RemainderOf(x, divisors.singles[i]));
}

BigNum PrimeCandidate(const std::uint8_t* bytes, std::size_t bits) {
  const std::size_t digits = PrimeSeedBytes(bits) / 2;
  std::vector<Limb> limbs((digits + 3) / 4, 0);
  for (std::size_t i = 0; i < digits; ++i) {
    const Limb digit = (Limb{bytes[2 * i]} << 8) | bytes[2 * i + 1];
    limbs[i / 4] |= digit << (16 * (i % 4));
  }
  BigNum x = BigNum::FromLimbs(limbs.data(), limbs.size());
  SecureWipe(limbs.data(), limbs.size() * sizeof(Limb));
  x.SetBit(bits - 2);
  x.SetBit(bits - 1);
  // The bits cleared here (and the limbs FromLimbs and ClearBit drop) lie
  // above bit bits - 1: random bits the prime never contains.
  const std::size_t clear_end = std::min(((bits + 7) / 8) * 8 + 8, x.BitLength());
  for (std::size_t i = bits; i < clear_end; ++i) x.ClearBit(i);
  x.SetBit(0);
  return x;
}

bool PassesFermatTests(const BigNum& c) {
  MontgomeryContext mont;
  if (mont.Init(c) != kBigNumOk) return false;
  for (Limb base : kFermatBases)
    if (!FermatTest(mont, c, base)) return false;
  return true;
}

// What the time of the search shows: which candidates were rejected, and at
// which step (sieve flag, gcd, the base of the failing Fermat test). That
// is inherent, and says nothing of the prime beyond "the candidates before
// it were composite". What it must not show is the prime's value, so every
// step applied to a candidate that may become the prime runs the same
// instructions on the same memory for every value of its length: the sieve
// remainders (Barrett reductions, no division instruction), the sieve marks
// (masks over the whole window), the stepping (fixed-length limb adds), the
// gcd (a Montgomery reduction and the fixed-step inverse), the Montgomery
// set-up and the Fermat tests (fixed windows).
int FindPrime(const std::uint8_t* bytes, std::size_t bits, const BigNum& e, BigNum* prime) {
  MontgomeryContext mod_e;
  if (int code = mod_e.InitPublic(e)) return code;
  BigNum x = PrimeCandidate(bytes, bits);
  // One limb more than x: x + 998 may carry into it when bits is a multiple
  // of 64 (a prime of bits + 1 bits then, as the generator always made).
  const std::size_t n = x.limbs().size() + 1;
  LimbVector c(n), c_minus_1(n), two(n, 0), residue(mod_e.size());
  x.CopyLimbs(c.data(), n);
  x.Wipe();
  two[0] = 2;
  SieveMask flagged = SieveWindow(c);
  BigNum inverse;
  int result = kNoPrimeFound;
  for (std::size_t k = 0; k < kWindow; ++k) {
    if (k > 0) LimbsAdd(c.data(), c.data(), two.data(), n);
    if ((flagged[k / 64] >> (k % 64)) & 1) continue;
    // gcd(e, c - 1) = 1 exactly when (c - 1) mod e has an inverse modulo e.
    std::copy(c.begin(), c.end(), c_minus_1.begin());
    c_minus_1[0] ^= 1;  // c is odd
    mod_e.Reduce(residue.data(), c_minus_1.data(), n);
    if (ConstTimeModInverse(BigNum::FromLimbs(residue.data(), residue.size()), e, &inverse) !=
        kBigNumOk)
      continue;
    BigNum candidate = BigNum::FromLimbs(c.data(), n);
    if (PassesFermatTests(candidate)) {
      *prime = std::move(candidate);
      result = kBigNumOk;
      break;
    }
    candidate.Wipe();
  }
  inverse.Wipe();
  SecureWipe(flagged.data(), sizeof flagged);
  return result;
}

}  // namespace kcertadm
