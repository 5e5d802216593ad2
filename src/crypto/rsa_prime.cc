#include "crypto/rsa_prime.h"

#include <algorithm>
#include <array>

#include "crypto/bignum_ct.h"
#include "crypto/montgomery.h"

namespace kcertadm {
namespace {

constexpr std::size_t kWindow = 500;
constexpr std::uint32_t kSieveLimit = 3 + 126 * 512;  // exclusive
constexpr std::uint32_t kFermatBases[] = {3, 5, 7, 11};

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

// x mod r for every sieve prime. Pairs of primes are reduced together
// (their product stays below 2^32), halving the long divisions.
void SieveRemainders(const BigNum& x, const std::vector<std::uint32_t>& primes,
                     std::vector<std::uint32_t>* out) {
  out->resize(primes.size());
  const LimbVector& limbs = x.limbs();
  std::size_t i = 0;
  for (; i + 1 < primes.size(); i += 2) {
    const std::uint64_t m = std::uint64_t{primes[i]} * primes[i + 1];
    std::uint64_t rem = 0;
    for (std::size_t k = limbs.size(); k-- > 0;) {
      rem = ((rem << 32) | (limbs[k] >> 32)) % m;
      rem = ((rem << 32) | (limbs[k] & 0xFFFFFFFFu)) % m;
    }
    (*out)[i] = static_cast<std::uint32_t>(rem % primes[i]);
    (*out)[i + 1] = static_cast<std::uint32_t>(rem % primes[i + 1]);
  }
  for (; i < primes.size(); ++i) (*out)[i] = x.ModSmall(primes[i]);
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

}  // namespace

const std::vector<std::uint32_t>& SievePrimes() {
  static const std::vector<std::uint32_t> primes = BuildSievePrimes();
  return primes;
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
  const std::size_t clear_end =
      std::min(((bits + 7) / 8) * 8 + 8, x.BitLength());
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

int FindPrime(const std::uint8_t* bytes, std::size_t bits, const BigNum& e,
              BigNum* prime) {
  BigNum x = PrimeCandidate(bytes, bits);
  const std::vector<std::uint32_t>& primes = SievePrimes();
  std::vector<std::uint32_t> remainders;
  SieveRemainders(x, primes, &remainders);

  std::array<bool, kWindow> flagged{};
  for (std::size_t i = 0; i < primes.size(); ++i) {
    const std::uint32_t r = primes[i], t = remainders[i];
    std::size_t k = t == 0 ? 0 : (t % 2 == 1) ? (r - t) / 2 : r - t / 2;
    for (; k < kWindow; k += r) flagged[k] = true;
  }
  SecureWipe(remainders.data(), remainders.size() * sizeof(std::uint32_t));

  // gcd(e, c - 1) = 1 exactly when (c - 1) mod e has an inverse modulo e;
  // both steps in constant time, as c may become the secret prime.
  MontgomeryContext mod_e;
  if (int code = mod_e.Init(e)) return code;
  LimbVector residue(mod_e.size());
  BigNum c = x, unused;
  for (std::size_t k = 0; k < kWindow; ++k) {
    if (k > 0) c.AddSmall(2);
    if (flagged[k]) continue;
    BigNum c_minus_1 = c;
    c_minus_1.SubSmall(1);
    mod_e.Reduce(residue.data(), c_minus_1.limbs().data(), c_minus_1.limbs().size());
    if (ConstTimeModInverse(BigNum::FromLimbs(residue.data(), residue.size()), e, &unused) != kBigNumOk) continue;
    if (!PassesFermatTests(c)) continue;
    *prime = std::move(c);
    x.Wipe();
    return kBigNumOk;
  }
  x.Wipe();
  c.Wipe();
  return kNoPrimeFound;
}

}  // namespace kcertadm
