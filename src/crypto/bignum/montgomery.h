// Arithmetic modulo an odd number of at most kMaxMontLimbs limbs, on
// fixed-length arrays of size() limbs, and the exponentiations of RSA.
//
// One design for every processor: the context runs its products on the
// 64-bit kernel that goes with its RsaKernel, and its exponentiations on
// that kernel or, for RsaKernel::kIfma, on 52-bit digits with AVX-512 IFMA.
// Everything but Exp takes time and touches memory in a way that depends
// only on the sizes and on the exponent length given, never on values; Init
// included, as prime candidates and private primes are moduli too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/bignum/bignum.h"
#include "crypto/bignum/montgomery_kernel.h"

namespace kcertadm {

class MontgomeryContext {
 public:
  // Whether the modulus may show in the time the set-up takes.
  enum class Modulus { kSecret, kPublic };

  // The modulus must be odd, greater than 1 and of at most kMaxMontLimbs
  // limbs; 257 or 263 otherwise. Without a kernel, ActiveRsaKernel(). A
  // secret modulus (a prime candidate, a private key's prime) is set up in
  // steps that follow its length only; a public one (a public key's
  // modulus, a public exponent) by the faster long division.
  int Init(const BigNum& modulus) { return Init(modulus, ActiveRsaKernel()); }
  int InitPublic(const BigNum& modulus) {
    return Init(modulus, ActiveRsaKernel(), Modulus::kPublic);
  }
  int Init(const BigNum& modulus, RsaKernel kernel, Modulus kind = Modulus::kSecret);

  std::size_t size() const { return size_; }
  const Limb* modulus() const { return n_.data(); }
  RsaKernel kernel() const { return kernel_; }

  // Montgomery form with R = 2^(64 size()).
  // r = a * b / R mod n for a * b < R n (a below R, b below n); r may alias.
  void Mul(Limb* r, const Limb* a, const Limb* b) const {
    limb_->mul(r, a, b, n_.data(), n0_, size_);
  }
  void Sqr(Limb* r, const Limb* a) const { limb_->sqr(r, a, n_.data(), n0_, size_); }
  // r = x R mod n for x below R; r = a / R mod n.
  void ToMont(Limb* r, const Limb* x) const { Mul(r, x, rr_.data()); }
  void FromMont(Limb* r, const Limb* a) const;
  const Limb* one() const { return one_.data(); }  // R mod n
  const Limb* rr() const { return rr_.data(); }    // R^2 mod n

  // Plain residues.
  // r = x mod n for x of x_limbs limbs.
  void Reduce(Limb* r, const Limb* x, std::size_t x_limbs) const;
  // r = a - b mod n for a, b below n.
  void SubMod(Limb* r, const Limb* a, const Limb* b) const;

  // base^exponent mod n, variable time: for public exponents only.
  BigNum Exp(const BigNum& base, const BigNum& exponent) const;

  // r = x^exp mod n for x below n, exp given as limbs of which the low
  // exp_bits bits are used: fixed windows, every table entry read for every
  // window.
  void ExpConstTime(Limb* r, const Limb* x, const Limb* exp, std::size_t exp_bits) const;
  // Two such exponentiations with exponents of exp_bits bits at once (the
  // IFMA kernel interleaves them when both moduli take as many digits).
  static void ExpConstTimePair(const MontgomeryContext& a, Limb* ra, const Limb* xa, const Limb* ea,
                               const MontgomeryContext& b, Limb* rb, const Limb* xb, const Limb* eb,
                               std::size_t exp_bits);

 private:
  std::size_t size_ = 0;
  RsaKernel kernel_ = RsaKernel::kPortable;
  const LimbKernel* limb_ = nullptr;
  LimbVector n_, rr_, one_;
  Limb n0_ = 0;
  // The IFMA form of the modulus: digits, n and R^2 mod n in digits.
  std::size_t digits_ = 0;
  LimbVector n52_, rr52_;
  std::uint64_t k52_ = 0;

  LimbVector PowerOfTwoMont(std::size_t bit) const;

  friend class LimbField;
  friend class IfmaField;
};

// Constant-time helpers on fixed-length limb arrays.
// r = a - b over n limbs; returns the borrow (0 or 1).
Limb LimbsSub(Limb* r, const Limb* a, const Limb* b, std::size_t n);
// r = a + b over n limbs; returns the carry.
Limb LimbsAdd(Limb* r, const Limb* a, const Limb* b, std::size_t n);
// r = a * b (na + nb limbs; r must not overlap a or b).
void LimbsMul(Limb* r, const Limb* a, std::size_t na, const Limb* b, std::size_t nb);
// r = mask ? a : b, mask all ones or all zeros.
void LimbsSelect(Limb* r, Limb mask, const Limb* a, const Limb* b, std::size_t n);
// r = a^-1 mod 2^(64 n) for an odd a of n limbs (r must not overlap a): a
// number of Newton steps that follows n only.
void LimbsInverseModLimbPower(Limb* r, const Limb* a, std::size_t n);
// r = 2 r + bit mod m over n limbs, for r below m and bit 0 or 1 (m of any
// parity); scratch holds n limbs.
void LimbsDoubleMod(Limb* r, Limb bit, const Limb* m, Limb* scratch, std::size_t n);

}  // namespace kcertadm
