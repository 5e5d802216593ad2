// The cryptographic toolkit as the rest of the library uses it.
//
// Calling pattern for one object: AlgCreate; AlgSetInfo once (an algorithm
// info type and its parameter record); one Init with a key object (or null)
// and a method list; Updates; one Final; AlgDestroy. Key material lives in
// KeyObjects (KeyCreate, KeySetInfo, KeyGetInfo, KeyDestroy), which derive a
// missing key form on demand. Every operation returns a ToolkitStatus: 0
// or a code of crypto/toolkit/toolkit_status.h.
//
// Every call, object creation and destruction included, is made while
// holding ToolkitLock, and takes the proof of it as its first argument
// (crypto/toolkit/toolkit_lock.h; crypto/toolkit/toolkit_scope.h has the
// owners, which release their objects under the lock themselves). The
// toolkit itself takes no lock.
//
// All parameter records and key material are copied into the objects; the
// caller may release its buffers right after the call.
#pragma once

#include <cstdint>

#include "crypto/toolkit/toolkit_framework.h"
#include "crypto/toolkit/toolkit_lock.h"
#include "crypto/toolkit/toolkit_status.h"

namespace kcertadm {

// ------------------------------------------------------- parameter records

// {data, length}: the KeyInfoItem material, and byte strings in records.
struct ByteItem {
  const std::uint8_t* data;
  std::uint32_t length;
};

// AlgInfoDesCbc, AlgInfoDesEde3Cbc: an 8-byte IV; the AES types: a 16-byte IV.
struct CbcParams {
  const std::uint8_t* iv;
};

// AlgInfoRc2Cbc: effective key bits (1..1024) and an 8-byte IV.
struct Rc2CbcParams {
  std::uint32_t effectiveBits;
  const std::uint8_t* iv;
};

// AlgInfoPbeMd5DesCbc: an 8-byte salt and the number of MD5 computations.
struct PbeParams {
  const std::uint8_t* salt;
  std::uint32_t iterationCount;
};

// AlgInfoPkcs12PbeSha1DesEde3Cbc, AlgInfoPkcs12PbeSha1Rc2Cbc40: the salt
// (any length) and the number of SHA-1 computations per derived block.
struct Pkcs12PbeParams {
  const std::uint8_t* salt;
  std::uint32_t saltLength;
  std::uint32_t iterationCount;
};

// AlgInfoPbkdf2: the salt, the iteration count (1 or more), the length of
// the derived key (1 or more) and the HMAC of its pseudorandom function
// (AlgInfoHmacSha1 ... AlgInfoHmacSha512).
struct Pbkdf2Params {
  ByteItem salt;
  std::uint32_t iterationCount;
  std::uint32_t keyLength;
  const AlgorithmInfoType* prf;
};

// Key forms and their material (KeySetInfo) / records (KeyGetInfo):
//   KeyInfoItem        const ByteItem*               (record: const ByteItem*)
//   KeyInfoDes8        const std::uint8_t* (8 bytes) (record: const std::uint8_t*)
//   KeyInfoDesParity   const std::uint8_t* (8 bytes), odd parity forced when set
//   KeyInfoDesEde3     const std::uint8_t* (24 bytes: K1, K2, K3)
//   KeyInfoRsaPublic, KeyInfoRsaPrivate, KeyInfoRsaCrt: see crypto/rsa headers.

// ---------------------------------------------------------------- info types

// Digests (no parameters).
const AlgorithmInfoType* AlgInfoMd2();
const AlgorithmInfoType* AlgInfoMd5();
const AlgorithmInfoType* AlgInfoSha1();
const AlgorithmInfoType* AlgInfoSha256();
const AlgorithmInfoType* AlgInfoSha384();
const AlgorithmInfoType* AlgInfoSha512();
// HMAC: keyed digests (the key a KeyInfoItem at DigestInit, HmacMethods).
const AlgorithmInfoType* AlgInfoHmacSha1();
const AlgorithmInfoType* AlgInfoHmacSha256();
const AlgorithmInfoType* AlgInfoHmacSha384();
const AlgorithmInfoType* AlgInfoHmacSha512();
// PBKDF2 (Pbkdf2Params): the password a KeyInfoItem at DigestInit
// (HmacMethods), no DigestUpdate (541), the derived key from DigestFinal.
const AlgorithmInfoType* AlgInfoPbkdf2();
// Ciphers.
const AlgorithmInfoType* AlgInfoDesCbc();      // CbcParams
const AlgorithmInfoType* AlgInfoDesEde3Cbc();  // CbcParams
const AlgorithmInfoType* AlgInfoRc2Cbc();      // Rc2CbcParams
const AlgorithmInfoType* AlgInfoRc4();         // no parameters
// AES-CBC with PKCS #5 padding, keyed by a KeyInfoItem of 16, 24 or 32 bytes.
const AlgorithmInfoType* AlgInfoAes128CbcPad();  // CbcParams
const AlgorithmInfoType* AlgInfoAes192CbcPad();  // CbcParams
const AlgorithmInfoType* AlgInfoAes256CbcPad();  // CbcParams
// Password-based encryption (PKCS #5 v1.5, MD5 and DES-CBC).
const AlgorithmInfoType* AlgInfoPbeMd5DesCbc();  // PbeParams
// Password-based encryption of PKCS #12 (key derivation of RFC 7292 over
// SHA-1, PKCS #5 padding); the password key holds a KeyInfoItem with the
// password's BMPString and its two zero bytes.
const AlgorithmInfoType* AlgInfoPkcs12PbeSha1DesEde3Cbc();  // Pkcs12PbeParams
const AlgorithmInfoType* AlgInfoPkcs12PbeSha1Rc2Cbc40();    // Pkcs12PbeParams
// RSA, signatures, key generation and random generator (crypto/rsa*,
// crypto/signature*, crypto/random*).
const AlgorithmInfoType* AlgInfoRsaKeyGen();
const AlgorithmInfoType* AlgInfoRsaPrivatePkcs();
const AlgorithmInfoType* AlgInfoRsaPublicPkcs();
const AlgorithmInfoType* AlgInfoMd2WithRsa();
const AlgorithmInfoType* AlgInfoMd5WithRsa();
const AlgorithmInfoType* AlgInfoSha1WithRsa();
const AlgorithmInfoType* AlgInfoSha256WithRsa();
const AlgorithmInfoType* AlgInfoSha384WithRsa();
const AlgorithmInfoType* AlgInfoSha512WithRsa();
const AlgorithmInfoType* AlgInfoRandomMd5();

const KeyInfoType* KeyInfoItem();
const KeyInfoType* KeyInfoDes8();
const KeyInfoType* KeyInfoDesParity();
const KeyInfoType* KeyInfoDesEde3();
const KeyInfoType* KeyInfoRsaPublic();
const KeyInfoType* KeyInfoRsaPrivate();
const KeyInfoType* KeyInfoRsaCrt();

// -------------------------------------------------------------- method lists

extern const AlgorithmMethod* const KeyRingMethods[];     // RSA, key generation, digests
extern const AlgorithmMethod* const PbeMethods[];         // MD5, DES-CBC both ways
extern const AlgorithmMethod* const DigestMethods[];      // MD2, MD5, SHA-1, SHA-256/384/512
extern const AlgorithmMethod* const HmacMethods[];        // HMAC with SHA-1, SHA-256/384/512
extern const AlgorithmMethod* const RandomMethods[];      // MD5 random generator
extern const AlgorithmMethod* const DesCbcMethods[];      // DES-CBC both ways
extern const AlgorithmMethod* const Rc2CbcMethods[];      // RC2-CBC both ways
extern const AlgorithmMethod* const Rc4Methods[];         // RC4 both ways
extern const AlgorithmMethod* const DesEde3CbcMethods[];  // triple-DES-CBC both ways
extern const AlgorithmMethod* const AesCbcMethods[];      // AES-128/192/256-CBC-pad both ways
extern const AlgorithmMethod* const
    Pkcs12PbeMethods[];  // SHA-1, triple-DES-CBC and RC2-CBC both ways

// ---------------------------------------------------------------- operations

ToolkitStatus AlgCreate(const ToolkitLockHeld& lock, AlgorithmObject** handle);
// Releases a valid object (handler, then every owned block, wiped); sets the
// handle to null in every case.
void AlgDestroy(const ToolkitLockHeld& lock, AlgorithmObject** handle);
ToolkitStatus AlgSetInfo(const ToolkitLockHeld& lock, AlgorithmObject* handle, const InfoType* type,
                         const void* parameters);
// Reading parameters back: 541 for every type of this library.
ToolkitStatus AlgGetInfo(const ToolkitLockHeld& lock, const void** parameters,
                         AlgorithmObject* handle, const InfoType* type);

ToolkitStatus KeyCreate(const ToolkitLockHeld& lock, KeyObject** handle);
void KeyDestroy(const ToolkitLockHeld& lock, KeyObject** handle);
ToolkitStatus KeySetInfo(const ToolkitLockHeld& lock, KeyObject* key, const InfoType* type,
                         const void* material);
// KeyGetInfo (the record stays owned by the key; a derived form is kept
// for later calls) is declared with the object framework.

ToolkitStatus KeyPairGenerateInit(const ToolkitLockHeld& lock, AlgorithmObject* handle,
                                  MethodList methods, const ProgressCallback* progress);
ToolkitStatus KeyPairGenerate(const ToolkitLockHeld& lock, AlgorithmObject* handle,
                              KeyObject* publicKey, KeyObject* privateKey, AlgorithmObject* random,
                              const ProgressCallback* progress);

ToolkitStatus EncryptInit(const ToolkitLockHeld& lock, AlgorithmObject* handle, KeyObject* key,
                          MethodList methods, const ProgressCallback* progress);
ToolkitStatus DecryptInit(const ToolkitLockHeld& lock, AlgorithmObject* handle, KeyObject* key,
                          MethodList methods, const ProgressCallback* progress);
ToolkitStatus EncryptUpdate(const ToolkitLockHeld& lock, AlgorithmObject* handle, std::uint8_t* out,
                            std::uint32_t* outLength, std::uint32_t outSize, const void* in,
                            std::uint32_t inLength, AlgorithmObject* random,
                            const ProgressCallback* progress);
ToolkitStatus DecryptUpdate(const ToolkitLockHeld& lock, AlgorithmObject* handle, std::uint8_t* out,
                            std::uint32_t* outLength, std::uint32_t outSize, const void* in,
                            std::uint32_t inLength, AlgorithmObject* random,
                            const ProgressCallback* progress);
ToolkitStatus EncryptFinal(const ToolkitLockHeld& lock, AlgorithmObject* handle, std::uint8_t* out,
                           std::uint32_t* outLength, std::uint32_t outSize, AlgorithmObject* random,
                           const ProgressCallback* progress);
ToolkitStatus DecryptFinal(const ToolkitLockHeld& lock, AlgorithmObject* handle, std::uint8_t* out,
                           std::uint32_t* outLength, std::uint32_t outSize, AlgorithmObject* random,
                           const ProgressCallback* progress);

ToolkitStatus SignInit(const ToolkitLockHeld& lock, AlgorithmObject* handle, KeyObject* key,
                       MethodList methods, const ProgressCallback* progress);
ToolkitStatus VerifyInit(const ToolkitLockHeld& lock, AlgorithmObject* handle, KeyObject* key,
                         MethodList methods, const ProgressCallback* progress);
ToolkitStatus SignUpdate(const ToolkitLockHeld& lock, AlgorithmObject* handle, const void* in,
                         std::uint32_t inLength, const ProgressCallback* progress);
ToolkitStatus VerifyUpdate(const ToolkitLockHeld& lock, AlgorithmObject* handle, const void* in,
                           std::uint32_t inLength, const ProgressCallback* progress);
ToolkitStatus SignFinal(const ToolkitLockHeld& lock, AlgorithmObject* handle,
                        std::uint8_t* signature, std::uint32_t* signatureLength,
                        std::uint32_t bufferSize, AlgorithmObject* random,
                        const ProgressCallback* progress);
// 0 means the signature is good.
ToolkitStatus VerifyFinal(const ToolkitLockHeld& lock, AlgorithmObject* handle,
                          const std::uint8_t* signature, std::uint32_t signatureLength,
                          AlgorithmObject* random, const ProgressCallback* progress);

ToolkitStatus DigestInit(const ToolkitLockHeld& lock, AlgorithmObject* handle, KeyObject* key,
                         MethodList methods, const ProgressCallback* progress);
ToolkitStatus DigestUpdate(const ToolkitLockHeld& lock, AlgorithmObject* handle, const void* in,
                           std::uint32_t inLength, const ProgressCallback* progress);
ToolkitStatus DigestFinal(const ToolkitLockHeld& lock, AlgorithmObject* handle,
                          std::uint8_t* digest, std::uint32_t* digestLength,
                          std::uint32_t bufferSize, const ProgressCallback* progress);

ToolkitStatus RandomInit(const ToolkitLockHeld& lock, AlgorithmObject* handle, MethodList methods,
                         const ProgressCallback* progress);
ToolkitStatus RandomSeed(const ToolkitLockHeld& lock, AlgorithmObject* handle, const void* seed,
                         std::uint32_t length, const ProgressCallback* progress);
ToolkitStatus RandomGenerate(const ToolkitLockHeld& lock, AlgorithmObject* handle,
                             std::uint8_t* out, std::uint32_t count,
                             const ProgressCallback* progress);

}  // namespace kcertadm
