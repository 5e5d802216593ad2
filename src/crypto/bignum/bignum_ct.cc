#include "crypto/bignum/bignum_ct.h"

#include <algorithm>

#include "crypto/bignum/montgomery.h"

namespace kcertadm {
namespace {

Limb MaskOf(Limb bit) { return Limb{0} - (bit & 1); }

void CondSwap(LimbVector& a, LimbVector& b, Limb mask) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    const Limb t = (a[i] ^ b[i]) & mask;
    a[i] ^= t;
    b[i] ^= t;
  }
}

void ShiftRightOne(LimbVector& a) {
  for (std::size_t i = 0; i + 1 < a.size(); ++i) a[i] = (a[i] >> 1) | (a[i + 1] << 63);
  a.back() >>= 1;
}

// All ones when a == 1 over its limbs.
Limb IsOneMask(const LimbVector& a) {
  Limb bits = a[0] ^ 1;
  for (std::size_t i = 1; i < a.size(); ++i) bits |= a[i];
  return ((bits | (Limb{0} - bits)) >> 63) - 1;
}

// a and b as limb arrays of one length, the longer one's (at least one limb).
void Widen(const BigNum& a, const BigNum& b, LimbVector* wide_a, LimbVector* wide_b) {
  const std::size_t n = std::max<std::size_t>({a.limbs().size(), b.limbs().size(), 1});
  wide_a->resize(n);
  wide_b->resize(n);
  a.CopyLimbs(wide_a->data(), n);
  b.CopyLimbs(wide_b->data(), n);
}

}  // namespace

// Invariant r < m. The top bits of a, one fewer than m has, are below m as
// they are and go straight into r; the others are shifted in from the top,
// each followed by a masked subtraction. So a value of m's length (a stored
// dP, reduced or not) takes a few dozen steps, and d itself as many as its
// extra bits. All the counts follow the lengths.
void ConstTimeMod(Limb* r, const Limb* a, std::size_t a_limbs, const Limb* m, std::size_t m_limbs) {
  const std::size_t a_bits = 64 * a_limbs;
  const std::size_t m_bits =
      64 * m_limbs - static_cast<std::size_t>(__builtin_clzll(m[m_limbs - 1]));
  const std::size_t direct = std::min(a_bits, m_bits - 1), shifted = a_bits - direct;
  LimbVector scratch(m_limbs);
  std::fill(r, r + m_limbs, 0);
  for (std::size_t i = 0; i < direct; ++i)
    r[i / 64] |= ((a[(i + shifted) / 64] >> ((i + shifted) % 64)) & 1) << (i % 64);
  for (std::size_t bit = shifted; bit-- > 0;)
    LimbsDoubleMod(r, (a[bit / 64] >> (bit % 64)) & 1, m, scratch.data(), m_limbs);
}

BigNumStatus ConstTimeRemainder(const BigNum& a, const BigNum& m, BigNum* remainder) {
  if (m.IsZero()) return kBigNumBadArgument;
  LimbVector r(m.limbs().size());
  ConstTimeMod(r.data(), a.limbs().data(), a.limbs().size(), m.limbs().data(), r.size());
  *remainder = BigNum::FromLimbs(r.data(), r.size());
  return kBigNumOk;
}

bool ConstTimeEqual(const BigNum& a, const BigNum& b) {
  LimbVector x, y;
  Widen(a, b, &x, &y);
  Limb differences = 0;
  for (std::size_t i = 0; i < x.size(); ++i) differences |= x[i] ^ y[i];
  return differences == 0;
}

bool ConstTimeLess(const BigNum& a, const BigNum& b) {
  LimbVector x, y, difference;
  Widen(a, b, &x, &y);
  difference.resize(x.size());
  return LimbsSub(difference.data(), x.data(), y.data(), x.size()) != 0;
}

// Invariants: a = u x and b = v x (mod m); every step makes a even and
// halves it, after an odd a has been made the larger of the two and had b
// taken off. The product a b at least halves per step, so after
// bits(x) + bits(m) steps a is 0 and b is gcd(x, m).
BigNumStatus ConstTimeModInverse(const BigNum& x, const BigNum& m, BigNum* inverse) {
  if (!m.IsOdd() || m.IsOne()) return kBigNumBadArgument;
  const std::size_t n = m.limbs().size();
  LimbVector a(n), b(m.limbs()), u(n, 0), v(n, 0), half(n), diff(n), sum(n);
  x.CopyLimbs(a.data(), n);
  u[0] = 1;
  // (m + 1) / 2 = (m >> 1) + 1: adding it to u >> 1 halves an odd u mod m.
  std::copy(b.begin(), b.end(), half.begin());
  ShiftRightOne(half);
  std::fill(sum.begin(), sum.end(), 0);
  sum[0] = 1;
  LimbsAdd(half.data(), half.data(), sum.data(), n);
  const std::size_t steps = 2 * m.BitLength();
  for (std::size_t step = 0; step < steps; ++step) {
    const Limb odd = MaskOf(a[0]);
    const Limb a_below_b = LimbsSub(diff.data(), a.data(), b.data(), n);
    const Limb swap = odd & MaskOf(a_below_b);
    CondSwap(a, b, swap);
    CondSwap(u, v, swap);
    LimbsSub(diff.data(), a.data(), b.data(), n);
    LimbsSelect(a.data(), odd, diff.data(), a.data(), n);
    const Limb borrow = LimbsSub(diff.data(), u.data(), v.data(), n);
    LimbsAdd(sum.data(), diff.data(), m.limbs().data(), n);
    LimbsSelect(diff.data(), MaskOf(borrow), sum.data(), diff.data(), n);
    LimbsSelect(u.data(), odd, diff.data(), u.data(), n);
    ShiftRightOne(a);
    const Limb u_odd = MaskOf(u[0]);
    ShiftRightOne(u);
    LimbsAdd(sum.data(), u.data(), half.data(), n);
    LimbsSelect(u.data(), u_odd, sum.data(), u.data(), n);
  }
  const bool coprime = IsOneMask(b) != 0;
  if (!coprime) return kBigNumNoInverse;
  *inverse = BigNum::FromLimbs(v.data(), n);
  return kBigNumOk;
}

BigNumStatus ConstTimeInverseOfOdd(const BigNum& x, const BigNum& m, BigNum* inverse) {
  if (!x.IsOdd() || x.IsOne() || m.IsZero() || m.IsOne()) return kBigNumBadArgument;
  const std::size_t nx = x.limbs().size(), nm = m.limbs().size(), n = nx + nm;
  // u = (m mod x)^-1 mod x, then k = x - u.
  LimbVector residue(nx), k(nx), product(n), one(n, 0), x_wide(n, 0), x_inverse(n), q(2 * n);
  ConstTimeMod(residue.data(), m.limbs().data(), nm, x.limbs().data(), nx);
  BigNum u;
  if (BigNumStatus status = ConstTimeModInverse(BigNum::FromLimbs(residue.data(), nx), x, &u);
      !status.ok())
    return status;
  u.CopyLimbs(residue.data(), nx);
  LimbsSub(k.data(), x.limbs().data(), residue.data(), nx);
  // 1 + k m, a multiple of x, below 2^(64 n); divided by x as its product by
  // x^-1 modulo 2^(64 n).
  LimbsMul(product.data(), k.data(), nx, m.limbs().data(), nm);
  one[0] = 1;
  LimbsAdd(product.data(), product.data(), one.data(), n);
  x.CopyLimbs(x_wide.data(), n);
  LimbsInverseModLimbPower(x_inverse.data(), x_wide.data(), n);
  LimbsMul(q.data(), product.data(), n, x_inverse.data(), n);
  *inverse = BigNum::FromLimbs(q.data(), n);
  return kBigNumOk;
}

}  // namespace kcertadm
