// AlgInfoRsaKeyGen: RSA key-pair generation as a toolkit algorithm.
// Parameter record: RsaKeyGenParams. KeyPairGenerateInit with KeyRingMethods
// checks the parameters (533, 522, 513); KeyPairGenerate takes two empty key
// objects and an initialised random object and leaves KeyInfoRsaPrivate in
// the private key and KeyInfoRsaPublic in the public key.
#pragma once

#include <cstdint>

#include "crypto/toolkit/toolkit.h"

namespace kcertadm {

struct RsaKeyGenParams {
  std::uint32_t modulusBits;
  ByteItem publicExponent;  // big-endian; the library passes 01 00 01
};

}  // namespace kcertadm
