// RSA key-pair generation from a stream of random bytes. Deterministic in
// its random input: the same bytes give the same key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "crypto/bignum/bignum.h"
#include "crypto/rsa/rsa_key_material.h"

namespace kcertadm {

constexpr std::uint32_t kRsaMinKeyGenBits = 256;
constexpr std::uint32_t kRsaMaxBits = 8192;

// Key-generation results and failures (toolkit statuses).
enum RsaKeyGenStatus : int {
  kRsaKeyGenOk = 0,
  kRsaKeyGenCancelled = 519,
  kRsaKeyGenBadParameter = 513,     // even public exponent or one below 3
  kRsaKeyGenExponentTooLong = 522,  // e has as many bits as the modulus
  kRsaKeyGenBadModulusSize = 533,
};

// Fills out with size random bytes; returns 0 or a toolkit status, which
// ends the generation.
using RandomFill = std::function<int(std::uint8_t* out, std::size_t size)>;
// Consulted once per attempt; true stops the generation (519).
using CancelCheck = std::function<bool()>;

// Random bytes taken per attempt for a modulus of `bits` bits.
inline std::size_t RsaKeyGenRandomBytes(std::uint32_t bits) { return ((bits + 1) / 32) * 4 + 4; }

// Checks the parameters as the generator's init does: 533 for a modulus
// size outside 256..8192, 522 for an exponent of as many bits as the
// modulus or more, 513 for an exponent that is even or below 3 (no prime
// could ever pass the gcd check with an even one).
int CheckRsaKeyGenParameters(std::uint32_t bits, const BigNum& e);

// Generates a key of exactly `bits` bits with public exponent e:
// prime1 > prime2, both of (bits + 1) / 2 and bits / 2 bits. Attempts that
// find no prime start again with fresh random bytes, without limit.
int GenerateRsaKey(std::uint32_t bits, const BigNum& e, const RandomFill& random,
                   const CancelCheck& cancel, RsaKeyMaterial* key);

// One attempt on the given RsaKeyGenRandomBytes(bits) bytes; 8 when a
// window holds no prime or e has no inverse.
int GenerateRsaKeyAttempt(std::uint32_t bits, const BigNum& e, const std::uint8_t* random,
                          RsaKeyMaterial* key);

}  // namespace kcertadm
