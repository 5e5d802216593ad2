// The object calls: checks common to every Init, Update and Final call, then
// the installed handler's operation.
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {
namespace {

template <typename Handler>
constexpr HandlerFamily FamilyOf();
template <>
constexpr HandlerFamily FamilyOf<CipherHandler>() {
  return HandlerFamily::kCipher;
}
template <>
constexpr HandlerFamily FamilyOf<SignatureHandler>() {
  return HandlerFamily::kSignature;
}
template <>
constexpr HandlerFamily FamilyOf<DigestHandler>() {
  return HandlerFamily::kDigest;
}
template <>
constexpr HandlerFamily FamilyOf<RandomHandler>() {
  return HandlerFamily::kRandom;
}
template <>
constexpr HandlerFamily FamilyOf<KeyGenerationHandler>() {
  return HandlerFamily::kKeyGeneration;
}

struct CallChecks {
  int bad_object = TkErrBadAlgObject;         // 539 for the random calls
  int not_initialised = TkErrNotInitialised;  // 538 for the random calls
};

constexpr CallChecks kRandomChecks{TkErrBadRandomObject, TkErrRandomNotInitialised};

// Checks the object, the optional random object and key, and the installed
// handler; for Update and Final calls also that an Init succeeded.
template <typename Handler>
int Resolve(AlgorithmObject* handle, bool after_init, Handler** handler,
            const AlgorithmObject* random = nullptr, const KeyObject* key = nullptr,
            CallChecks checks = {}) {
  if (!IsValidAlgorithmObject(handle)) return checks.bad_object;
  if (random != nullptr && !IsValidAlgorithmObject(random)) return TkErrBadRandomObject;
  if (key != nullptr && !IsValidKeyObject(key)) return TkErrBadKeyObject;
  AlgorithmHandler* installed = handle->handler;
  if (installed == nullptr) return TkErrAlgNotSet;
  if (!installed->IsWellFormed() || installed->family() != FamilyOf<Handler>())
    return TkErrWrongKind;
  if (after_init && (handle->flags & kAlgFlagInitialised) == 0) return checks.not_initialised;
  *handler = static_cast<Handler*>(installed);
  return TkOk;
}

// Runs an Init operation and keeps the initialised flag in step with it.
template <typename InitCall>
int RunInit(AlgorithmObject* handle, InitCall&& init) {
  handle->flags &= ~kAlgFlagInitialised;
  const int status = init();
  if (status == TkOk) handle->flags |= kAlgFlagInitialised;
  return status;
}

// Output lengths are 0 unless the call succeeds.
std::uint32_t* OutLength(std::uint32_t* out_length, std::uint32_t& spare) {
  std::uint32_t* target = out_length != nullptr ? out_length : &spare;
  *target = 0;
  return target;
}

const std::uint8_t* Bytes(const void* data) { return static_cast<const std::uint8_t*>(data); }

}  // namespace

// ----------------------------------------------------------- key generation

ToolkitStatus KeyPairGenerateInit(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                                  MethodList methods, const ProgressCallback* progress) {
  KeyGenerationHandler* handler = nullptr;
  if (int status = Resolve(handle, false, &handler)) return status;
  return RunInit(handle, [&] { return handler->KeyPairGenerateInit(methods, progress); });
}

ToolkitStatus KeyPairGenerate(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                              KeyObject* publicKey, KeyObject* privateKey, AlgorithmObject* random,
                              const ProgressCallback* progress) {
  KeyGenerationHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, random)) return status;
  if (!IsValidKeyObject(publicKey) || !IsValidKeyObject(privateKey)) return TkErrBadKeyObject;
  return handler->KeyPairGenerate(publicKey, privateKey, random, progress);
}

// ------------------------------------------------------------------ ciphers

ToolkitStatus EncryptInit(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, KeyObject* key,
                          MethodList methods, const ProgressCallback* progress) {
  CipherHandler* handler = nullptr;
  if (int status = Resolve(handle, false, &handler, nullptr, key)) return status;
  return RunInit(handle, [&] { return handler->EncryptInit(key, methods, progress); });
}

ToolkitStatus DecryptInit(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, KeyObject* key,
                          MethodList methods, const ProgressCallback* progress) {
  CipherHandler* handler = nullptr;
  if (int status = Resolve(handle, false, &handler, nullptr, key)) return status;
  return RunInit(handle, [&] { return handler->DecryptInit(key, methods, progress); });
}

ToolkitStatus EncryptUpdate(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                            std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                            const void* in, std::uint32_t inLength, AlgorithmObject* random,
                            const ProgressCallback* progress) {
  std::uint32_t spare;
  outLength = OutLength(outLength, spare);
  CipherHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, random)) return status;
  return handler->EncryptUpdate(out, outLength, outSize, Bytes(in), inLength, random, progress);
}

ToolkitStatus DecryptUpdate(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                            std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                            const void* in, std::uint32_t inLength, AlgorithmObject* random,
                            const ProgressCallback* progress) {
  std::uint32_t spare;
  outLength = OutLength(outLength, spare);
  CipherHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, random)) return status;
  return handler->DecryptUpdate(out, outLength, outSize, Bytes(in), inLength, random, progress);
}

ToolkitStatus EncryptFinal(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                           std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                           AlgorithmObject* random, const ProgressCallback* progress) {
  std::uint32_t spare;
  outLength = OutLength(outLength, spare);
  CipherHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, random)) return status;
  return handler->EncryptFinal(out, outLength, outSize, random, progress);
}

ToolkitStatus DecryptFinal(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                           std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                           AlgorithmObject* random, const ProgressCallback* progress) {
  std::uint32_t spare;
  outLength = OutLength(outLength, spare);
  CipherHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, random)) return status;
  return handler->DecryptFinal(out, outLength, outSize, random, progress);
}

// --------------------------------------------------------------- signatures

ToolkitStatus SignInit(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, KeyObject* key,
                       MethodList methods, const ProgressCallback* progress) {
  SignatureHandler* handler = nullptr;
  if (int status = Resolve(handle, false, &handler, nullptr, key)) return status;
  return RunInit(handle, [&] { return handler->SignInit(key, methods, progress); });
}

ToolkitStatus VerifyInit(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, KeyObject* key,
                         MethodList methods, const ProgressCallback* progress) {
  SignatureHandler* handler = nullptr;
  if (int status = Resolve(handle, false, &handler, nullptr, key)) return status;
  return RunInit(handle, [&] { return handler->VerifyInit(key, methods, progress); });
}

ToolkitStatus SignUpdate(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, const void* in,
                         std::uint32_t inLength, const ProgressCallback* progress) {
  SignatureHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler)) return status;
  return handler->SignUpdate(Bytes(in), inLength, progress);
}

ToolkitStatus VerifyUpdate(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, const void* in,
                           std::uint32_t inLength, const ProgressCallback* progress) {
  SignatureHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler)) return status;
  return handler->VerifyUpdate(Bytes(in), inLength, progress);
}

ToolkitStatus SignFinal(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                        std::uint8_t* signature, std::uint32_t* signatureLength,
                        std::uint32_t bufferSize, AlgorithmObject* random,
                        const ProgressCallback* progress) {
  std::uint32_t spare;
  signatureLength = OutLength(signatureLength, spare);
  SignatureHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, random)) return status;
  return handler->SignFinal(signature, signatureLength, bufferSize, random, progress);
}

ToolkitStatus VerifyFinal(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                          const std::uint8_t* signature, std::uint32_t signatureLength,
                          AlgorithmObject* random, const ProgressCallback* progress) {
  SignatureHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, random)) return status;
  return handler->VerifyFinal(signature, signatureLength, random, progress);
}

// ------------------------------------------------------------------ digests

ToolkitStatus DigestInit(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, KeyObject* key,
                         MethodList methods, const ProgressCallback* progress) {
  DigestHandler* handler = nullptr;
  if (int status = Resolve(handle, false, &handler, nullptr, key)) return status;
  return RunInit(handle, [&] { return handler->DigestInit(key, methods, progress); });
}

ToolkitStatus DigestUpdate(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, const void* in,
                           std::uint32_t inLength, const ProgressCallback* progress) {
  DigestHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler)) return status;
  return handler->DigestUpdate(Bytes(in), inLength, progress);
}

ToolkitStatus DigestFinal(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                          std::uint8_t* digest, std::uint32_t* digestLength,
                          std::uint32_t bufferSize, const ProgressCallback* progress) {
  std::uint32_t spare;
  digestLength = OutLength(digestLength, spare);
  DigestHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler)) return status;
  return handler->DigestFinal(digest, digestLength, bufferSize, progress);
}

// ------------------------------------------------------------------- random

ToolkitStatus RandomInit(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                         MethodList methods, const ProgressCallback* progress) {
  RandomHandler* handler = nullptr;
  if (int status = Resolve(handle, false, &handler, nullptr, nullptr, kRandomChecks)) return status;
  return RunInit(handle, [&] { return handler->RandomInit(methods, progress); });
}

ToolkitStatus RandomSeed(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle, const void* seed,
                         std::uint32_t length, const ProgressCallback* progress) {
  RandomHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, nullptr, nullptr, kRandomChecks)) return status;
  return handler->RandomSeed(Bytes(seed), length, progress);
}

ToolkitStatus RandomGenerate(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                             std::uint8_t* out, std::uint32_t count,
                             const ProgressCallback* progress) {
  RandomHandler* handler = nullptr;
  if (int status = Resolve(handle, true, &handler, nullptr, nullptr, kRandomChecks)) return status;
  return handler->RandomGenerate(out, count, progress);
}

}  // namespace kcertadm
