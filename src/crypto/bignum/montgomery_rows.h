// The shape the 64-bit kernels share: a whole product (or a square, which
// needs about half the limb products), then Montgomery reduction, all made
// of rows "t += a * b" over limb arrays. A kernel supplies its row; the
// kernel's translation unit includes this header, so each gets its own
// copy compiled for its instruction set. Everything here has internal
// linkage: a copy compiled for ADX must never stand in for the portable one
// at link time.
#pragma once

#include <cstddef>
#include <utility>

#include "base/secure_memory.h"
#include "crypto/bignum/montgomery_kernel.h"

namespace kcertadm::rows {
namespace {

using Wide = unsigned __int128;

// A kernel's row is `template <std::size_t N> static Limb Row::Add(Limb* t,
// const Limb* a, Limb b, std::size_t n)`: t[0 .. n) += a[0 .. n) * b,
// returning the limb that carries out; N is n when known at compile time
// (so the row unrolls), 0 otherwise. With it, Row::AddPairs, the middle of
// two rows run together (StepPairs below, or the kernel's own).

// t += a * b + carry, carry = the high limb. The additions are written on
// 64-bit halves, with their carries as comparisons: g++ 12 turns these
// into add and adc, while sums of 128-bit values make it spill the zero
// high halves to memory and add them back.
inline void Step(Limb& t, Limb a, Limb b, Limb& carry) {
  const Wide p = static_cast<Wide>(a) * b;
  Limb lo = static_cast<Limb>(p), hi = static_cast<Limb>(p >> 64);
  lo += t;
  hi += lo < t;
  lo += carry;
  hi += lo < carry;
  t = lo;
  carry = hi;
}

// t += x + y, returning the carry out (0, 1 or 2); written like Step.
inline Limb AddTwo(Limb& t, Limb x, Limb y) {
  t += x;
  Limb carry = t < x;
  t += y;
  carry += t < y;
  return carry;
}

// The row of plain C++: t[0 .. n) += a[0 .. n) * b, one Step per limb.
struct StepRow {
  template <std::size_t N>
  static Limb Add(Limb* t, const Limb* a, Limb b, std::size_t n) {
    if constexpr (N != 0) n = N;
    Limb carry = 0;
#pragma GCC unroll 64
    for (std::size_t j = 0; j < n; ++j) Step(t[j], a[j], b, carry);
    return carry;
  }
};

// The middle of two rows run together: for k in [0, count), t[k] += a[k] b0
// + c0 and then t[k] += a[k - 1] b1 + c1, each step leaving its high limb
// in its carry. COUNT is count when known at compile time, 0 otherwise.
// A kernel's row may bring its own (Row::AddPairs); this is the default.
struct StepPairs {
  template <std::size_t Count>
  static void AddPairs(Limb* t, const Limb* a, Limb b0, Limb b1, Limb& c0, Limb& c1,
                       std::size_t count) {
    if constexpr (Count != 0) count = Count;
#pragma GCC unroll 64
    for (std::size_t k = 0; k < count; ++k) {
      Step(t[k], a[k], b0, c0);
      Step(t[k], a[k - 1], b1, c1);
    }
  }
};

// Two rows at once, the second one limb up and one step behind, so that
// their carry chains overlap: t[0 .. n) += a b0 and then t[1 .. n + 1) +=
// a b1, with t[n] written (not added to) and the top limb returned.
template <class Row, std::size_t N>
inline Limb AddTwoRows(Limb* t, const Limb* a, Limb b0, Limb b1, std::size_t n) {
  if constexpr (N != 0) n = N;
  Limb c0 = 0, c1 = 0;
  Step(t[0], a[0], b0, c0);
  Row::template AddPairs<N == 0 ? 0 : N - 1>(t + 1, a + 1, b0, b1, c0, c1, n - 1);
  Step(c0, a[n - 1], b1, c1);
  t[n] = c0;
  return c1;
}

// Two reduction rows at once: the second multiplier is known once the
// first row has passed limb 1. extra is the carry into t[n] and comes back
// as the carry into t[n + 2].
template <class Row, std::size_t N>
inline void ReduceTwoRows(Limb* t, const Limb* n, Limb n0, std::size_t size, Limb& extra) {
  if constexpr (N != 0) size = N;
  Limb c0 = 0, c1 = 0;
  const Limb m0 = t[0] * n0;
  Step(t[0], n[0], m0, c0);
  Step(t[1], n[1], m0, c0);
  const Limb m1 = t[1] * n0;
  Step(t[1], n[0], m1, c1);
  Row::template AddPairs<N <= 2 ? 0 : N - 2>(t + 2, n + 2, m0, m1, c0, c1, size - 2);
  const Limb middle = AddTwo(t[size], c0, extra);
  Step(t[size], n[size - 1], m1, c1);
  extra = AddTwo(t[size + 1], c1, middle);
}

// r = high + extra 2^(64 size), minus n unless that borrows, for a value
// below 2n; the choice is made by a mask.
inline void SubtractModulusOnce(Limb* r, const Limb* high, Limb extra, const Limb* n,
                                std::size_t size) {
  Limb borrow = 0;
  for (std::size_t j = 0; j < size; ++j) {
    const Wide d = static_cast<Wide>(high[j]) - n[j] - borrow;
    r[j] = static_cast<Limb>(d);
    borrow = static_cast<Limb>(d >> 64) & 1;
  }
  const Limb keep_high = Limb{0} - (borrow & ~extra & 1);
  for (std::size_t j = 0; j < size; ++j) r[j] = (high[j] & keep_high) | (r[j] & ~keep_high);
}

// Squares up to this many limbs unroll each row of their triangle of
// products below; beyond, the rows would take tens of kilobytes of code.
constexpr std::size_t kMaxUnrolledTriangle = 32;

// The products a[i] a[j] with i < j, once each, into t (zero before): row i
// adds a[i + 1 ..) a[i] at limb 2i + 1, each row of its own constant length.
template <class Row, std::size_t N, std::size_t... I>
inline void AddCrossProducts(Limb* t, const Limb* a, std::index_sequence<I...>) {
  ((t[I + N] = Row::template Add<N - 1 - I>(t + 2 * I + 1, a + I + 1, a[I], N - 1 - I)), ...);
}

// t[0 .. 2 size) holds the products a[i] a[j] with i < j, once each: double
// it and add the squares a[i]^2 on the diagonal.
inline void AddDoubledSquares(Limb* t, const Limb* a, std::size_t size) {
  Limb shifted_out = 0, carry = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const Wide square = static_cast<Wide>(a[i]) * a[i];
    const Limb lo = t[2 * i], hi = t[2 * i + 1];
    const Limb lo2 = (lo << 1) | shifted_out;
    const Limb hi2 = (hi << 1) | (lo >> 63);
    shifted_out = hi >> 63;
    t[2 * i] = lo2;
    t[2 * i + 1] = hi2;
    const Limb middle = AddTwo(t[2 * i], static_cast<Limb>(square), carry);
    carry = AddTwo(t[2 * i + 1], static_cast<Limb>(square >> 64), middle);
  }
}

// r = t / 2^(64 size) mod n for t of 2 size limbs below 2^(64 size) n; t is
// overwritten. The last subtraction of n is chosen by a mask.
template <class Row, std::size_t N>
inline void Reduce(Limb* r, Limb* t, const Limb* n, Limb n0, std::size_t size) {
  Limb extra = 0;  // carry into t[i + size]
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) ReduceTwoRows<Row, N>(t + i, n, n0, size, extra);
  for (; i < size; ++i) {
    const Limb carry = Row::template Add<N>(t + i, n, t[i] * n0, size);
    extra = AddTwo(t[i + size], carry, extra);
  }
  SubtractModulusOnce(r, t + size, extra, n, size);
}

template <class Row, std::size_t N>
inline void Mul(Limb* r, const Limb* a, const Limb* b, const Limb* n, Limb n0, std::size_t size) {
  Limb t[2 * kMaxMontLimbs];
  for (std::size_t j = 0; j < size; ++j) t[j] = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) t[i + size + 1] = AddTwoRows<Row, N>(t + i, a, b[i], b[i + 1], size);
  for (; i < size; ++i) t[i + size] = Row::template Add<N>(t + i, a, b[i], size);
  Reduce<Row, N>(r, t, n, n0, size);
  SecureWipe(t, 2 * size * sizeof(Limb));
}

template <class Row, std::size_t N>
inline void Sqr(Limb* r, const Limb* a, const Limb* n, Limb n0, std::size_t size) {
  Limb t[2 * kMaxMontLimbs];
  for (std::size_t j = 0; j < 2 * size; ++j) t[j] = 0;
  if constexpr (N != 0 && N <= kMaxUnrolledTriangle)
    AddCrossProducts<Row, N>(t, a, std::make_index_sequence<N - 1>{});
  else
    for (std::size_t i = 0; i + 1 < size; ++i)
      t[i + size] = Row::template Add<0>(t + 2 * i + 1, a + i + 1, a[i], size - i - 1);
  AddDoubledSquares(t, a, size);
  Reduce<Row, N>(r, t, n, n0, size);
  SecureWipe(t, 2 * size * sizeof(Limb));
}

// The kernel's product and square, unrolled for the sizes of the usual
// moduli and primes (512 to 8,192 bits), a loop of any length otherwise.
template <class Row>
void MulAnySize(Limb* r, const Limb* a, const Limb* b, const Limb* n, Limb n0, std::size_t size) {
  switch (size) {
    case 8:
      return Mul<Row, 8>(r, a, b, n, n0, size);
    case 16:
      return Mul<Row, 16>(r, a, b, n, n0, size);
    case 24:
      return Mul<Row, 24>(r, a, b, n, n0, size);
    case 32:
      return Mul<Row, 32>(r, a, b, n, n0, size);
    case 48:
      return Mul<Row, 48>(r, a, b, n, n0, size);
    case 64:
      return Mul<Row, 64>(r, a, b, n, n0, size);
    default:
      return Mul<Row, 0>(r, a, b, n, n0, size);
  }
}

template <class Row>
void SqrAnySize(Limb* r, const Limb* a, const Limb* n, Limb n0, std::size_t size) {
  switch (size) {
    case 8:
      return Sqr<Row, 8>(r, a, n, n0, size);
    case 16:
      return Sqr<Row, 16>(r, a, n, n0, size);
    case 24:
      return Sqr<Row, 24>(r, a, n, n0, size);
    case 32:
      return Sqr<Row, 32>(r, a, n, n0, size);
    case 48:
      return Sqr<Row, 48>(r, a, n, n0, size);
    case 64:
      return Sqr<Row, 64>(r, a, n, n0, size);
    default:
      return Sqr<Row, 0>(r, a, n, n0, size);
  }
}

}  // namespace
}  // namespace kcertadm::rows
