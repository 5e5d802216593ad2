// Montgomery exponentiation with the AVX-512 integer fused multiply-add
// instructions (52-bit limbs, three 512-bit vectors: moduli up to 1,244
// bits), used for the private-key operation where the processor has them.
// Constant time: the instruction sequence and the memory accessed depend
// only on the modulus length and the exponent length given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/bignum.h"

namespace kcertadm {

// True when the processor offers AVX-512F and AVX-512 IFMA (and the tests
// have not turned the path off).
bool IfmaAvailable();
void SetIfmaDisabledForTesting(bool disabled);

// Public-key exponentiation (variable time) for moduli up to 2,078 bits in
// 40 limbs of 52 bits.
class IfmaPublicExp {
 public:
  static constexpr std::size_t kLanes = 40;
  bool Init(const BigNum& modulus);
  // x^e mod n for any x (reduced first).
  BigNum Exp(const BigNum& x, const BigNum& e) const;

 private:
  BigNum modulus_;
  std::size_t lanes_ = 0;
  std::size_t size64_ = 0;
  alignas(64) std::uint64_t n_[kLanes] = {};
  alignas(64) std::uint64_t rr_[kLanes] = {};
  std::uint64_t k0_ = 0;
};

class IfmaMontgomery {
 public:
  static constexpr std::size_t kLanes = 24;  // 52-bit limbs

  IfmaMontgomery() = default;
  IfmaMontgomery(const IfmaMontgomery&) = default;
  IfmaMontgomery& operator=(const IfmaMontgomery&) = default;
  ~IfmaMontgomery();

  // False when the modulus is even or longer than kLanes * 52 - 2 bits
  // (the almost-Montgomery products need 4 n < R).
  bool Init(const BigNum& modulus);

  // r = x^exp mod n as size64 64-bit limbs, for x < n given as size64
  // limbs and exp as limbs of which the low exp_bits bits are used.
  void ExpConstTime(Limb* r, const Limb* x, const Limb* exp, std::size_t exp_bits) const;

  // Two exponentiations at once, interleaved (modulo a.n and b.n). Both
  // moduli must have the same number of limbs (lanes()).
  static void ExpConstTime2(const IfmaMontgomery& a, Limb* ra, const Limb* xa, const Limb* ea,
                            const IfmaMontgomery& b, Limb* rb, const Limb* xb, const Limb* eb,
                            std::size_t exp_bits);
  std::size_t lanes() const { return lanes_; }

 private:
  std::size_t lanes_ = 0;   // 52-bit limbs in use
  std::size_t size64_ = 0;  // 64-bit limbs of the modulus
  alignas(64) std::uint64_t n_[kLanes] = {};
  alignas(64) std::uint64_t rr_[kLanes] = {};  // R^2 mod n, R = 2^(52 lanes)
  std::uint64_t k0_ = 0;                       // -n^-1 mod 2^52
};

}  // namespace kcertadm
