// KeyRingMethods: RSA key generation, the four RSA operations and the
// digests, in this order.
#include "crypto/rsa/rsa_methods.h"
#include "crypto/toolkit/toolkit_methods.h"

namespace kcertadm {

const AlgorithmMethod* const KeyRingMethods[] = {
    &kRsaKeyGenMethod,         &kRsaPublicEncryptMethod,  &kRsaPublicDecryptMethod,
    &kRsaPrivateEncryptMethod, &kRsaPrivateDecryptMethod, &kMd2DigestMethod,
    &kMd5DigestMethod,         &kSha1DigestMethod,        &kSha256DigestMethod,
    &kSha384DigestMethod,      &kSha512DigestMethod,      nullptr};

}  // namespace kcertadm
