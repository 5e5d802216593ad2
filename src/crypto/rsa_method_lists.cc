// KeyRingMethods: RSA key generation, the four RSA operations and the three
// digests, in this order.
#include "crypto/rsa_methods.h"
#include "crypto/toolkit_methods.h"

namespace kcertadm {

const AlgorithmMethod* const KeyRingMethods[] = {
    &kRsaKeyGenMethod,         &kRsaPublicEncryptMethod,  &kRsaPublicDecryptMethod,
    &kRsaPrivateEncryptMethod, &kRsaPrivateDecryptMethod, &kMd2DigestMethod,
    &kMd5DigestMethod,         &kSha1DigestMethod,        nullptr};

}  // namespace kcertadm
