#include "crypto/montgomery.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kcertadm {
namespace {

using Wide = unsigned __int128;

// Coarsely integrated operand scanning Montgomery multiplication for N
// limbs known at compile time. The final subtraction of the modulus is
// done by masks, not by a branch. The stack temporaries are not wiped per
// call (the next call overwrites them); the exponentiations wipe their own
// buffers.
template <std::size_t N>
void MontMulFixed(Limb* r, const Limb* a, const Limb* b, const Limb* n,
                  Limb n0) {
  Limb t[N + 2] = {};
  for (std::size_t i = 0; i < N; ++i) {
    const Limb bi = b[i];
    Limb carry = 0;
    for (std::size_t j = 0; j < N; ++j) {
      const Wide s = static_cast<Wide>(a[j]) * bi + t[j] + carry;
      t[j] = static_cast<Limb>(s);
      carry = static_cast<Limb>(s >> 64);
    }
    Wide s = static_cast<Wide>(t[N]) + carry;
    t[N] = static_cast<Limb>(s);
    t[N + 1] = static_cast<Limb>(s >> 64);

    const Limb m = t[0] * n0;
    s = static_cast<Wide>(m) * n[0] + t[0];
    carry = static_cast<Limb>(s >> 64);
    for (std::size_t j = 1; j < N; ++j) {
      s = static_cast<Wide>(m) * n[j] + t[j] + carry;
      t[j - 1] = static_cast<Limb>(s);
      carry = static_cast<Limb>(s >> 64);
    }
    s = static_cast<Wide>(t[N]) + carry;
    t[N - 1] = static_cast<Limb>(s);
    t[N] = t[N + 1] + static_cast<Limb>(s >> 64);
  }
  // t < 2n: subtract n unless that borrows past the top limb t[N].
  Limb d[N];
  Limb borrow = 0;
  for (std::size_t j = 0; j < N; ++j) {
    const Wide diff = static_cast<Wide>(t[j]) - n[j] - borrow;
    d[j] = static_cast<Limb>(diff);
    borrow = static_cast<Limb>(diff >> 64) & 1;
  }
  const Limb keep_t = Limb{0} - (borrow & ~t[N] & 1);
  for (std::size_t j = 0; j < N; ++j) r[j] = (t[j] & keep_t) | (d[j] & ~keep_t);
}

template <std::size_t... I>
constexpr std::array<MontgomeryContext::MulFn, sizeof...(I)> MakeMulTable(
    std::index_sequence<I...>) {
  return {&MontMulFixed<I + 1>...};
}

constexpr auto kMulTable =
    MakeMulTable(std::make_index_sequence<kMaxMontLimbs>{});

// -n^-1 mod 2^64 for odd n (Newton iteration).
Limb NegInverse(Limb n) {
  Limb x = n;  // correct to 3 bits
  for (int i = 0; i < 6; ++i) x *= 2 - n * x;
  return Limb{0} - x;
}

// Constant-time equality mask: all ones when a == b.
inline Limb EqualMask(Limb a, Limb b) {
  const Limb x = a ^ b;
  return ((x | (Limb{0} - x)) >> 63) - 1;
}

}  // namespace

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

void LimbsSelect(Limb* r, Limb mask, const Limb* a, const Limb* b,
                 std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) r[i] = (a[i] & mask) | (b[i] & ~mask);
}

int MontgomeryContext::Init(const BigNum& modulus) {
  if (!modulus.IsOdd() || modulus.IsOne()) return kBigNumBadArgument;
  size_ = modulus.limbs().size();
  if (size_ > kMaxMontLimbs) return kBigNumTooLarge;
  n_.assign(modulus.limbs().begin(), modulus.limbs().end());
  n0_ = NegInverse(n_[0]);
  mul_ = kMulTable[size_ - 1];
  sqr_ = mul_;

  // R mod n and R^2 mod n with R = 2^(64 size).
  BigNum r;
  r.SetBit(64 * size_);
  BigNum rem;
  BigNum::Mod(r, modulus, &rem);
  one_.assign(size_, 0);
  rem.CopyLimbs(one_.data(), size_);
  BigNum r2;
  r2.SetBit(128 * size_);
  BigNum::Mod(r2, modulus, &rem);
  rr_.assign(size_, 0);
  rem.CopyLimbs(rr_.data(), size_);
  return kBigNumOk;
}

void MontgomeryContext::ToMont(Limb* r, const BigNum& x) const {
  LimbVector tmp(size_);
  x.CopyLimbs(tmp.data(), size_);
  Mul(r, tmp.data(), rr_.data());
}

void MontgomeryContext::FromMont(Limb* r, const Limb* a) const {
  LimbVector unit(size_, 0);
  unit[0] = 1;
  Mul(r, a, unit.data());
}

BigNum MontgomeryContext::Exp(const BigNum& base, const BigNum& exponent) const {
  const std::size_t n = size_;
  BigNum reduced;
  if (base.limbs().size() > n || !(base < BigNum::FromLimbs(n_.data(), n))) {
    BigNum::Mod(base, BigNum::FromLimbs(n_.data(), n), &reduced);
  } else {
    reduced = base;
  }
  LimbVector acc(n), b(n);
  ToMont(b.data(), reduced);
  const std::size_t bits = exponent.BitLength();
  if (bits == 0) {
    FromMont(acc.data(), one_.data());
    return BigNum::FromLimbs(acc.data(), n);
  }
  // Sliding window over the exponent; odd powers base^1, base^3, ...
  const int window = bits > 512 ? 5 : bits > 128 ? 4 : bits > 24 ? 3 : 1;
  const std::size_t table_size = std::size_t{1} << (window - 1);
  LimbVector table(table_size * n), b2(n);
  std::copy(b.begin(), b.end(), table.begin());
  if (table_size > 1) {
    Sqr(b2.data(), b.data());
    for (std::size_t i = 1; i < table_size; ++i)
      Mul(&table[i * n], &table[(i - 1) * n], b2.data());
  }
  bool started = false;
  std::size_t i = bits;
  while (i > 0) {
    if (!exponent.Bit(i - 1)) {
      if (started) Sqr(acc.data(), acc.data());
      --i;
      continue;
    }
    // Longest window of at most `window` bits ending in a 1 bit.
    std::size_t len = std::min<std::size_t>(window, i);
    while (!exponent.Bit(i - len)) --len;
    Limb value = 0;
    for (std::size_t k = 0; k < len; ++k)
      value = (value << 1) | (exponent.Bit(i - 1 - k) ? 1 : 0);
    if (started) {
      for (std::size_t k = 0; k < len; ++k) Sqr(acc.data(), acc.data());
      Mul(acc.data(), acc.data(), &table[(value >> 1) * n]);
    } else {
      std::copy_n(&table[(value >> 1) * n], n, acc.begin());
      started = true;
    }
    i -= len;
  }
  FromMont(acc.data(), acc.data());
  return BigNum::FromLimbs(acc.data(), n);
}

void MontgomeryContext::ExpConstTime(Limb* r, const Limb* base_mont,
                                     const Limb* exp,
                                     std::size_t exp_bits) const {
  constexpr std::size_t kWindow = 5;
  constexpr std::size_t kEntries = std::size_t{1} << kWindow;
  const std::size_t n = size_;
  LimbVector table(kEntries * n), selected(n), acc(n);
  std::copy_n(one_.data(), n, &table[0]);
  std::copy_n(base_mont, n, &table[n]);
  for (std::size_t i = 2; i < kEntries; ++i) {
    if (i % 2 == 0)
      Sqr(&table[i * n], &table[(i / 2) * n]);
    else
      Mul(&table[i * n], &table[(i - 1) * n], base_mont);
  }

  auto window_at = [&](std::size_t low_bit) {
    Limb value = 0;
    for (std::size_t k = kWindow; k-- > 0;) {
      const std::size_t bit = low_bit + k;
      const Limb b = bit < exp_bits ? (exp[bit / 64] >> (bit % 64)) & 1 : 0;
      value = (value << 1) | b;
    }
    return value;
  };
  auto select = [&](Limb value) {
    std::fill(selected.begin(), selected.end(), 0);
    for (std::size_t e = 0; e < kEntries; ++e) {
      const Limb mask = EqualMask(e, value);
      const Limb* entry = &table[e * n];
      for (std::size_t j = 0; j < n; ++j) selected[j] |= entry[j] & mask;
    }
  };

  const std::size_t windows = (exp_bits + kWindow - 1) / kWindow;
  if (windows == 0) {
    std::copy_n(one_.data(), n, r);
    return;
  }
  select(window_at((windows - 1) * kWindow));
  acc = selected;
  for (std::size_t w = windows - 1; w-- > 0;) {
    for (std::size_t k = 0; k < kWindow; ++k) Sqr(acc.data(), acc.data());
    select(window_at(w * kWindow));
    Mul(acc.data(), acc.data(), selected.data());
  }
  std::copy_n(acc.data(), n, r);
}

}  // namespace kcertadm
