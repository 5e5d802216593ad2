#include "crypto/rsa/rsa.h"

#include <algorithm>

#include "crypto/bignum/bignum_ct.h"

namespace kcertadm {
namespace {

using Wide = unsigned __int128;

int CheckModulus(const BigNum& n) {
  if (n.BitLength() > kRsaMaxBits) return kRsaBadModulusSize;
  if (!n.IsOdd() || n.IsOne()) return kRsaBadKeyForm;
  return kRsaOk;
}

}  // namespace

int RsaPublicKeyOp::Init(const BigNum& modulus, const BigNum& public_exponent) {
  int code = CheckModulus(modulus);
  if (code != kRsaOk) return code;
  if (mont_.InitPublic(modulus) != kBigNumOk) return kRsaBadKeyForm;
  n_ = modulus;
  e_ = public_exponent;
  k_ = modulus.ByteLength();
  return kRsaOk;
}

int RsaPublicKeyOp::Init(const RsaPublicNumbers& key) {
  return Init(BigNum::FromBytes(key.modulus.data(), key.modulus.size()),
              BigNum::FromBytes(key.publicExponent.data(), key.publicExponent.size()));
}

int RsaPublicKeyOp::Apply(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                          std::size_t out_size) const {
  if (out_size < k_) return kRsaOutputTooSmall;
  if (in_size != k_) return kRsaInputTooLong;
  const BigNum y = mont_.Exp(BigNum::FromBytes(in, in_size), e_);
  return y.ToBytes(out, k_) == kBigNumOk ? kRsaOk : kRsaOutputTooSmall;
}

// The stored exponent is reduced modulo prime - 1 whether or not it already
// is (a key may carry d itself there): ConstTimeMod takes as long for every
// value of its length, and checking first would branch on the secret.
int RsaPrivateKeyOp::Half::Init(const BigNum& prime, const BigNum& exp, std::size_t exp_limbs) {
  if (mont.Init(prime) != kBigNumOk) return kRsaBadKeyForm;
  const std::size_t n = mont.size();
  LimbVector prime_minus_1(mont.modulus(), mont.modulus() + n);
  prime_minus_1[0] &= ~Limb{1};   // the prime is odd
  exponent.assign(exp_limbs, 0);  // exp_limbs >= n: the longer prime's length
  ConstTimeMod(exponent.data(), exp.limbs().data(), exp.limbs().size(), prime_minus_1.data(), n);
  return kRsaOk;
}

int RsaPrivateKeyOp::Init(const RsaKeyMaterial& key) {
  int code = CheckModulus(key.modulus);
  if (code != kRsaOk) return code;
  if (BigNum::Mul(key.prime1, key.prime2).Compare(key.modulus) != 0) return kRsaBadKeyForm;
  n_ = key.modulus;
  k_ = n_.ByteLength();
  n_limbs_ = n_.limbs().size();
  // Both exponents as long as the longer prime: the two exponentiations run
  // side by side over as many bits.
  exponent_bits_ = std::max(key.prime1.BitLength(), key.prime2.BitLength());
  const std::size_t exp_limbs = (exponent_bits_ + 63) / 64;
  if ((code = p_.Init(key.prime1, key.exponent1, exp_limbs)) != kRsaOk) return code;
  if ((code = q_.Init(key.prime2, key.exponent2, exp_limbs)) != kRsaOk) return code;
  q_limbs_.assign(q_.mont.size(), 0);
  key.prime2.CopyLimbs(q_limbs_.data(), q_limbs_.size());
  // coefficient R mod prime1 for a coefficient of any length, by the
  // fixed-pattern reduction of the Montgomery context.
  const LimbVector& coefficient = key.coefficient.limbs();
  coefficient_.assign(p_.mont.size(), 0);
  if (!coefficient.empty())
    p_.mont.Reduce(coefficient_.data(), coefficient.data(), coefficient.size());
  p_.mont.ToMont(coefficient_.data(), coefficient_.data());
  return kRsaOk;
}

int RsaPrivateKeyOp::Apply(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                           std::size_t out_size) const {
  if (out_size < k_) return kRsaOutputTooSmall;
  if (in_size != k_) return kRsaInputTooLong;
  BigNum x = BigNum::FromBytes(in, in_size);
  if (x.Compare(n_) >= 0) return kRsaBadData;
  const std::size_t np = p_.mont.size(), nq = q_.mont.size();
  LimbVector xl(n_limbs_), xp(np), xq(nq), m1(np), m2(nq), m2p(np), h(np), y(np + nq + 1);
  x.CopyLimbs(xl.data(), n_limbs_);
  // m1 = x^dP mod p, m2 = x^dQ mod q.
  p_.mont.Reduce(xp.data(), xl.data(), n_limbs_);
  q_.mont.Reduce(xq.data(), xl.data(), n_limbs_);
  MontgomeryContext::ExpConstTimePair(p_.mont, m1.data(), xp.data(), p_.exponent.data(), q_.mont,
                                      m2.data(), xq.data(), q_.exponent.data(), exponent_bits_);
  // h = coefficient (m1 - m2) mod p; m2 is reduced mod p first, whichever
  // prime is larger.
  p_.mont.Reduce(m2p.data(), m2.data(), nq);
  p_.mont.SubMod(h.data(), m1.data(), m2p.data());
  p_.mont.Mul(h.data(), h.data(), coefficient_.data());
  // y = m2 + h q
  LimbsMul(y.data(), h.data(), np, q_limbs_.data(), nq);
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
