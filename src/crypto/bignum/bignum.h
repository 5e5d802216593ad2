// Unsigned multi-precision integers for RSA: 64-bit limbs, least
// significant first, no leading zero limbs (zero is the empty vector).
// Every limb array overwrites itself with zeros before it is released.
//
// These routines take time that depends on the values they work on. The
// private-key operation therefore does not use them on secret values; it
// runs on fixed-length limb arrays in montgomery.h, and key generation and
// key loading reduce and invert secrets with bignum_ct.h. What they still
// take from here on secret values depends on lengths only: FromBytes,
// CopyLimbs, Mul, Sub, SetBit at a public position, BitLength of a value whose
// top bit is public, and FromLimbs and Normalize, which tell how many top
// limbs are zero (a length, public for every secret of a stored key).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/secure_memory.h"

namespace kcertadm {

using Limb = std::uint64_t;
using LimbVector = std::vector<Limb, WipingAllocator<Limb>>;
constexpr std::size_t kLimbBits = 64;

// Big-number result codes (0 = success).
enum BigNumCode : int {
  kBigNumOk = 0,
  kBigNumNoMemory = 256,
  kBigNumBadArgument = 257,  // division by zero, even modulus, ...
  kBigNumTooLarge = 263,
  kBigNumNoInverse = 267,
  kBigNumOutputTooSmall = 268,
};

// The result of a big-number operation, which must not be ignored: a
// remainder or an inverse that was not computed is no value to go on with.
// code() is the one way back to the number the toolkit maps to its own.
class [[nodiscard]] BigNumStatus {
 public:
  // Implicit, so that the routines return their codes as they are.
  constexpr BigNumStatus(BigNumCode code = kBigNumOk) noexcept  // NOLINT(runtime/explicit)
      : code_(code) {}

  constexpr bool ok() const noexcept { return code_ == kBigNumOk; }
  constexpr int code() const noexcept { return code_; }
  friend constexpr bool operator==(BigNumStatus, BigNumStatus) noexcept = default;

 private:
  BigNumCode code_;
};

class BigNum {
 public:
  BigNum() = default;
  explicit BigNum(Limb value);

  // Big-endian bytes of any length; leading zero bytes allowed.
  static BigNum FromBytes(const std::uint8_t* data, std::size_t size);
  // Exactly `size` big-endian bytes, left-padded with zeros; 268 when the
  // value does not fit.
  BigNumStatus ToBytes(std::uint8_t* out, std::size_t size) const;
  // Minimal big-endian encoding (one zero byte for zero is NOT written:
  // zero gives an empty vector).
  SecureBytes ToBytes() const;

  std::size_t BitLength() const;
  std::size_t ByteLength() const { return (BitLength() + 7) / 8; }
  bool Bit(std::size_t i) const;
  void SetBit(std::size_t i);
  void ClearBit(std::size_t i);
  bool IsZero() const { return limbs_.empty(); }
  bool IsOdd() const { return !limbs_.empty() && (limbs_[0] & 1); }
  bool IsOne() const { return limbs_.size() == 1 && limbs_[0] == 1; }

  // -1, 0 or 1.
  int Compare(const BigNum& other) const;
  bool operator==(const BigNum& other) const { return Compare(other) == 0; }
  bool operator<(const BigNum& other) const { return Compare(other) < 0; }
  bool operator<=(const BigNum& other) const { return Compare(other) <= 0; }

  void AddSmall(Limb value);
  // Requires *this >= value.
  void SubSmall(Limb value);
  // Remainder by a non-zero value below 2^32.
  std::uint32_t ModSmall(std::uint32_t divisor) const;

  static BigNum Add(const BigNum& a, const BigNum& b);
  // Requires a >= b.
  static BigNum Sub(const BigNum& a, const BigNum& b);
  static BigNum Mul(const BigNum& a, const BigNum& b);
  // quotient and/or remainder may be null; 257 on division by zero.
  static BigNumStatus DivMod(const BigNum& a, const BigNum& b, BigNum* quotient, BigNum* remainder);
  static BigNumStatus Mod(const BigNum& a, const BigNum& m, BigNum* remainder) {
    return DivMod(a, m, nullptr, remainder);
  }
  static BigNum Gcd(const BigNum& a, const BigNum& b);
  // a^-1 mod m; 267 when gcd(a, m) != 1, 257 when m < 2.
  static BigNumStatus ModInverse(const BigNum& a, const BigNum& m, BigNum* inverse);
  // base^exponent mod modulus, variable time (public values only). The
  // modulus must be odd and greater than 1 (else 257).
  static BigNumStatus ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus,
                             BigNum* result);

  const LimbVector& limbs() const { return limbs_; }
  // Takes limbs in any form; strips leading zeros.
  static BigNum FromLimbs(const Limb* limbs, std::size_t count);
  // Copies the value into exactly `count` limbs (the value must fit).
  void CopyLimbs(Limb* out, std::size_t count) const;

  void Wipe();

 private:
  // DivMod for a divisor known to be non-zero.
  static void DivideByNonZero(const BigNum& a, const BigNum& b, BigNum* quotient,
                              BigNum* remainder);
  // ToBytes(out, size) for a size the value is known to fit.
  void WriteBytes(std::uint8_t* out, std::size_t size) const;
  void Normalize();
  LimbVector limbs_;
};

}  // namespace kcertadm
