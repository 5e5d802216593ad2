// The private numbers of an RSA key as stored and carried outside the
// toolkit, their one conversion to and from the toolkit's record, and their
// bytes from the big numbers.
#pragma once

#include <array>

#include "base/secure_memory.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/rsa_key_material.h"
#include "crypto/rsa/rsa_public_numbers.h"

namespace kcertadm {

// The eight numbers of an RSA private key in PKCS #1 order, each big-endian.
struct RsaPrivateNumbers {
  SecureBytes modulus;
  SecureBytes publicExponent;
  SecureBytes privateExponent;
  SecureBytes prime1;
  SecureBytes prime2;
  SecureBytes exponent1;
  SecureBytes exponent2;
  SecureBytes coefficient;

  // The eight in PKCS #1 order.
  std::array<SecureBytes*, 8> Parts() {
    return {&modulus, &publicExponent, &privateExponent, &prime1,
            &prime2,  &exponent1,      &exponent2,       &coefficient};
  }
  std::array<const SecureBytes*, 8> Parts() const {
    return {&modulus, &publicExponent, &privateExponent, &prime1,
            &prime2,  &exponent1,      &exponent2,       &coefficient};
  }
};

// The toolkit's KeyInfoRsaPrivate record viewing the numbers; valid while
// they live unchanged.
RsaPrivateKeyRecord RecordOf(const RsaPrivateNumbers& numbers);

// A copy of the numbers a record views.
RsaPrivateNumbers NumbersOf(const RsaPrivateKeyRecord& record);

// The big numbers' minimal big-endian bytes (none for a zero).
RsaPrivateNumbers NumbersOf(const RsaKeyMaterial& material);

// The numbers as big numbers.
RsaKeyMaterial MaterialOf(const RsaPrivateNumbers& numbers);

// The public half, viewing the numbers; valid while they live unchanged.
RsaPublicNumbers PublicNumbersOf(const RsaPrivateNumbers& numbers);

}  // namespace kcertadm
