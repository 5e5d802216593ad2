#include "crypto/bignum/montgomery.h"

#include <algorithm>

#include "crypto/bignum/montgomery_ifma.h"

namespace kcertadm {
namespace {

using Wide = unsigned __int128;

// -n^-1 mod 2^64 for odd n (Newton iteration).
Limb NegInverse(Limb n) {
  Limb x = n;  // correct to 3 bits
  for (int i = 0; i < 6; ++i) x *= 2 - n * x;
  return Limb{0} - x;
}

// 2^bit mod modulus as exactly `count` limbs, by long division: for public
// moduli.
LimbVector PowerOfTwoMod(std::size_t bit, const BigNum& modulus, std::size_t count) {
  BigNum power, rem;
  power.SetBit(bit);
  static_cast<void>(BigNum::Mod(power, modulus, &rem));  // Init took an odd modulus
  LimbVector out(count, 0);
  rem.CopyLimbs(out.data(), count);
  return out;
}

}  // namespace

// 2^bit R mod n, the Montgomery form of 2^bit. R mod n comes from 2^(b-1)
// (b the modulus' bit length, so below n) doubled up to R; then the power
// is built from the bits of `bit`, high to low: a Montgomery square doubles
// it, a LimbsDoubleMod adds one. The steps follow the sizes and `bit` only,
// never the modulus' value: a prime candidate and a private key's primes
// are moduli here, and a long division's corrections would follow their
// bits.
LimbVector MontgomeryContext::PowerOfTwoMont(std::size_t bit) const {
  const std::size_t bits = 64 * size_ - static_cast<std::size_t>(__builtin_clzll(n_[size_ - 1]));
  LimbVector r(size_, 0);
  r[(bits - 1) / 64] = Limb{1} << ((bits - 1) % 64);
  LimbVector scratch(size_);
  for (std::size_t i = bits - 1; i < 64 * size_; ++i)
    LimbsDoubleMod(r.data(), 0, n_.data(), scratch.data(), size_);
  for (std::size_t k = bit == 0 ? 0 : 64 - static_cast<std::size_t>(__builtin_clzll(bit));
       k-- > 0;) {
    limb_->mul(r.data(), r.data(), r.data(), n_.data(), n0_, size_);
    if ((bit >> k) & 1) LimbsDoubleMod(r.data(), 0, n_.data(), scratch.data(), size_);
  }
  return r;
}

Limb LimbsSub(Limb* r, const Limb* a, const Limb* b, std::size_t n) {
  Limb borrow = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Wide d = static_cast<Wide>(a[i]) - b[i] - borrow;
    r[i] = static_cast<Limb>(d);
    borrow = static_cast<Limb>(d >> 64) & 1;
  }
  return borrow;
}

Limb LimbsAdd(Limb* r, const Limb* a, const Limb* b, std::size_t n) {
  Limb carry = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Wide s = static_cast<Wide>(a[i]) + b[i] + carry;
    r[i] = static_cast<Limb>(s);
    carry = static_cast<Limb>(s >> 64);
  }
  return carry;
}

void LimbsMul(Limb* r, const Limb* a, std::size_t na, const Limb* b, std::size_t nb) {
  std::fill(r, r + na + nb, 0);
  for (std::size_t i = 0; i < nb; ++i) {
    Limb carry = 0;
    for (std::size_t j = 0; j < na; ++j) {
      const Wide t = static_cast<Wide>(a[j]) * b[i] + r[i + j] + carry;
      r[i + j] = static_cast<Limb>(t);
      carry = static_cast<Limb>(t >> 64);
    }
    r[i + na] = carry;
  }
}

// y = y (2 - a y) doubles the number of correct low bits of y = a^-1.
void LimbsInverseModLimbPower(Limb* r, const Limb* a, std::size_t n) {
  LimbVector product(2 * n), correction(n), two(n, 0);
  two[0] = 2;
  std::fill(r, r + n, 0);
  r[0] = Limb{0} - NegInverse(a[0]);  // correct to 64 bits
  for (std::size_t correct = 1; correct < n; correct *= 2) {
    LimbsMul(product.data(), a, n, r, n);
    LimbsSub(correction.data(), two.data(), product.data(), n);
    LimbsMul(product.data(), r, n, correction.data(), n);
    std::copy_n(product.begin(), n, r);
  }
}

void LimbsSelect(Limb* r, Limb mask, const Limb* a, const Limb* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) r[i] = (a[i] & mask) | (b[i] & ~mask);
}

// 2 r + bit may need one bit above the n limbs, kept in `top`, and is then
// certainly at least m.
void LimbsDoubleMod(Limb* r, Limb bit, const Limb* m, Limb* scratch, std::size_t n) {
  const Limb top = r[n - 1] >> 63;
  for (std::size_t i = n - 1; i > 0; --i) r[i] = (r[i] << 1) | (r[i - 1] >> 63);
  r[0] = (r[0] << 1) | bit;
  const Limb borrow = LimbsSub(scratch, r, m, n);
  LimbsSelect(r, Limb{0} - (top | (borrow ^ 1)), scratch, r, n);
}

int MontgomeryContext::Init(const BigNum& modulus, RsaKernel kernel, Modulus kind) {
  if (!modulus.IsOdd() || modulus.IsOne()) return kBigNumBadArgument;
  if (modulus.limbs().size() > kMaxMontLimbs) return kBigNumTooLarge;
  size_ = modulus.limbs().size();
  kernel_ = RsaKernelAvailable(kernel) ? kernel : RsaKernel::kPortable;
  limb_ = &LimbKernelFor(kernel_);
  n_.assign(modulus.limbs().begin(), modulus.limbs().end());
  n0_ = NegInverse(n_[0]);
  const bool is_public = kind == Modulus::kPublic;
  one_ = is_public ? PowerOfTwoMod(64 * size_, modulus, size_) : PowerOfTwoMont(0);
  rr_ = is_public ? PowerOfTwoMod(128 * size_, modulus, size_) : PowerOfTwoMont(64 * size_);
  if (kernel_ == RsaKernel::kIfma) {
    digits_ = ifma::DigitsFor(modulus.BitLength());
    const std::size_t words = ifma::Words(digits_);
    n52_.assign(words, 0);
    ifma::ToDigits(n52_.data(), words, n_.data(), size_);
    k52_ = n0_ & ifma::kDigitMask;
    const std::size_t rr_limbs = (2 * ifma::kDigitBits * digits_) / 64 + 1;
    LimbVector rr(rr_limbs, 0);  // 2^(2 * 52 * digits) mod n, plain
    if (is_public)
      rr = PowerOfTwoMod(2 * ifma::kDigitBits * digits_, modulus, rr_limbs);
    else
      FromMont(rr.data(), PowerOfTwoMont(2 * ifma::kDigitBits * digits_).data());
    rr52_.assign(words, 0);
    ifma::ToDigits(rr52_.data(), words, rr.data(), rr_limbs);
  }
  return kBigNumOk;
}

void MontgomeryContext::FromMont(Limb* r, const Limb* a) const {
  LimbVector unit(size_, 0);
  unit[0] = 1;
  Mul(r, a, unit.data());
}

void MontgomeryContext::Reduce(Limb* r, const Limb* x, std::size_t x_limbs) const {
  // x R = sum of chunk_i R^(i + 1): each chunk of size() limbs is multiplied
  // by R^(i + 2) mod n.
  LimbVector acc(size_, 0), chunk(size_), term(size_), sum(size_), power(rr_);
  for (std::size_t start = 0; start < x_limbs; start += size_) {
    std::fill(chunk.begin(), chunk.end(), 0);
    std::copy_n(x + start, std::min(size_, x_limbs - start), chunk.begin());
    Mul(term.data(), chunk.data(), power.data());
    const Limb carry = LimbsAdd(acc.data(), acc.data(), term.data(), size_);
    const Limb borrow = LimbsSub(sum.data(), acc.data(), n_.data(), size_);
    LimbsSelect(acc.data(), Limb{0} - (borrow & ~carry & 1), acc.data(), sum.data(), size_);
    if (start + size_ < x_limbs) Mul(power.data(), power.data(), rr_.data());
  }
  FromMont(r, acc.data());
}

void MontgomeryContext::SubMod(Limb* r, const Limb* a, const Limb* b) const {
  LimbVector sum(size_);
  const Limb borrow = LimbsSub(r, a, b, size_);
  LimbsAdd(sum.data(), r, n_.data(), size_);
  LimbsSelect(r, Limb{0} - borrow, sum.data(), r, size_);
}

}  // namespace kcertadm
