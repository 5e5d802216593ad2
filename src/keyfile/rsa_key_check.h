// The consistency of an RSA private key taken from outside the key ring,
// checked before the key is stored: a key whose numbers do not belong
// together would sign wrongly or, worse, leak its primes through faulty
// CRT signatures.
#pragma once

#include "keyring/password_protection.h"

namespace kcertadm {

// The key sizes an imported key may have.
inline constexpr std::size_t kImportMinModulusBits = 512;
inline constexpr std::size_t kImportMaxModulusBits = 8192;

// True when n = p * q with n of an accepted size, e odd and above 1,
// d * e = 1 mod lcm(p - 1, q - 1), d mod (p - 1) and d mod (q - 1) are the
// two CRT exponents, and the coefficient is q^-1 mod p. The private numbers
// are compared and reduced in steps that follow their lengths only.
bool RsaPrivateNumbersConsistent(const RsaPrivateNumbers& numbers);

}  // namespace kcertadm
