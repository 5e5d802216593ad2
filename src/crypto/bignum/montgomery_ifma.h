// The AVX-512 IFMA kernel: almost-Montgomery products on digits of 52 bits,
// eight to a 512-bit vector, for moduli of up to 8,192 bits. Its values
// live in arrays of Words(digits) 64-bit words, one digit each, the unused
// top words zero. Time and memory accesses depend only on the sizes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/bignum/bignum.h"

namespace kcertadm::ifma {

constexpr std::size_t kDigitBits = 52;
constexpr std::size_t kMaxDigits = 160;  // 20 vectors
constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;

// True when the processor has AVX-512F and AVX-512 IFMA.
bool Supported();

// Digits for a modulus of `bits` bits, with R = 2^(52 digits) > 4n as the
// almost-Montgomery products need; 0 when above kMaxDigits.
std::size_t DigitsFor(std::size_t bits);
// Words of storage for a value of `digits` digits: whole vectors.
inline std::size_t Words(std::size_t digits) { return (digits + 7) / 8 * 8; }

// 64-bit limbs to digits (words of them) and back (the value must fit).
void ToDigits(std::uint64_t* out, std::size_t words, const Limb* in, std::size_t limbs);
void FromDigits(Limb* out, std::size_t limbs, const std::uint64_t* in, std::size_t words);

// One almost-Montgomery product: r = a b / R mod n, below 2n, for a and b
// below 2n in normalised digits; k0 = -n^-1 mod 2^52. r may alias a or b.
struct Product {
  std::uint64_t* r;
  const std::uint64_t* a;
  const std::uint64_t* b;
  const std::uint64_t* n;
  std::uint64_t k0;
};
void Mul(const Product& p, std::size_t digits);
// Two independent products of the same size at once, interleaved.
void MulPair(const Product& first, const Product& second, std::size_t digits);

// r = v mod n for v < 2n (normalised digits).
void ReduceOnce(std::uint64_t* r, const std::uint64_t* v, const std::uint64_t* n,
                std::size_t words);

// sel = entry `index` of a table of `entries` values of `words` words,
// reading every entry.
void Select(std::uint64_t* sel, const std::uint64_t* table, std::size_t entries, std::size_t words,
            std::uint64_t index);

}  // namespace kcertadm::ifma
