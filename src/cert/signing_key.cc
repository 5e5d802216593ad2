#include "cert/signing_key.h"

#include "asn1/asn1.h"
#include "cert/cert_signature.h"

namespace kcertadm {

SigningKey::~SigningKey() { DerFree(&validityDer); }

}  // namespace kcertadm
