#include "crypto/bignum/montgomery_ifma.h"

// g++ 12 takes the undefined pass-through operand inside its own
// alignr and extract intrinsics for an uninitialised variable once the
// vectors of the larger sizes spill to memory.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <array>
#include <utility>

#include "base/secure_memory.h"

namespace kcertadm::ifma {
namespace {

constexpr std::size_t kMaxVectors = kMaxDigits / 8;

#define KCERTADM_IFMA __attribute__((target("avx512f,avx512ifma")))

// The state of one product in registers: V vectors each of the running sum,
// of a and of n.
template <std::size_t V>
struct Lanes {
  __m512i c[V], a[V], n[V];
};

// Step i of the product for each side: add a b[i] + m n with m chosen so
// that the lowest digit becomes zero, then move every digit down by one.
// The low halves of the 104-bit digit products go to the digit itself, the
// high halves one digit up, which after the move is the same position.
template <std::size_t V, std::size_t S>
KCERTADM_IFMA __attribute__((always_inline)) inline void Step(Lanes<V> (&x)[S],
                                                              const Product* const (&p)[S],
                                                              std::size_t i) {
  const __m512i zero = _mm512_setzero_si512();
  __m512i vb[S], vm[S];
  std::uint64_t carry[S];
  _Pragma("GCC unroll 2") for (std::size_t s = 0; s < S; ++s) {
    const std::uint64_t bi = p[s]->b[i];
    const auto lane0 =
        static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_castsi512_si128(x[s].c[0])));
    const std::uint64_t t0 = lane0 + ((p[s]->a[0] * bi) & kDigitMask);
    const std::uint64_t m = (t0 * p[s]->k0) & kDigitMask;
    carry[s] = (t0 + ((p[s]->n[0] * m) & kDigitMask)) >> kDigitBits;
    vb[s] = _mm512_set1_epi64(static_cast<long long>(bi));
    vm[s] = _mm512_set1_epi64(static_cast<long long>(m));
  }
  _Pragma("GCC unroll 2") for (std::size_t s = 0; s < S; ++s)
      _Pragma("GCC unroll 20") for (std::size_t v = 0; v < V; ++v) {
    x[s].c[v] = _mm512_madd52lo_epu64(x[s].c[v], x[s].a[v], vb[s]);
    x[s].c[v] = _mm512_madd52lo_epu64(x[s].c[v], x[s].n[v], vm[s]);
  }
  _Pragma("GCC unroll 2") for (std::size_t s = 0; s < S; ++s) {
    _Pragma("GCC unroll 20") for (std::size_t v = 0; v + 1 < V; ++v) x[s].c[v] =
        _mm512_alignr_epi64(x[s].c[v + 1], x[s].c[v], 1);
    x[s].c[V - 1] = _mm512_alignr_epi64(zero, x[s].c[V - 1], 1);
    x[s].c[0] = _mm512_add_epi64(
        x[s].c[0], _mm512_zextsi128_si512(_mm_cvtsi64_si128(static_cast<long long>(carry[s]))));
  }
  _Pragma("GCC unroll 2") for (std::size_t s = 0; s < S; ++s)
      _Pragma("GCC unroll 20") for (std::size_t v = 0; v < V; ++v) {
    x[s].c[v] = _mm512_madd52hi_epu64(x[s].c[v], x[s].a[v], vb[s]);
    x[s].c[v] = _mm512_madd52hi_epu64(x[s].c[v], x[s].n[v], vm[s]);
  }
}

// S products of V vectors each, `digits` steps.
template <std::size_t V, std::size_t S>
KCERTADM_IFMA void MulVectors(const Product* const (&p)[S], std::size_t digits) {
  Lanes<V> x[S];
  _Pragma("GCC unroll 2") for (std::size_t s = 0; s < S; ++s)
      _Pragma("GCC unroll 20") for (std::size_t v = 0; v < V; ++v) {
    x[s].c[v] = _mm512_setzero_si512();
    x[s].a[v] = _mm512_loadu_si512(p[s]->a + 8 * v);
    x[s].n[v] = _mm512_loadu_si512(p[s]->n + 8 * v);
  }
  for (std::size_t i = 0; i < digits; ++i) Step<V, S>(x, p, i);
  _Pragma("GCC unroll 2") for (std::size_t s = 0; s < S; ++s) {
    std::uint64_t t[8 * V];
    _Pragma("GCC unroll 20") for (std::size_t v = 0; v < V; ++v)
        _mm512_storeu_si512(t + 8 * v, x[s].c[v]);
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < 8 * V; ++j) {
      const std::uint64_t value = t[j] + carry;
      p[s]->r[j] = value & kDigitMask;
      carry = value >> kDigitBits;
    }
    SecureWipe(t, sizeof t);
  }
}

template <std::size_t S>
using MulFn = void (*)(const Product* const (&p)[S], std::size_t digits);

template <std::size_t S, std::size_t... I>
constexpr std::array<MulFn<S>, sizeof...(I)> MakeTable(std::index_sequence<I...>) {
  return {&MulVectors<I + 1, S>...};
}

constexpr auto kSingle = MakeTable<1>(std::make_index_sequence<kMaxVectors>{});
constexpr auto kPair = MakeTable<2>(std::make_index_sequence<kMaxVectors>{});

inline std::uint64_t EqualMask(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t x = a ^ b;
  return ((x | (0 - x)) >> 63) - 1;
}

}  // namespace

bool Supported() {
  static const bool supported =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512ifma");
  return supported;
}

std::size_t DigitsFor(std::size_t bits) {
  const std::size_t digits = (bits + 2 + kDigitBits - 1) / kDigitBits;
  return digits <= kMaxDigits ? digits : 0;
}

void ToDigits(std::uint64_t* out, std::size_t words, const Limb* in, std::size_t limbs) {
  for (std::size_t i = 0; i < words; ++i) {
    const std::size_t bit = kDigitBits * i, limb = bit / 64, shift = bit % 64;
    std::uint64_t v = limb < limbs ? in[limb] >> shift : 0;
    if (shift > 64 - kDigitBits && limb + 1 < limbs) v |= in[limb + 1] << (64 - shift);
    out[i] = v & kDigitMask;
  }
}

void FromDigits(Limb* out, std::size_t limbs, const std::uint64_t* in, std::size_t words) {
  for (std::size_t i = 0; i < limbs; ++i) out[i] = 0;
  for (std::size_t i = 0; i < words; ++i) {
    const std::size_t bit = kDigitBits * i, limb = bit / 64, shift = bit % 64;
    if (limb < limbs) out[limb] |= in[i] << shift;
    if (shift > 64 - kDigitBits && limb + 1 < limbs) out[limb + 1] |= in[i] >> (64 - shift);
  }
}

void Mul(const Product& p, std::size_t digits) {
  const Product* const sides[1] = {&p};
  kSingle[Words(digits) / 8 - 1](sides, digits);
}

void MulPair(const Product& first, const Product& second, std::size_t digits) {
  const Product* const sides[2] = {&first, &second};
  kPair[Words(digits) / 8 - 1](sides, digits);
}

void ReduceOnce(std::uint64_t* r, const std::uint64_t* v, const std::uint64_t* n,
                std::size_t words) {
  std::uint64_t d[kMaxDigits];
  std::uint64_t borrow = 0;
  for (std::size_t j = 0; j < words; ++j) {
    const std::uint64_t x = v[j] - n[j] - borrow;
    d[j] = x & kDigitMask;
    borrow = x >> 63;
  }
  const std::uint64_t keep_v = 0 - borrow;
  for (std::size_t j = 0; j < words; ++j) r[j] = (v[j] & keep_v) | (d[j] & ~keep_v);
  SecureWipe(d, words * sizeof d[0]);
}

KCERTADM_IFMA void Select(std::uint64_t* sel, const std::uint64_t* table, std::size_t entries,
                          std::size_t words, std::uint64_t index) {
  for (std::size_t w = 0; w < words; w += 8) {
    __m512i s = _mm512_setzero_si512();
    for (std::size_t e = 0; e < entries; ++e) {
      const __m512i mask = _mm512_set1_epi64(static_cast<long long>(EqualMask(e, index)));
      s = _mm512_or_si512(s, _mm512_and_si512(mask, _mm512_loadu_si512(table + e * words + w)));
    }
    _mm512_storeu_si512(sel + w, s);
  }
}

}  // namespace kcertadm::ifma
