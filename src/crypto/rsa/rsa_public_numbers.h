// The two numbers of an RSA public key as views into the bytes that hold
// them: the INTEGER contents of a SubjectPublicKeyInfo, the owned numbers of
// a private key, or the toolkit's KeyInfoRsaPublic record. Both big-endian,
// as encoded (leading zero bytes are kept; readers that care drop them).
#pragma once

#include "base/byte_view.h"

namespace kcertadm {

struct RsaPublicNumbers {
  ByteView modulus;
  ByteView publicExponent;
};

}  // namespace kcertadm
