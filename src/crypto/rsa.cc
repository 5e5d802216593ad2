#include "crypto/rsa.h"

#include <algorithm>

namespace kcertadm {
namespace {

using Wide = unsigned __int128;

// r = a - b mod m for a, b < m, n limbs, without branches.
void ModSub(Limb* r, const Limb* a, const Limb* b, const Limb* m, std::size_t n,
            Limb* scratch) {
  const Limb borrow = LimbsSub(r, a, b, n);
  LimbsAdd(scratch, r, m, n);
  LimbsSelect(r, Limb{0} - borrow, scratch, r, n);
}

// r = a * b (na + nb limbs), loops fixed by the lengths only.
void MulFixed(Limb* r, const Limb* a, std::size_t na, const Limb* b,
              std::size_t nb) {
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

int CheckModulus(const BigNum& n) {
  if (n.BitLength() > kRsaMaxBits) return kRsaBadModulusSize;
  if (!n.IsOdd() || n.IsOne()) return kRsaBadKeyForm;
  return kRsaOk;
}

}  // namespace

int RsaPublicKeyOp::Init(const BigNum& modulus, const BigNum& public_exponent) {
  int code = CheckModulus(modulus);
  if (code != kRsaOk) return code;
  if (mont_.Init(modulus) != kBigNumOk) return kRsaBadKeyForm;
  n_ = modulus;
  e_ = public_exponent;
  k_ = modulus.ByteLength();
  use_ifma_ = IfmaAvailable() && ifma_.Init(modulus);
  return kRsaOk;
}

int RsaPublicKeyOp::Apply(const std::uint8_t* in, std::size_t in_size,
                          std::uint8_t* out, std::size_t out_size) const {
  if (out_size < k_) return kRsaOutputTooSmall;
  if (in_size != k_) return kRsaInputTooLong;
  const BigNum x = BigNum::FromBytes(in, in_size);
  const BigNum y = use_ifma_ ? ifma_.Exp(x, e_) : mont_.Exp(x, e_);
  return y.ToBytes(out, k_) == kBigNumOk ? kRsaOk : kRsaOutputTooSmall;
}

int RsaPrivateKeyOp::Half::Init(const BigNum& prime, const BigNum& exp,
                                std::size_t x_limbs) {
  if (mont.Init(prime) != kBigNumOk) return kRsaBadKeyForm;
  const std::size_t n = mont.size();
  BigNum reduced_exp;
  BigNum p1 = prime;
  p1.SubSmall(1);
  BigNum::Mod(exp, p1, &reduced_exp);
  exponent.assign(n, 0);
  reduced_exp.CopyLimbs(exponent.data(), n);
  exponent_bits = prime.BitLength();
  // x * R = sum of chunk_i * R^(i+1); each chunk is multiplied by R^(i+2).
  chunks = (x_limbs + n - 1) / n;
  r_powers.assign(chunks * n, 0);
  std::copy_n(mont.rr(), n, r_powers.begin());
  for (std::size_t i = 1; i < chunks; ++i)
    mont.Mul(&r_powers[i * n], &r_powers[(i - 1) * n], mont.rr());  // R^(i+2)
  reduced_exp.Wipe();
  p1.Wipe();
  use_ifma = IfmaAvailable() && ifma.Init(prime);
  return kRsaOk;
}

void RsaPrivateKeyOp::Half::Power(Limb* r, const Limb* ym) const {
  if (use_ifma) {
    LimbVector y(mont.size());
    mont.FromMont(y.data(), ym);
    ifma.ExpConstTime(r, y.data(), exponent.data(), exponent_bits);
  } else {
    mont.ExpConstTime(r, ym, exponent.data(), exponent_bits);
    mont.FromMont(r, r);
  }
}

void RsaPrivateKeyOp::Half::ReduceToMont(Limb* r, const Limb* x,
                                         std::size_t x_limbs) const {
  const std::size_t n = mont.size();
  LimbVector chunk(n), term(n), scratch(n);
  std::fill(r, r + n, 0);
  for (std::size_t i = 0; i < chunks && i * n < x_limbs; ++i) {
    std::fill(chunk.begin(), chunk.end(), 0);
    const std::size_t start = i * n;
    std::copy_n(x + start, std::min(n, x_limbs - start), chunk.begin());
    mont.Mul(term.data(), chunk.data(), &r_powers[i * n]);
    // r = r + term mod prime (both below the prime)
    const Limb carry = LimbsAdd(r, r, term.data(), n);
    const Limb borrow = LimbsSub(scratch.data(), r, mont.modulus(), n);
    const Limb use_sum = (borrow & ~carry & 1);  // sum below the prime
    LimbsSelect(r, Limb{0} - use_sum, r, scratch.data(), n);
  }
}

int RsaPrivateKeyOp::Init(const RsaKeyMaterial& key) {
  int code = CheckModulus(key.modulus);
  if (code != kRsaOk) return code;
  if (BigNum::Mul(key.prime1, key.prime2).Compare(key.modulus) != 0)
    return kRsaBadKeyForm;
  n_ = key.modulus;
  k_ = n_.ByteLength();
  n_limbs_ = n_.limbs().size();
  if ((code = p_.Init(key.prime1, key.exponent1, n_limbs_)) != kRsaOk) return code;
  if ((code = q_.Init(key.prime2, key.exponent2, n_limbs_)) != kRsaOk) return code;
  q_limbs_.assign(q_.mont.size(), 0);
  key.prime2.CopyLimbs(q_limbs_.data(), q_limbs_.size());
  BigNum coefficient;
  BigNum::Mod(key.coefficient, key.prime1, &coefficient);
  coefficient_.assign(p_.mont.size(), 0);
  coefficient.CopyLimbs(coefficient_.data(), coefficient_.size());
  coefficient.Wipe();
  return kRsaOk;
}

int RsaPrivateKeyOp::Apply(const std::uint8_t* in, std::size_t in_size,
                           std::uint8_t* out, std::size_t out_size) const {
  if (out_size < k_) return kRsaOutputTooSmall;
  if (in_size != k_) return kRsaInputTooLong;
  BigNum x = BigNum::FromBytes(in, in_size);
  if (x.Compare(n_) >= 0) return kRsaBadData;
  const std::size_t np = p_.mont.size(), nq = q_.mont.size();
  LimbVector xl(n_limbs_), xm(std::max(np, nq)), m1(np), m2(nq), m2r(np),
      h(np), scratch(np), y(np + nq + 1);
  x.CopyLimbs(xl.data(), n_limbs_);

  if (p_.use_ifma && q_.use_ifma && p_.ifma.lanes() == q_.ifma.lanes() &&
      p_.exponent_bits == q_.exponent_bits) {
    // Both halves at once: x mod p and x mod q as plain residues.
    LimbVector xq(nq);
    p_.ReduceToMont(xm.data(), xl.data(), n_limbs_);
    p_.mont.FromMont(xm.data(), xm.data());
    q_.ReduceToMont(xq.data(), xl.data(), n_limbs_);
    q_.mont.FromMont(xq.data(), xq.data());
    IfmaMontgomery::ExpConstTime2(p_.ifma, m1.data(), xm.data(), p_.exponent.data(), q_.ifma,
                                  m2.data(), xq.data(), q_.exponent.data(), p_.exponent_bits);
  } else {
    // m1 = x^dp mod p, m2 = x^dq mod q as plain residues.
    p_.ReduceToMont(xm.data(), xl.data(), n_limbs_);
    p_.Power(m1.data(), xm.data());
    q_.ReduceToMont(xm.data(), xl.data(), n_limbs_);
    q_.Power(m2.data(), xm.data());
  }
  p_.mont.ToMont(m1.data(), m1.data());
  // h = coefficient * (m1 - m2) mod p; both sides in Montgomery form first,
  // which also brings m2 below p whichever prime is larger.
  p_.ReduceToMont(m2r.data(), m2.data(), nq);
  ModSub(h.data(), m1.data(), m2r.data(), p_.mont.modulus(), np, scratch.data());
  p_.mont.Mul(h.data(), h.data(), coefficient_.data());
  // y = m2 + h * q
  MulFixed(y.data(), h.data(), np, q_limbs_.data(), nq);
  y[np + nq] = 0;
  Limb carry = LimbsAdd(y.data(), y.data(), m2.data(), nq);
  for (std::size_t i = nq; i < np + nq + 1; ++i) {
    const Wide s = static_cast<Wide>(y[i]) + carry;
    y[i] = static_cast<Limb>(s);
    carry = static_cast<Limb>(s >> 64);
  }
  // Write y as exactly k bytes (y < n, so the upper limbs beyond k are 0).
  for (std::size_t i = 0; i < k_; ++i) {
    const std::size_t bit = (k_ - 1 - i) * 8;
    out[i] = static_cast<std::uint8_t>(y[bit / 64] >> (bit % 64));
  }
  x.Wipe();
  return kRsaOk;
}

}  // namespace kcertadm
