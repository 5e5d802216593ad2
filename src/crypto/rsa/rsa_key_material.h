// The eight numbers of an RSA private key as big numbers: what key
// generation produces and what the private-key operation is prepared from.
// Their bytes (RsaPrivateNumbers) are the form kept outside the toolkit.
#pragma once

#include <array>

#include "crypto/bignum/bignum.h"

namespace kcertadm {

struct RsaKeyMaterial {
  BigNum modulus, public_exponent, private_exponent, prime1, prime2, exponent1, exponent2,
      coefficient;

  // The eight in PKCS #1 order.
  std::array<BigNum*, 8> Parts() {
    return {&modulus, &public_exponent, &private_exponent, &prime1,
            &prime2,  &exponent1,       &exponent2,        &coefficient};
  }
  std::array<const BigNum*, 8> Parts() const {
    return {&modulus, &public_exponent, &private_exponent, &prime1,
            &prime2,  &exponent1,       &exponent2,        &coefficient};
  }
  // Zeroes the numbers now rather than when they are released.
  void Wipe() {
    for (BigNum* part : Parts()) part->Wipe();
  }
};

}  // namespace kcertadm
