// The raw RSA operations on one block of exactly k bytes, k the modulus
// length in bytes. The private-key operation works by the Chinese remainder
// theorem on fixed-length limb arrays: no branch and no memory index depends
// on the private key or on intermediate values. Its Init likewise: the
// Montgomery set-up of each prime, the reduction of exponent1 and exponent2
// modulo prime - 1 and of the coefficient modulo prime1 follow the stored
// values' lengths only. What may branch there are the checks that refuse a
// key (modulus = prime1 * prime2, odd primes): a refused key is never used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/bignum/bignum.h"
#include "crypto/bignum/montgomery.h"
#include "crypto/rsa/rsa_keygen.h"
#include "crypto/rsa/rsa_public_numbers.h"

namespace kcertadm {

// Toolkit statuses of the RSA operations.
enum RsaStatus : int {
  kRsaOk = 0,
  kRsaBadData = 524,         // input integer not smaller than the modulus
  kRsaInputTooLong = 525,    // block not exactly k bytes
  kRsaBadModulusSize = 533,  // modulus above kRsaMaxBits (8192) bits
  kRsaOutputTooSmall = 536,
  kRsaBadKeyForm = 542,  // inconsistent private key material
};

class RsaPublicKeyOp {
 public:
  int Init(const BigNum& modulus, const BigNum& public_exponent);
  int Init(const RsaPublicNumbers& key);
  std::size_t ModulusBytes() const { return k_; }
  // y = x^e mod n; x is read from exactly k bytes (a value not below n is
  // reduced by the exponentiation).
  int Apply(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
            std::size_t out_size) const;

 private:
  BigNum n_, e_;
  MontgomeryContext mont_;
  std::size_t k_ = 0;
};

class RsaPrivateKeyOp {
 public:
  // Needs modulus, prime1, prime2, exponent1, exponent2 and coefficient;
  // checks modulus = prime1 * prime2 and that both primes are odd.
  int Init(const RsaKeyMaterial& key);
  std::size_t ModulusBytes() const { return k_; }
  // y = x^d mod n for x read from exactly k bytes; x >= n is refused (524).
  int Apply(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
            std::size_t out_size) const;

 private:
  struct Half {
    MontgomeryContext mont;
    LimbVector exponent;  // exponent1 or exponent2 reduced mod prime - 1
    int Init(const BigNum& prime, const BigNum& exponent, std::size_t exp_limbs);
  };

  BigNum n_;
  std::size_t k_ = 0;
  std::size_t n_limbs_ = 0;
  Half p_, q_;
  std::size_t exponent_bits_ = 0;  // bits of the longer prime
  LimbVector q_limbs_;             // prime2, q_.mont.size() limbs
  LimbVector coefficient_;         // coefficient R mod prime1 (Montgomery form)
};

}  // namespace kcertadm
