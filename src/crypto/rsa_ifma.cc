#include "crypto/rsa_ifma.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "crypto/secure_memory.h"

namespace kcertadm {
namespace {

constexpr std::uint64_t kMask52 = (std::uint64_t{1} << 52) - 1;
constexpr std::size_t kLanes = IfmaMontgomery::kLanes;

// 64-bit limbs -> 52-bit limbs (kLanes of them).
void To52(std::uint64_t* out, const Limb* in, std::size_t size64) {
  std::memset(out, 0, kLanes * 8);
  for (std::size_t i = 0; i < kLanes; ++i) {
    const std::size_t bit = 52 * i, limb = bit / 64, shift = bit % 64;
    if (limb >= size64) break;
    std::uint64_t v = in[limb] >> shift;
    if (shift > 12 && limb + 1 < size64) v |= in[limb + 1] << (64 - shift);
    out[i] = v & kMask52;
  }
}

// 52-bit limbs (normalised) -> 64-bit limbs.
void From52(Limb* out, const std::uint64_t* in, std::size_t size64) {
  std::fill(out, out + size64, 0);
  for (std::size_t i = 0; i < kLanes; ++i) {
    const std::size_t bit = 52 * i, limb = bit / 64, shift = bit % 64;
    if (limb < size64) out[limb] |= in[i] << shift;
    if (shift > 12 && limb + 1 < size64) out[limb + 1] |= in[i] >> (64 - shift);
  }
}

#define KCERTADM_IFMA __attribute__((target("avx512f,avx512ifma")))

// Stores the lanes with the carries between them propagated.
KCERTADM_IFMA inline void Normalise(std::uint64_t* r, __m512i c0, __m512i c1, __m512i c2) {
  alignas(64) std::uint64_t t[kLanes];
  _mm512_store_si512(t, c0);
  _mm512_store_si512(t + 8, c1);
  _mm512_store_si512(t + 16, c2);
  std::uint64_t carry = 0;
  for (std::size_t j = 0; j < kLanes; ++j) {
    const std::uint64_t value = t[j] + carry;
    r[j] = value & kMask52;
    carry = value >> 52;
  }
}

// Almost-Montgomery product r = a * b / R mod n (r < 2n for a, b < 2n),
// limbs of 52 bits, `lanes` limbs in use and the rest zero; r normalised.
// Per step: m from lane 0 (kept in scalar registers), the low halves of
// a * b[i] and m * n added, every lane moved down by one, the high halves
// added (they belong one lane up, which after the move is the same lane).
KCERTADM_IFMA void AlmostMontMul(std::uint64_t* r0, const std::uint64_t* a0, const std::uint64_t* b0,
                                 const std::uint64_t* n0, std::uint64_t k0, std::size_t lanes) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i A00 = _mm512_load_si512(a0), A01 = _mm512_load_si512(a0 + 8), A02 = _mm512_load_si512(a0 + 16);
  const __m512i N00 = _mm512_load_si512(n0), N01 = _mm512_load_si512(n0 + 8), N02 = _mm512_load_si512(n0 + 16);
  __m512i c00 = zero, c01 = zero, c02 = zero, vb0, vm0;
  std::uint64_t carry0;
  for (std::size_t i = 0; i < lanes; ++i) {
    {
      const std::uint64_t bi = b0[i];
      vb0 = _mm512_set1_epi64(static_cast<long long>(bi));
      const std::uint64_t lane0 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_castsi512_si128(c00)));
      const std::uint64_t t0 = lane0 + ((a0[0] * bi) & kMask52);
      const std::uint64_t m = (t0 * k0) & kMask52;
      carry0 = (t0 + ((n0[0] * m) & kMask52)) >> 52;
      vm0 = _mm512_set1_epi64(static_cast<long long>(m));
    }
    c00 = _mm512_madd52lo_epu64(c00, A00, vb0);
    c01 = _mm512_madd52lo_epu64(c01, A01, vb0);
    c02 = _mm512_madd52lo_epu64(c02, A02, vb0);
    c00 = _mm512_madd52lo_epu64(c00, N00, vm0);
    c01 = _mm512_madd52lo_epu64(c01, N01, vm0);
    c02 = _mm512_madd52lo_epu64(c02, N02, vm0);
    c00 = _mm512_alignr_epi64(c01, c00, 1);
    c01 = _mm512_alignr_epi64(c02, c01, 1);
    c02 = _mm512_alignr_epi64(zero, c02, 1);
    c00 = _mm512_add_epi64(c00, _mm512_zextsi128_si512(_mm_cvtsi64_si128(static_cast<long long>(carry0))));
    c00 = _mm512_madd52hi_epu64(c00, A00, vb0);
    c01 = _mm512_madd52hi_epu64(c01, A01, vb0);
    c02 = _mm512_madd52hi_epu64(c02, A02, vb0);
    c00 = _mm512_madd52hi_epu64(c00, N00, vm0);
    c01 = _mm512_madd52hi_epu64(c01, N01, vm0);
    c02 = _mm512_madd52hi_epu64(c02, N02, vm0);
  }
  Normalise(r0, c00, c01, c02);
}

// Two independent products in one loop, so that the latency of one hides
// behind the other (the two halves of a CRT exponentiation).
KCERTADM_IFMA void AlmostMontMul2(std::uint64_t* r0, const std::uint64_t* a0, const std::uint64_t* b0,
                                  const std::uint64_t* n0, std::uint64_t k0, std::uint64_t* r1,
                                  const std::uint64_t* a1, const std::uint64_t* b1,
                                  const std::uint64_t* n1, std::uint64_t k1, std::size_t lanes) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i A00 = _mm512_load_si512(a0), A01 = _mm512_load_si512(a0 + 8), A02 = _mm512_load_si512(a0 + 16);
  const __m512i N00 = _mm512_load_si512(n0), N01 = _mm512_load_si512(n0 + 8), N02 = _mm512_load_si512(n0 + 16);
  __m512i c00 = zero, c01 = zero, c02 = zero, vb0, vm0;
  std::uint64_t carry0;
  const __m512i A10 = _mm512_load_si512(a1), A11 = _mm512_load_si512(a1 + 8), A12 = _mm512_load_si512(a1 + 16);
  const __m512i N10 = _mm512_load_si512(n1), N11 = _mm512_load_si512(n1 + 8), N12 = _mm512_load_si512(n1 + 16);
  __m512i c10 = zero, c11 = zero, c12 = zero, vb1, vm1;
  std::uint64_t carry1;
  for (std::size_t i = 0; i < lanes; ++i) {
    {
      const std::uint64_t bi = b0[i];
      vb0 = _mm512_set1_epi64(static_cast<long long>(bi));
      const std::uint64_t lane0 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_castsi512_si128(c00)));
      const std::uint64_t t0 = lane0 + ((a0[0] * bi) & kMask52);
      const std::uint64_t m = (t0 * k0) & kMask52;
      carry0 = (t0 + ((n0[0] * m) & kMask52)) >> 52;
      vm0 = _mm512_set1_epi64(static_cast<long long>(m));
    }
    {
      const std::uint64_t bi = b1[i];
      vb1 = _mm512_set1_epi64(static_cast<long long>(bi));
      const std::uint64_t lane0 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_castsi512_si128(c10)));
      const std::uint64_t t0 = lane0 + ((a1[0] * bi) & kMask52);
      const std::uint64_t m = (t0 * k1) & kMask52;
      carry1 = (t0 + ((n1[0] * m) & kMask52)) >> 52;
      vm1 = _mm512_set1_epi64(static_cast<long long>(m));
    }
    c00 = _mm512_madd52lo_epu64(c00, A00, vb0);
    c01 = _mm512_madd52lo_epu64(c01, A01, vb0);
    c02 = _mm512_madd52lo_epu64(c02, A02, vb0);
    c00 = _mm512_madd52lo_epu64(c00, N00, vm0);
    c01 = _mm512_madd52lo_epu64(c01, N01, vm0);
    c02 = _mm512_madd52lo_epu64(c02, N02, vm0);
    c10 = _mm512_madd52lo_epu64(c10, A10, vb1);
    c11 = _mm512_madd52lo_epu64(c11, A11, vb1);
    c12 = _mm512_madd52lo_epu64(c12, A12, vb1);
    c10 = _mm512_madd52lo_epu64(c10, N10, vm1);
    c11 = _mm512_madd52lo_epu64(c11, N11, vm1);
    c12 = _mm512_madd52lo_epu64(c12, N12, vm1);
    c00 = _mm512_alignr_epi64(c01, c00, 1);
    c01 = _mm512_alignr_epi64(c02, c01, 1);
    c02 = _mm512_alignr_epi64(zero, c02, 1);
    c00 = _mm512_add_epi64(c00, _mm512_zextsi128_si512(_mm_cvtsi64_si128(static_cast<long long>(carry0))));
    c10 = _mm512_alignr_epi64(c11, c10, 1);
    c11 = _mm512_alignr_epi64(c12, c11, 1);
    c12 = _mm512_alignr_epi64(zero, c12, 1);
    c10 = _mm512_add_epi64(c10, _mm512_zextsi128_si512(_mm_cvtsi64_si128(static_cast<long long>(carry1))));
    c00 = _mm512_madd52hi_epu64(c00, A00, vb0);
    c01 = _mm512_madd52hi_epu64(c01, A01, vb0);
    c02 = _mm512_madd52hi_epu64(c02, A02, vb0);
    c00 = _mm512_madd52hi_epu64(c00, N00, vm0);
    c01 = _mm512_madd52hi_epu64(c01, N01, vm0);
    c02 = _mm512_madd52hi_epu64(c02, N02, vm0);
    c10 = _mm512_madd52hi_epu64(c10, A10, vb1);
    c11 = _mm512_madd52hi_epu64(c11, A11, vb1);
    c12 = _mm512_madd52hi_epu64(c12, A12, vb1);
    c10 = _mm512_madd52hi_epu64(c10, N10, vm1);
    c11 = _mm512_madd52hi_epu64(c11, N11, vm1);
    c12 = _mm512_madd52hi_epu64(c12, N12, vm1);
  }
  Normalise(r0, c00, c01, c02);
  Normalise(r1, c10, c11, c12);
}

// r = v mod n for v < 2n, constant time (52-bit limbs).
void FinalSubtract(std::uint64_t* r, const std::uint64_t* v, const std::uint64_t* n) {
  std::uint64_t d[kLanes];
  std::uint64_t borrow = 0;
  for (std::size_t j = 0; j < kLanes; ++j) {
    const std::uint64_t x = v[j] - n[j] - borrow;
    d[j] = x & kMask52;
    borrow = x >> 63;
  }
  const std::uint64_t keep_v = 0 - borrow;
  for (std::size_t j = 0; j < kLanes; ++j) r[j] = (v[j] & keep_v) | (d[j] & ~keep_v);
}

inline std::uint64_t EqualMask(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t x = a ^ b;
  return ((x | (0 - x)) >> 63) - 1;
}

// sel = table[value], reading every entry (32 entries of kLanes limbs).
KCERTADM_IFMA void SelectEntry(std::uint64_t* sel, const std::uint64_t (*table)[kLanes],
                               std::uint64_t value) {
  __m512i s0 = _mm512_setzero_si512(), s1 = s0, s2 = s0;
  for (std::size_t e = 0; e < 32; ++e) {
    const __m512i mask = _mm512_set1_epi64(static_cast<long long>(EqualMask(e, value)));
    s0 = _mm512_or_si512(s0, _mm512_and_si512(mask, _mm512_load_si512(table[e])));
    s1 = _mm512_or_si512(s1, _mm512_and_si512(mask, _mm512_load_si512(table[e] + 8)));
    s2 = _mm512_or_si512(s2, _mm512_and_si512(mask, _mm512_load_si512(table[e] + 16)));
  }
  _mm512_store_si512(sel, s0);
  _mm512_store_si512(sel + 8, s1);
  _mm512_store_si512(sel + 16, s2);
}

}  // namespace

namespace {

constexpr std::size_t kWideLanes = IfmaPublicExp::kLanes;

// The almost-Montgomery product of AlmostMontMul over 40 limbs (five
// vectors), for the public-key operation.
KCERTADM_IFMA void AlmostMontMulWide(std::uint64_t* r, const std::uint64_t* a, const std::uint64_t* b,
                                     const std::uint64_t* n, std::uint64_t k0, std::size_t lanes) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i A0 = _mm512_load_si512(a + 0), N0 = _mm512_load_si512(n + 0);
  __m512i c0 = zero;
  const __m512i A1 = _mm512_load_si512(a + 8), N1 = _mm512_load_si512(n + 8);
  __m512i c1 = zero;
  const __m512i A2 = _mm512_load_si512(a + 16), N2 = _mm512_load_si512(n + 16);
  __m512i c2 = zero;
  const __m512i A3 = _mm512_load_si512(a + 24), N3 = _mm512_load_si512(n + 24);
  __m512i c3 = zero;
  const __m512i A4 = _mm512_load_si512(a + 32), N4 = _mm512_load_si512(n + 32);
  __m512i c4 = zero;
  for (std::size_t i = 0; i < lanes; ++i) {
    const std::uint64_t bi = b[i];
    const __m512i vb = _mm512_set1_epi64(static_cast<long long>(bi));
    const std::uint64_t lane0 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_castsi512_si128(c0)));
    const std::uint64_t t0 = lane0 + ((a[0] * bi) & kMask52);
    const std::uint64_t m = (t0 * k0) & kMask52;
    const std::uint64_t carry = (t0 + ((n[0] * m) & kMask52)) >> 52;
    const __m512i vm = _mm512_set1_epi64(static_cast<long long>(m));
    c0 = _mm512_madd52lo_epu64(c0, A0, vb);
    c0 = _mm512_madd52lo_epu64(c0, N0, vm);
    c1 = _mm512_madd52lo_epu64(c1, A1, vb);
    c1 = _mm512_madd52lo_epu64(c1, N1, vm);
    c2 = _mm512_madd52lo_epu64(c2, A2, vb);
    c2 = _mm512_madd52lo_epu64(c2, N2, vm);
    c3 = _mm512_madd52lo_epu64(c3, A3, vb);
    c3 = _mm512_madd52lo_epu64(c3, N3, vm);
    c4 = _mm512_madd52lo_epu64(c4, A4, vb);
    c4 = _mm512_madd52lo_epu64(c4, N4, vm);
    c0 = _mm512_alignr_epi64(c1, c0, 1);
    c1 = _mm512_alignr_epi64(c2, c1, 1);
    c2 = _mm512_alignr_epi64(c3, c2, 1);
    c3 = _mm512_alignr_epi64(c4, c3, 1);
    c4 = _mm512_alignr_epi64(zero, c4, 1);
    c0 = _mm512_add_epi64(c0, _mm512_zextsi128_si512(_mm_cvtsi64_si128(static_cast<long long>(carry))));
    c0 = _mm512_madd52hi_epu64(c0, A0, vb);
    c0 = _mm512_madd52hi_epu64(c0, N0, vm);
    c1 = _mm512_madd52hi_epu64(c1, A1, vb);
    c1 = _mm512_madd52hi_epu64(c1, N1, vm);
    c2 = _mm512_madd52hi_epu64(c2, A2, vb);
    c2 = _mm512_madd52hi_epu64(c2, N2, vm);
    c3 = _mm512_madd52hi_epu64(c3, A3, vb);
    c3 = _mm512_madd52hi_epu64(c3, N3, vm);
    c4 = _mm512_madd52hi_epu64(c4, A4, vb);
    c4 = _mm512_madd52hi_epu64(c4, N4, vm);
  }
  alignas(64) std::uint64_t t[kWideLanes];
  _mm512_store_si512(t + 0, c0);
  _mm512_store_si512(t + 8, c1);
  _mm512_store_si512(t + 16, c2);
  _mm512_store_si512(t + 24, c3);
  _mm512_store_si512(t + 32, c4);
  std::uint64_t carry = 0;
  for (std::size_t j = 0; j < kWideLanes; ++j) {
    const std::uint64_t value = t[j] + carry;
    r[j] = value & kMask52;
    carry = value >> 52;
  }
}

void ToLanes(std::uint64_t* out, std::size_t lanes, const Limb* in, std::size_t size64) {
  std::memset(out, 0, lanes * 8);
  for (std::size_t i = 0; i < lanes; ++i) {
    const std::size_t bit = 52 * i, limb = bit / 64, shift = bit % 64;
    if (limb >= size64) break;
    std::uint64_t v = in[limb] >> shift;
    if (shift > 12 && limb + 1 < size64) v |= in[limb + 1] << (64 - shift);
    out[i] = v & kMask52;
  }
}

void FromLanes(Limb* out, std::size_t size64, const std::uint64_t* in, std::size_t lanes) {
  std::fill(out, out + size64, 0);
  for (std::size_t i = 0; i < lanes; ++i) {
    const std::size_t bit = 52 * i, limb = bit / 64, shift = bit % 64;
    if (limb < size64) out[limb] |= in[i] << shift;
    if (shift > 12 && limb + 1 < size64) out[limb + 1] |= in[i] >> (64 - shift);
  }
}

std::atomic<bool> g_ifma_disabled{false};

}  // namespace

void SetIfmaDisabledForTesting(bool disabled) { g_ifma_disabled.store(disabled); }

bool IfmaPublicExp::Init(const BigNum& modulus) {
  if (!modulus.IsOdd() || modulus.IsOne()) return false;
  lanes_ = (modulus.BitLength() + 2 + 51) / 52;
  if (lanes_ > kLanes) return false;
  modulus_ = modulus;
  size64_ = modulus.limbs().size();
  ToLanes(n_, kLanes, modulus.limbs().data(), size64_);
  std::uint64_t inv = n_[0];
  for (int i = 0; i < 6; ++i) inv *= 2 - n_[0] * inv;
  k0_ = (0 - inv) & kMask52;
  BigNum r2, rem;
  r2.SetBit(2 * 52 * lanes_);
  BigNum::Mod(r2, modulus, &rem);
  LimbVector tmp((2 * 52 * lanes_) / 64 + 2, 0);
  rem.CopyLimbs(tmp.data(), tmp.size());
  ToLanes(rr_, kLanes, tmp.data(), tmp.size());
  return true;
}

BigNum IfmaPublicExp::Exp(const BigNum& x, const BigNum& e) const {
  BigNum reduced;
  BigNum::Mod(x, modulus_, &reduced);
  LimbVector limbs(size64_, 0);
  reduced.CopyLimbs(limbs.data(), size64_);
  alignas(64) std::uint64_t base[kLanes], acc[kLanes], one[kLanes] = {};
  one[0] = 1;
  ToLanes(base, kLanes, limbs.data(), size64_);
  AlmostMontMulWide(base, base, rr_, n_, k0_, lanes_);
  AlmostMontMulWide(acc, one, rr_, n_, k0_, lanes_);
  for (std::size_t i = e.BitLength(); i-- > 0;) {
    AlmostMontMulWide(acc, acc, acc, n_, k0_, lanes_);
    if (e.Bit(i)) AlmostMontMulWide(acc, acc, base, n_, k0_, lanes_);
  }
  AlmostMontMulWide(acc, acc, one, n_, k0_, lanes_);
  FromLanes(limbs.data(), size64_, acc, kLanes);
  BigNum result = BigNum::FromLimbs(limbs.data(), size64_);
  if (!(result < modulus_)) result = BigNum::Sub(result, modulus_);  // at most n
  return result;
}

bool IfmaAvailable() {
  static const bool available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512ifma");
  return available && !g_ifma_disabled.load();
}

IfmaMontgomery::~IfmaMontgomery() {
  SecureWipe(n_, sizeof n_);
  SecureWipe(rr_, sizeof rr_);
}

bool IfmaMontgomery::Init(const BigNum& modulus) {
  if (!modulus.IsOdd()) return false;
  const std::size_t bits = modulus.BitLength();
  lanes_ = (bits + 2 + 51) / 52;  // 4 n < R
  if (lanes_ > kLanes) return false;
  size64_ = modulus.limbs().size();
  To52(n_, modulus.limbs().data(), size64_);
  std::uint64_t inv = n_[0];
  for (int i = 0; i < 6; ++i) inv *= 2 - n_[0] * inv;
  k0_ = (0 - inv) & kMask52;
  BigNum r2, rem;
  r2.SetBit(2 * 52 * lanes_);
  BigNum::Mod(r2, modulus, &rem);
  LimbVector tmp((2 * 52 * lanes_) / 64 + 2, 0);
  rem.CopyLimbs(tmp.data(), tmp.size());
  To52(rr_, tmp.data(), tmp.size());
  return true;
}

namespace {

// Bits low_bit .. low_bit + 4 of the exponent (beyond exp_bits: zero).
std::uint64_t WindowAt(const Limb* exp, std::size_t exp_bits, std::size_t low_bit) {
  std::uint64_t value = 0;
  for (std::size_t k = 5; k-- > 0;) {
    const std::size_t bit = low_bit + k;
    const std::uint64_t b = bit < exp_bits ? (exp[bit / 64] >> (bit % 64)) & 1 : 0;
    value = (value << 1) | b;
  }
  return value;
}

}  // namespace

KCERTADM_IFMA void IfmaMontgomery::ExpConstTime2(const IfmaMontgomery& a, Limb* ra, const Limb* xa,
                                                 const Limb* ea, const IfmaMontgomery& b, Limb* rb,
                                                 const Limb* xb, const Limb* eb, std::size_t exp_bits) {
  constexpr std::size_t kWindow = 5, kEntries = 32;
  const std::size_t lanes = a.lanes_;
  struct Side {
    alignas(64) std::uint64_t table[kEntries][kLanes];
    alignas(64) std::uint64_t base[kLanes], acc[kLanes], sel[kLanes];
  };
  alignas(64) Side sa, sb;
  alignas(64) std::uint64_t one[kLanes] = {};
  one[0] = 1;
  To52(sa.base, xa, a.size64_);
  To52(sb.base, xb, b.size64_);
  AlmostMontMul2(sa.base, sa.base, a.rr_, a.n_, a.k0_, sb.base, sb.base, b.rr_, b.n_, b.k0_, lanes);
  AlmostMontMul2(sa.table[0], one, a.rr_, a.n_, a.k0_, sb.table[0], one, b.rr_, b.n_, b.k0_, lanes);
  std::memcpy(sa.table[1], sa.base, sizeof sa.base);
  std::memcpy(sb.table[1], sb.base, sizeof sb.base);
  for (std::size_t i = 2; i < kEntries; ++i)
    AlmostMontMul2(sa.table[i], sa.table[i / 2], sa.table[i - i / 2], a.n_, a.k0_, sb.table[i],
                   sb.table[i / 2], sb.table[i - i / 2], b.n_, b.k0_, lanes);
  const std::size_t windows = (exp_bits + kWindow - 1) / kWindow;
  if (windows == 0) {
    std::memcpy(sa.acc, sa.table[0], sizeof sa.acc);
    std::memcpy(sb.acc, sb.table[0], sizeof sb.acc);
  } else {
    SelectEntry(sa.acc, sa.table, WindowAt(ea, exp_bits, (windows - 1) * kWindow));
    SelectEntry(sb.acc, sb.table, WindowAt(eb, exp_bits, (windows - 1) * kWindow));
    for (std::size_t w = windows - 1; w-- > 0;) {
      for (std::size_t k = 0; k < kWindow; ++k)
        AlmostMontMul2(sa.acc, sa.acc, sa.acc, a.n_, a.k0_, sb.acc, sb.acc, sb.acc, b.n_, b.k0_, lanes);
      SelectEntry(sa.sel, sa.table, WindowAt(ea, exp_bits, w * kWindow));
      SelectEntry(sb.sel, sb.table, WindowAt(eb, exp_bits, w * kWindow));
      AlmostMontMul2(sa.acc, sa.acc, sa.sel, a.n_, a.k0_, sb.acc, sb.acc, sb.sel, b.n_, b.k0_, lanes);
    }
  }
  AlmostMontMul2(sa.acc, sa.acc, one, a.n_, a.k0_, sb.acc, sb.acc, one, b.n_, b.k0_, lanes);
  FinalSubtract(sa.acc, sa.acc, a.n_);
  FinalSubtract(sb.acc, sb.acc, b.n_);
  From52(ra, sa.acc, a.size64_);
  From52(rb, sb.acc, b.size64_);
  SecureWipe(&sa, sizeof sa);
  SecureWipe(&sb, sizeof sb);
}

KCERTADM_IFMA void IfmaMontgomery::ExpConstTime(Limb* r, const Limb* x, const Limb* exp,
                                                std::size_t exp_bits) const {
  constexpr std::size_t kWindow = 5, kEntries = 32;
  alignas(64) std::uint64_t table[kEntries][kLanes];
  alignas(64) std::uint64_t base[kLanes], acc[kLanes], sel[kLanes], one[kLanes] = {};
  To52(base, x, size64_);
  AlmostMontMul(base, base, rr_, n_, k0_, lanes_);  // x R
  one[0] = 1;
  AlmostMontMul(table[0], one, rr_, n_, k0_, lanes_);  // R
  std::memcpy(table[1], base, sizeof base);
  for (std::size_t i = 2; i < kEntries; ++i)
    AlmostMontMul(table[i], table[i / 2], table[i - i / 2], n_, k0_, lanes_);

  auto window_at = [&](std::size_t low_bit) {
    std::uint64_t value = 0;
    for (std::size_t k = kWindow; k-- > 0;) {
      const std::size_t bit = low_bit + k;
      const std::uint64_t b = bit < exp_bits ? (exp[bit / 64] >> (bit % 64)) & 1 : 0;
      value = (value << 1) | b;
    }
    return value;
  };
  auto select = [&](std::uint64_t value) { SelectEntry(sel, table, value); };

  const std::size_t windows = (exp_bits + kWindow - 1) / kWindow;
  if (windows == 0) {
    std::memcpy(acc, table[0], sizeof acc);
  } else {
    select(window_at((windows - 1) * kWindow));
    std::memcpy(acc, sel, sizeof acc);
    for (std::size_t w = windows - 1; w-- > 0;) {
      for (std::size_t k = 0; k < kWindow; ++k) AlmostMontMul(acc, acc, acc, n_, k0_, lanes_);
      select(window_at(w * kWindow));
      AlmostMontMul(acc, acc, sel, n_, k0_, lanes_);
    }
  }
  AlmostMontMul(acc, acc, one, n_, k0_, lanes_);  // out of Montgomery form, below n + 1
  FinalSubtract(acc, acc, n_);
  From52(r, acc, size64_);
  SecureWipe(table, sizeof table);
  SecureWipe(base, sizeof base);
  SecureWipe(acc, sizeof acc);
  SecureWipe(sel, sizeof sel);
}

}  // namespace kcertadm
