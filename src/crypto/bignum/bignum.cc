#include "crypto/bignum/bignum.h"

#include <algorithm>
#include <cstring>

#include "crypto/bignum/montgomery.h"

namespace kcertadm {
namespace {

using Wide = unsigned __int128;

int LeadingZeros(Limb x) { return x == 0 ? 64 : __builtin_clzll(x); }

// r = a * b for limb arrays; r must have room for na + nb limbs and must not
// overlap the inputs.
void MulLimbs(Limb* r, const Limb* a, std::size_t na, const Limb* b, std::size_t nb) {
  std::fill(r, r + na + nb, 0);
  for (std::size_t i = 0; i < nb; ++i) {
    Limb carry = 0;
    const Limb bi = b[i];
    for (std::size_t j = 0; j < na; ++j) {
      Wide t = static_cast<Wide>(a[j]) * bi + r[i + j] + carry;
      r[i + j] = static_cast<Limb>(t);
      carry = static_cast<Limb>(t >> 64);
    }
    r[i + na] = carry;
  }
}

}  // namespace

BigNum::BigNum(Limb value) {
  if (value != 0) limbs_.push_back(value);
}

void BigNum::Normalize() {
  while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
}

void BigNum::Wipe() {
  SecureWipe(limbs_.data(), limbs_.size() * sizeof(Limb));
  limbs_.clear();
}

BigNum BigNum::FromBytes(const std::uint8_t* data, std::size_t size) {
  BigNum result;
  result.limbs_.assign((size + 7) / 8, 0);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t bit_pos = (size - 1 - i) * 8;
    result.limbs_[bit_pos / 64] |= static_cast<Limb>(data[i]) << (bit_pos % 64);
  }
  result.Normalize();
  return result;
}

BigNum BigNum::FromLimbs(const Limb* limbs, std::size_t count) {
  BigNum result;
  result.limbs_.assign(limbs, limbs + count);
  result.Normalize();
  return result;
}

void BigNum::CopyLimbs(Limb* out, std::size_t count) const {
  std::fill(out, out + count, 0);
  std::copy_n(limbs_.begin(), std::min(count, limbs_.size()), out);
}

BigNumStatus BigNum::ToBytes(std::uint8_t* out, std::size_t size) const {
  if (ByteLength() > size) return kBigNumOutputTooSmall;
  WriteBytes(out, size);
  return kBigNumOk;
}

SecureBytes BigNum::ToBytes() const {
  SecureBytes out(ByteLength());
  WriteBytes(out.data(), out.size());
  return out;
}

void BigNum::WriteBytes(std::uint8_t* out, std::size_t size) const {
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t bit_pos = (size - 1 - i) * 8;
    const std::size_t limb = bit_pos / 64;
    out[i] = limb < limbs_.size() ? static_cast<std::uint8_t>(limbs_[limb] >> (bit_pos % 64)) : 0;
  }
}

std::size_t BigNum::BitLength() const {
  if (limbs_.empty()) return 0;
  return limbs_.size() * 64 - LeadingZeros(limbs_.back());
}

bool BigNum::Bit(std::size_t i) const {
  const std::size_t limb = i / 64;
  return limb < limbs_.size() && ((limbs_[limb] >> (i % 64)) & 1);
}

void BigNum::SetBit(std::size_t i) {
  const std::size_t limb = i / 64;
  if (limb >= limbs_.size()) limbs_.resize(limb + 1, 0);
  limbs_[limb] |= Limb{1} << (i % 64);
}

void BigNum::ClearBit(std::size_t i) {
  const std::size_t limb = i / 64;
  if (limb >= limbs_.size()) return;
  limbs_[limb] &= ~(Limb{1} << (i % 64));
  Normalize();
}

int BigNum::Compare(const BigNum& other) const {
  if (limbs_.size() != other.limbs_.size()) return limbs_.size() < other.limbs_.size() ? -1 : 1;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    if (limbs_[i] != other.limbs_[i]) return limbs_[i] < other.limbs_[i] ? -1 : 1;
  }
  return 0;
}

void BigNum::AddSmall(Limb value) {
  for (std::size_t i = 0; value != 0; ++i) {
    if (i == limbs_.size()) limbs_.push_back(0);
    limbs_[i] += value;
    value = limbs_[i] < value ? 1 : 0;
  }
}

void BigNum::SubSmall(Limb value) {
  for (std::size_t i = 0; value != 0 && i < limbs_.size(); ++i) {
    const Limb before = limbs_[i];
    limbs_[i] -= value;
    value = before < value ? 1 : 0;
  }
  Normalize();
}

std::uint32_t BigNum::ModSmall(std::uint32_t divisor) const {
  std::uint64_t rem = 0;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    rem = ((rem << 32) | (limbs_[i] >> 32)) % divisor;
    rem = ((rem << 32) | (limbs_[i] & 0xFFFFFFFFu)) % divisor;
  }
  return static_cast<std::uint32_t>(rem);
}

BigNum BigNum::Add(const BigNum& a, const BigNum& b) {
  const BigNum& longer = a.limbs_.size() >= b.limbs_.size() ? a : b;
  const BigNum& shorter = a.limbs_.size() >= b.limbs_.size() ? b : a;
  BigNum r;
  r.limbs_.resize(longer.limbs_.size() + 1, 0);
  Limb carry = 0;
  for (std::size_t i = 0; i < longer.limbs_.size(); ++i) {
    Wide t = static_cast<Wide>(longer.limbs_[i]) + carry;
    if (i < shorter.limbs_.size()) t += shorter.limbs_[i];
    r.limbs_[i] = static_cast<Limb>(t);
    carry = static_cast<Limb>(t >> 64);
  }
  r.limbs_.back() = carry;
  r.Normalize();
  return r;
}

BigNum BigNum::Sub(const BigNum& a, const BigNum& b) {
  BigNum r;
  r.limbs_.resize(a.limbs_.size(), 0);
  Limb borrow = 0;
  for (std::size_t i = 0; i < a.limbs_.size(); ++i) {
    const Limb bi = i < b.limbs_.size() ? b.limbs_[i] : 0;
    const Limb d = a.limbs_[i] - bi;
    const Limb borrow_out = (a.limbs_[i] < bi) | (d < borrow);
    r.limbs_[i] = d - borrow;
    borrow = borrow_out;
  }
  r.Normalize();
  return r;
}

BigNum BigNum::Mul(const BigNum& a, const BigNum& b) {
  BigNum r;
  if (a.IsZero() || b.IsZero()) return r;
  r.limbs_.resize(a.limbs_.size() + b.limbs_.size());
  MulLimbs(r.limbs_.data(), a.limbs_.data(), a.limbs_.size(), b.limbs_.data(), b.limbs_.size());
  r.Normalize();
  return r;
}

BigNumStatus BigNum::DivMod(const BigNum& a, const BigNum& b, BigNum* quotient, BigNum* remainder) {
  if (b.IsZero()) return kBigNumBadArgument;
  DivideByNonZero(a, b, quotient, remainder);
  return kBigNumOk;
}

// Schoolbook long division (Knuth, algorithm D) on 64-bit limbs.
void BigNum::DivideByNonZero(const BigNum& a, const BigNum& b, BigNum* quotient,
                             BigNum* remainder) {
  if (a < b) {
    if (remainder) *remainder = a;
    if (quotient) *quotient = BigNum();
    return;
  }
  const std::size_t n = b.limbs_.size();
  const std::size_t m = a.limbs_.size() - n;
  BigNum q;
  q.limbs_.assign(m + 1, 0);

  if (n == 1) {
    const Limb d = b.limbs_[0];
    Limb rem = 0;
    for (std::size_t i = a.limbs_.size(); i-- > 0;) {
      const Wide cur = (static_cast<Wide>(rem) << 64) | a.limbs_[i];
      q.limbs_[i] = static_cast<Limb>(cur / d);
      rem = static_cast<Limb>(cur % d);
    }
    q.Normalize();
    if (quotient) *quotient = std::move(q);
    if (remainder) *remainder = BigNum(rem);
    return;
  }

  // Normalise so that the divisor's top limb has its high bit set.
  const int shift = LeadingZeros(b.limbs_.back());
  LimbVector v(n), u(a.limbs_.size() + 1);
  for (std::size_t i = n; i-- > 0;) {
    v[i] = b.limbs_[i] << shift;
    if (shift && i > 0) v[i] |= b.limbs_[i - 1] >> (64 - shift);
  }
  u[a.limbs_.size()] = shift ? a.limbs_.back() >> (64 - shift) : 0;
  for (std::size_t i = a.limbs_.size(); i-- > 0;) {
    u[i] = a.limbs_[i] << shift;
    if (shift && i > 0) u[i] |= a.limbs_[i - 1] >> (64 - shift);
  }

  const Limb vtop = v[n - 1], vnext = v[n - 2];
  for (std::size_t j = m + 1; j-- > 0;) {
    const Wide num = (static_cast<Wide>(u[j + n]) << 64) | u[j + n - 1];
    Wide qhat = num / vtop;
    Wide rhat = num % vtop;
    while (qhat >> 64 || qhat * vnext > ((rhat << 64) | u[j + n - 2])) {
      --qhat;
      rhat += vtop;
      if (rhat >> 64) break;
    }
    // u[j..j+n] -= qhat * v
    Limb borrow = 0, carry = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const Wide p = qhat * v[i] + carry;
      carry = static_cast<Limb>(p >> 64);
      const Limb sub = static_cast<Limb>(p);
      const Limb t = u[i + j] - sub;
      const Limb b1 = u[i + j] < sub;
      u[i + j] = t - borrow;
      borrow = b1 | (t < borrow);
    }
    const Limb t = u[j + n] - carry;
    const Limb b1 = u[j + n] < carry;
    u[j + n] = t - borrow;
    borrow = b1 | (t < borrow);
    Limb qdigit = static_cast<Limb>(qhat);
    if (borrow) {  // qhat was one too large: add v back
      --qdigit;
      Limb c = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const Wide s = static_cast<Wide>(u[i + j]) + v[i] + c;
        u[i + j] = static_cast<Limb>(s);
        c = static_cast<Limb>(s >> 64);
      }
      u[j + n] += c;
    }
    q.limbs_[j] = qdigit;
  }

  if (remainder) {
    BigNum r;
    r.limbs_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      r.limbs_[i] = u[i] >> shift;
      if (shift) r.limbs_[i] |= u[i + 1] << (64 - shift);
    }
    r.Normalize();
    *remainder = std::move(r);
  }
  SecureWipe(u.data(), u.size() * sizeof(Limb));
  SecureWipe(v.data(), v.size() * sizeof(Limb));
  q.Normalize();
  if (quotient) *quotient = std::move(q);
}

BigNum BigNum::Gcd(const BigNum& a, const BigNum& b) {
  BigNum x = a, y = b, r;
  while (!y.IsZero()) {
    DivideByNonZero(x, y, nullptr, &r);
    x = std::move(y);
    y = std::move(r);
  }
  return x;
}

// Extended Euclid with the Bezout coefficient of a kept as a residue mod m.
BigNumStatus BigNum::ModInverse(const BigNum& a, const BigNum& m, BigNum* inverse) {
  if (m.Compare(BigNum(1)) <= 0) return kBigNumBadArgument;
  BigNum r0 = m, r1, t0, t1(1), q, r, qt;
  DivideByNonZero(a, m, nullptr, &r1);
  while (!r1.IsZero()) {
    DivideByNonZero(r0, r1, &q, &r);
    r0 = std::move(r1);
    r1 = std::move(r);
    // t0 - q*t1 mod m
    DivideByNonZero(Mul(q, t1), m, nullptr, &qt);
    BigNum next = t0.Compare(qt) >= 0 ? Sub(t0, qt) : Sub(Add(t0, m), qt);
    t0 = std::move(t1);
    t1 = std::move(next);
  }
  if (!r0.IsOne()) return kBigNumNoInverse;
  *inverse = std::move(t0);
  return kBigNumOk;
}

BigNumStatus BigNum::ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus,
                            BigNum* result) {
  MontgomeryContext mont;
  // Init refuses with a big-number code of its own.
  if (const int code = mont.InitPublic(modulus)) return static_cast<BigNumCode>(code);
  *result = mont.Exp(base, exponent);
  return kBigNumOk;
}

}  // namespace kcertadm
