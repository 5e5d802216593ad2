// The object framework behind the toolkit calls of crypto/toolkit.h: info
// types, algorithm and key objects, algorithm handlers by family, methods
// and the method lookup. Callers of the toolkit include crypto/toolkit.h;
// this header is for the files that add algorithms.
//
// How a family adds an algorithm (for example RSA signatures):
//  1. Handler: derive a class from the family's handler (CipherHandler,
//     SignatureHandler, DigestHandler, RandomHandler, KeyGenerationHandler)
//     and implement its operations. Its constructor takes the
//     AlgorithmObject; the handler is destroyed (before the object's blocks
//     are released) by AlgDestroy. Init operations choose their
//     implementation with LookupMethod(); Update/Final report toolkit
//     statuses (translate implementation codes with MapImplementationCode).
//  2. Info type: derive from AlgorithmInfoType (or ParameterlessAlgInfoType)
//     as a namespace-scope constant object. AddInfo copies the caller's
//     record into memory of the object (object.blocks) and calls
//     object.AddInfo(this, copy); NewHandler returns
//     NewHandlerFor<YourHandler>(object). The public name is a function
//     returning its address (`const AlgorithmInfoType* AlgInfoFoo()`).
//     Key forms derive from KeyInfoType the same way.
//  3. Method: define the implementation as a constant object of a class
//     derived from MethodImplementation (the handler recognises it with
//     dynamic_cast), and a constant AlgorithmMethod {info type accessor,
//     direction, key form accessor or null, &implementation}, e.g.
//       const AlgorithmMethod kFooSignMethod{AlgInfoFoo, 1, KeyInfoRsaCrt, &kFooImpl};
//     Method lists are constant arrays of pointers to AlgorithmMethod ended
//     by nullptr (see crypto/method_lists.cc; entries of the digests and
//     ciphers are declared in crypto/toolkit_methods.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "crypto/toolkit/secure_block_list.h"
#include "crypto/toolkit/toolkit_lock.h"
#include "crypto/toolkit/toolkit_status.h"

namespace kcertadm {

struct AlgorithmObject;
struct KeyObject;
class AlgorithmHandler;

// ---------------------------------------------------------------- progress

// Long operations call `function(argument)` between steps; a result greater
// than 0 stops them with 519.
struct ProgressCallback {
  int (*function)(void* argument);
  void* argument;
};

// 0, or kImplCancelled when the callback (if any) asks to stop.
int CheckProgress(const ProgressCallback* progress);

// -------------------------------------------------------------- info types

class InfoType {
 public:
  enum class Kind { kAlgorithm, kKey };
  virtual Kind kind() const = 0;

 protected:
  ~InfoType() = default;
};

class AlgorithmInfoType : public InfoType {
 public:
  Kind kind() const final { return Kind::kAlgorithm; }
  // Copies the caller's parameter record (byte strings included) into memory
  // owned by `object` and adds the pair (this, copy) to its info table.
  virtual int AddInfo(AlgorithmObject& object, const void* parameters) const = 0;
  // Creates the handler for an object whose info table holds this type;
  // null when it cannot (reported as 518).
  virtual AlgorithmHandler* NewHandler(AlgorithmObject& object) const = 0;
  // Reading parameters back is not supported by any type of this library.
  virtual int GetInfo(const void** /*parameters*/, const AlgorithmObject& /*object*/) const {
    return TkErrNotSupported;
  }

 protected:
  ~AlgorithmInfoType() = default;
};

// An algorithm info type without parameters: installed with a null record.
class ParameterlessAlgInfoType : public AlgorithmInfoType {
 public:
  int AddInfo(AlgorithmObject& object, const void* parameters) const override;

 protected:
  ~ParameterlessAlgInfoType() = default;
};

class KeyInfoType : public InfoType {
 public:
  Kind kind() const final { return Kind::kKey; }
  // Copies the key material into memory owned by `key` and adds the pair
  // (this, copy); may add further forms at the same time.
  virtual int AddInfo(KeyObject& key, const void* material) const = 0;
  // Builds this form, in memory owned by `key`, from another form present in
  // the key. The caller (KeyGetInfo) adds the pair.
  virtual int MakeInfo(const ToolkitLockHeld& lock, void** record, KeyObject& key) const = 0;

 protected:
  ~KeyInfoType() = default;
};

// ------------------------------------------------------------------ objects

struct InfoPair {
  const InfoType* type;
  void* info;  // owned by the object's block list; null for parameterless types
};

// The part both object kinds share: the memory owner and the info table.
struct ToolkitObjectCore {
  SecureBlockList blocks;
  std::uint32_t infoCount = 0;
  InfoPair* infos = nullptr;

  // First pair of the given type, or null (a miss is 535 to callers).
  const InfoPair* FindInfo(const InfoType* type) const;
  // Adds the pair (type, info); 0 or 518.
  int AddInfo(const InfoType* type, void* info);
};

inline constexpr std::uint32_t kAlgFlagInitialised = 1u << 0;
inline constexpr std::uint32_t kAlgFlagHasIv = 1u << 1;

struct AlgorithmObject : ToolkitObjectCore {
  AlgorithmHandler* handler = nullptr;  // null until AlgSetInfo
  std::uint32_t flags = 0;
  const void* check = nullptr;  // the algorithm marker while valid
  AlgorithmObject* self = nullptr;
};

struct KeyObject : ToolkitObjectCore {
  const void* check = nullptr;  // the key marker while valid
  KeyObject* self = nullptr;
};

bool IsValidAlgorithmObject(const AlgorithmObject* object);
bool IsValidKeyObject(const KeyObject* key);

// ----------------------------------------------------------------- methods

// Base of the low-level implementation tables that methods point to. Each
// family defines its own interface on top (see DigestImplementation).
class MethodImplementation {
 public:
  virtual ~MethodImplementation() = default;
};

// Info types appear in methods through their public accessors
// (AlgInfoMd5, KeyInfoDes8, ...), so that method tables in any file are
// constant data.
using AlgInfoAccessor = const AlgorithmInfoType* (*)();
using KeyInfoAccessor = const KeyInfoType* (*)();

struct AlgorithmMethod {
  AlgInfoAccessor algorithmInfoType;
  int encrypt;  // 1: encryption/signing direction; 0: decryption/verification, digests, random, key
                // generation
  KeyInfoAccessor keyInfoType;  // key form the implementation needs, or null
  const MethodImplementation* implementation;
};

// Pointers to AlgorithmMethod ended by a null pointer.
using MethodList = const AlgorithmMethod* const*;

// The record of form `type` in `key`, made from another form on the first
// request and kept in the key; the record stays owned by the key.
ToolkitStatus KeyGetInfo(const ToolkitLockHeld& lock, const void** record, KeyObject* key,
                         const InfoType* type);

// Statuses that end a method lookup at once instead of trying the next entry.
inline bool EndsMethodLookup(int status) {
  return status == TkErrNoMemory || status == TkErrCancelled || status == TkErrUnrecoverable;
}

// Chooses the implementation for `type` in direction `direction` from
// `methods`: for every matching entry in list order the entry's key form is
// taken from `key` (if it names one) and `bind(method, keyRecord)` is tried;
// the first success ends the lookup. Returns 0, or the last failure (545 if
// no entry matched). `keyRecord` is null for entries without key form.
// Runs inside the Init call of a handler, under the lock of its caller.
template <typename Bind>
int LookupMethod(MethodList methods, const AlgorithmInfoType* type, int direction, KeyObject* key,
                 Bind&& bind) {
  if (methods == nullptr || methods[0] == nullptr) return TkErrNoMethod;
  int failure = TkErrNoMethod;
  for (MethodList entry = methods; *entry != nullptr; ++entry) {
    const AlgorithmMethod& method = **entry;
    if (method.algorithmInfoType == nullptr || method.algorithmInfoType() != type ||
        method.encrypt != direction)
      continue;
    const void* key_record = nullptr;
    if (method.keyInfoType != nullptr) {
      const int status =
          KeyGetInfo(ToolkitLockHeld::Current(), &key_record, key, method.keyInfoType()).code();
      if (EndsMethodLookup(status)) return status;
      if (status != TkOk) {
        failure = status;
        continue;
      }
    }
    const int status = bind(method, key_record);
    if (status == TkOk || EndsMethodLookup(status)) return status;
    failure = status;
  }
  return failure;
}

// ---------------------------------------------------------------- handlers

enum class HandlerFamily { kCipher, kSignature, kDigest, kRandom, kKeyGeneration };

class AlgorithmHandler {
 public:
  virtual ~AlgorithmHandler();
  AlgorithmHandler(const AlgorithmHandler&) = delete;
  AlgorithmHandler& operator=(const AlgorithmHandler&) = delete;

  HandlerFamily family() const { return family_; }
  // The common release marker is in place (517 otherwise).
  bool IsWellFormed() const;

 protected:
  AlgorithmHandler(HandlerFamily family, AlgorithmObject& object);
  AlgorithmObject& object() const { return object_; }
  // The algorithm installed by AlgSetInfo: its type and parameter record.
  const AlgorithmInfoType* info_type() const {
    return static_cast<const AlgorithmInfoType*>(object_.infos[0].type);
  }
  const void* parameters() const { return object_.infos[0].info; }

 private:
  const void* release_marker_;
  HandlerFamily family_;
  AlgorithmObject& object_;
};

// Creates a handler without throwing; null if memory is short.
template <typename Handler>
AlgorithmHandler* NewHandlerFor(AlgorithmObject& object) {
  return new (std::nothrow) Handler(object);
}

// Block ciphers, RC4, RSA with PKCS #1.
class CipherHandler : public AlgorithmHandler {
 public:
  virtual std::uint32_t BlockSize() const = 0;
  virtual int EncryptInit(KeyObject* key, MethodList methods, const ProgressCallback* progress) = 0;
  virtual int DecryptInit(KeyObject* key, MethodList methods, const ProgressCallback* progress) = 0;
  virtual int EncryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                            const std::uint8_t* in, std::uint32_t inLength, AlgorithmObject* random,
                            const ProgressCallback* progress) = 0;
  virtual int DecryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                            const std::uint8_t* in, std::uint32_t inLength, AlgorithmObject* random,
                            const ProgressCallback* progress) = 0;
  virtual int EncryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                           AlgorithmObject* random, const ProgressCallback* progress) = 0;
  virtual int DecryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                           AlgorithmObject* random, const ProgressCallback* progress) = 0;

 protected:
  explicit CipherHandler(AlgorithmObject& object)
      : AlgorithmHandler(HandlerFamily::kCipher, object) {}
};

class SignatureHandler : public AlgorithmHandler {
 public:
  virtual int SignInit(KeyObject* key, MethodList methods, const ProgressCallback* progress) = 0;
  virtual int VerifyInit(KeyObject* key, MethodList methods, const ProgressCallback* progress) = 0;
  virtual int SignUpdate(const std::uint8_t* in, std::uint32_t inLength,
                         const ProgressCallback* progress) = 0;
  virtual int VerifyUpdate(const std::uint8_t* in, std::uint32_t inLength,
                           const ProgressCallback* progress) = 0;
  virtual int SignFinal(std::uint8_t* signature, std::uint32_t* signatureLength,
                        std::uint32_t bufferSize, AlgorithmObject* random,
                        const ProgressCallback* progress) = 0;
  virtual int VerifyFinal(const std::uint8_t* signature, std::uint32_t signatureLength,
                          AlgorithmObject* random, const ProgressCallback* progress) = 0;

 protected:
  explicit SignatureHandler(AlgorithmObject& object)
      : AlgorithmHandler(HandlerFamily::kSignature, object) {}
};

class DigestHandler : public AlgorithmHandler {
 public:
  virtual int DigestInit(KeyObject* key, MethodList methods, const ProgressCallback* progress) = 0;
  virtual int DigestUpdate(const std::uint8_t* in, std::uint32_t inLength,
                           const ProgressCallback* progress) = 0;
  virtual int DigestFinal(std::uint8_t* digest, std::uint32_t* digestLength,
                          std::uint32_t bufferSize, const ProgressCallback* progress) = 0;

 protected:
  explicit DigestHandler(AlgorithmObject& object)
      : AlgorithmHandler(HandlerFamily::kDigest, object) {}
};

class RandomHandler : public AlgorithmHandler {
 public:
  virtual int RandomInit(MethodList methods, const ProgressCallback* progress) = 0;
  virtual int RandomSeed(const std::uint8_t* seed, std::uint32_t length,
                         const ProgressCallback* progress) = 0;
  virtual int RandomGenerate(std::uint8_t* out, std::uint32_t count,
                             const ProgressCallback* progress) = 0;

 protected:
  explicit RandomHandler(AlgorithmObject& object)
      : AlgorithmHandler(HandlerFamily::kRandom, object) {}
};

class KeyGenerationHandler : public AlgorithmHandler {
 public:
  virtual int KeyPairGenerateInit(MethodList methods, const ProgressCallback* progress) = 0;
  virtual int KeyPairGenerate(KeyObject* publicKey, KeyObject* privateKey, AlgorithmObject* random,
                              const ProgressCallback* progress) = 0;

 protected:
  explicit KeyGenerationHandler(AlgorithmObject& object)
      : AlgorithmHandler(HandlerFamily::kKeyGeneration, object) {}
};

// ------------------------------------------------------ digest implementations

// What a digest method points to; also used by the signature and
// password-based handlers for their digest part. The context lives in
// memory the caller owns (ContextSize bytes, suitably aligned, e.g. from
// SecureBlockList::Allocate) and needs no destruction beyond wiping.
class DigestImplementation : public MethodImplementation {
 public:
  virtual std::uint32_t DigestSize() const = 0;
  virtual std::size_t ContextSize() const = 0;
  virtual void Init(void* context) const = 0;
  virtual void Update(void* context, const void* data, std::size_t size) const = 0;
  // Writes DigestSize() bytes and restarts the context.
  virtual void Final(void* context, std::uint8_t* out) const = 0;
};

}  // namespace kcertadm
