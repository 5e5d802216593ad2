// Montgomery arithmetic modulo an odd number of at most kMaxMontLimbs limbs.
// All values are fixed-length arrays of size() limbs. Multiplication and the
// constant-time exponentiation have an access pattern and running time that
// depend only on size() and on the exponent length given, never on values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/bignum.h"

namespace kcertadm {

constexpr std::size_t kMaxMontLimbs = 128;  // 8192 bits

class MontgomeryContext {
 public:
  using MulFn = void (*)(Limb* r, const Limb* a, const Limb* b, const Limb* n,
                         Limb n0);

  // The modulus must be odd, greater than 1 and of at most kMaxMontLimbs
  // limbs; 257 or 263 otherwise.
  int Init(const BigNum& modulus);

  std::size_t size() const { return size_; }
  const Limb* modulus() const { return n_.data(); }

  // r = a * b / R mod n. Inputs below n (or a*b < R*n); r may alias a or b.
  void Mul(Limb* r, const Limb* a, const Limb* b) const {
    mul_(r, a, b, n_.data(), n0_);
  }
  void Sqr(Limb* r, const Limb* a) const { sqr_(r, a, a, n_.data(), n0_); }

  // Montgomery form of x (x < n, or x < R when given as limbs).
  void ToMont(Limb* r, const BigNum& x) const;
  void ToMont(Limb* r, const Limb* x) const { Mul(r, x, rr_.data()); }
  // Value of a Montgomery form.
  void FromMont(Limb* r, const Limb* a) const;
  const Limb* one() const { return one_.data(); }  // R mod n
  const Limb* rr() const { return rr_.data(); }    // R^2 mod n

  // Variable-time exponentiation for public values; result is an ordinary
  // residue.
  BigNum Exp(const BigNum& base, const BigNum& exponent) const;

  // Constant-time exponentiation: r = base^exp in Montgomery form, where
  // base is in Montgomery form and exp is given as exp_limbs limbs of which
  // the low exp_bits bits are used. Fixed 5-bit windows; every table entry is
  // read for every window.
  void ExpConstTime(Limb* r, const Limb* base_mont, const Limb* exp,
                    std::size_t exp_bits) const;

 private:
  std::size_t size_ = 0;
  LimbVector n_;
  LimbVector rr_;
  LimbVector one_;
  Limb n0_ = 0;
  MulFn mul_ = nullptr;
  MulFn sqr_ = nullptr;
};

// Constant-time helpers on fixed-length limb arrays.
// r = a - b over n limbs; returns the borrow (0 or 1).
Limb LimbsSub(Limb* r, const Limb* a, const Limb* b, std::size_t n);
// r = a + b over n limbs; returns the carry.
Limb LimbsAdd(Limb* r, const Limb* a, const Limb* b, std::size_t n);
// r = mask ? a : b, mask all ones or all zeros.
void LimbsSelect(Limb* r, Limb mask, const Limb* a, const Limb* b,
                 std::size_t n);

}  // namespace kcertadm
