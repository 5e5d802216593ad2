// The method lists of the digests, the symmetric ciphers and the
// password-based encryption. KeyRingMethods and RandomMethods live with the
// RSA and random generator code.
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_methods.h"

namespace kcertadm {

const AlgorithmMethod* const DigestMethods[] = {&kMd2DigestMethod,
                                                &kMd5DigestMethod,
                                                &kSha1DigestMethod,
                                                &kSha256DigestMethod,
                                                &kSha384DigestMethod,
                                                &kSha512DigestMethod,
                                                nullptr};

const AlgorithmMethod* const PbeMethods[] = {&kMd5DigestMethod, &kDesCbcEncryptMethod,
                                             &kDesCbcDecryptMethod, nullptr};

const AlgorithmMethod* const DesCbcMethods[] = {&kDesCbcEncryptMethod, &kDesCbcDecryptMethod,
                                                nullptr};

const AlgorithmMethod* const Rc2CbcMethods[] = {&kRc2CbcEncryptMethod, &kRc2CbcDecryptMethod,
                                                nullptr};

const AlgorithmMethod* const Rc4Methods[] = {&kRc4EncryptMethod, &kRc4DecryptMethod, nullptr};

const AlgorithmMethod* const DesEde3CbcMethods[] = {&kDesEde3CbcEncryptMethod,
                                                    &kDesEde3CbcDecryptMethod, nullptr};

const AlgorithmMethod* const AesCbcMethods[] = {&kAes128CbcEncryptMethod,
                                                &kAes128CbcDecryptMethod,
                                                &kAes192CbcEncryptMethod,
                                                &kAes192CbcDecryptMethod,
                                                &kAes256CbcEncryptMethod,
                                                &kAes256CbcDecryptMethod,
                                                nullptr};

const AlgorithmMethod* const Pkcs12PbeMethods[] = {
    &kSha1DigestMethod,    &kDesEde3CbcEncryptMethod, &kDesEde3CbcDecryptMethod,
    &kRc2CbcEncryptMethod, &kRc2CbcDecryptMethod,     nullptr};

}  // namespace kcertadm
