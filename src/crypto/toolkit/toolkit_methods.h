// The method entries of the digests and symmetric ciphers, for method lists
// assembled in other files (KeyRingMethods holds the digests).
#pragma once

#include "crypto/toolkit/toolkit_framework.h"

namespace kcertadm {

extern const AlgorithmMethod kMd2DigestMethod;
extern const AlgorithmMethod kMd5DigestMethod;
extern const AlgorithmMethod kSha1DigestMethod;
extern const AlgorithmMethod kSha256DigestMethod;
extern const AlgorithmMethod kSha384DigestMethod;
extern const AlgorithmMethod kSha512DigestMethod;

extern const AlgorithmMethod kDesCbcEncryptMethod;
extern const AlgorithmMethod kDesCbcDecryptMethod;
extern const AlgorithmMethod kDesEde3CbcEncryptMethod;
extern const AlgorithmMethod kDesEde3CbcDecryptMethod;
extern const AlgorithmMethod kRc2CbcEncryptMethod;
extern const AlgorithmMethod kRc2CbcDecryptMethod;
extern const AlgorithmMethod kRc4EncryptMethod;
extern const AlgorithmMethod kRc4DecryptMethod;
extern const AlgorithmMethod kAes128CbcEncryptMethod;
extern const AlgorithmMethod kAes128CbcDecryptMethod;
extern const AlgorithmMethod kAes192CbcEncryptMethod;
extern const AlgorithmMethod kAes192CbcDecryptMethod;
extern const AlgorithmMethod kAes256CbcEncryptMethod;
extern const AlgorithmMethod kAes256CbcDecryptMethod;

}  // namespace kcertadm
