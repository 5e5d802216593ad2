// Cipher handler over a CbcEngine: the direction chosen by the Init call
// must match every Update and Final. Subclasses only choose the method and
// bind the engine with BindEngine.
#pragma once

#include <cstdint>
#include <cstring>

#include "crypto/cipher/cbc_engine.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {

class CbcStreamHandler : public CipherHandler {
 public:
  CbcStreamHandler(AlgorithmObject& object, std::uint32_t block_size = kCbcBlockSize)
      : CipherHandler(object), block_size_(block_size) {}

  std::uint32_t BlockSize() const override { return block_size_; }
  int EncryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, true);
  }
  int DecryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, false);
  }
  int EncryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                    const std::uint8_t* in, std::uint32_t inLength, AlgorithmObject*,
                    const ProgressCallback*) override {
    return Update(true, out, outLength, outSize, in, inLength);
  }
  int DecryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                    const std::uint8_t* in, std::uint32_t inLength, AlgorithmObject*,
                    const ProgressCallback*) override {
    return Update(false, out, outLength, outSize, in, inLength);
  }
  int EncryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                   AlgorithmObject*, const ProgressCallback*) override {
    return Final(true, out, outLength, outSize);
  }
  int DecryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                   AlgorithmObject*, const ProgressCallback*) override {
    return Final(false, out, outLength, outSize);
  }

 protected:
  // Binds the engine for one direction (through BindEngine).
  virtual int Init(KeyObject* key, MethodList methods, bool encrypt) = 0;

  // The key schedule of `method`'s implementation from `key_record` and
  // `parameters`, in memory of the object (any earlier one released), and
  // the engine started on it; a toolkit status.
  int BindEngine(const AlgorithmMethod& method, const void* key_record, const void* parameters,
                 const std::uint8_t* iv, bool encrypt, bool padding) {
    const auto* implementation = dynamic_cast<const CbcImplementation*>(method.implementation);
    if (implementation == nullptr || key_record == nullptr ||
        implementation->BlockSize() != block_size_)
      return TkErrInternal;
    void* context = object().blocks.Allocate(implementation->ContextSize());
    if (context == nullptr) return TkErrNoMemory;
    if (int code = implementation->Init(context, key_record, parameters)) {
      object().blocks.Release(context);
      return MapImplementationCode(code);
    }
    object().blocks.Release(context_);
    context_ = context;
    engine_.Start(implementation, context, iv, encrypt, padding);
    encrypt_ = encrypt;
    return TkOk;
  }

 private:
  // An Init of the other direction is needed first.
  int Update(bool encrypt, std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
             const std::uint8_t* in, std::uint32_t inLength) {
    if (encrypt != encrypt_) return TkErrNotInitialised;
    return engine_.Update(out, outLength, outSize, in, inLength);
  }
  int Final(bool encrypt, std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize) {
    if (encrypt != encrypt_) return TkErrNotInitialised;
    return engine_.Final(out, outLength, outSize);
  }

  const std::uint32_t block_size_;
  CbcEngine engine_;
  bool encrypt_ = true;
  void* context_ = nullptr;  // key schedule, owned by the object's block list
};

// AddInfo of the types whose record points to bytes (an IV, a salt): a
// copy of the record followed by the object's own copy of the `size` bytes
// that `member` points to, to which the copy then points.
template <typename Params>
int StoreWithBytes(AlgorithmObject& object, const AlgorithmInfoType* type, const Params& params,
                   const std::uint8_t* Params::*member, std::uint32_t size) {
  void* block = object.blocks.Allocate(sizeof(Params) + size);
  if (block == nullptr) return TkErrNoMemory;
  auto* copy = static_cast<Params*>(block);
  auto* bytes = static_cast<std::uint8_t*>(block) + sizeof(Params);
  if (size > 0) std::memcpy(bytes, params.*member, size);
  *copy = params;
  copy->*member = bytes;
  if (object.AddInfo(type, copy) != TkOk) {
    object.blocks.Release(block);
    return TkErrNoMemory;
  }
  return TkOk;
}

// AddInfo of the CBC types: the record with its `iv_size`-byte IV.
template <typename Params>
int StoreWithIv(AlgorithmObject& object, const AlgorithmInfoType* type, const Params& params,
                std::uint32_t iv_size = kCbcBlockSize) {
  if (params.iv == nullptr) return TkErrBadParameter;
  const int status = StoreWithBytes(object, type, params, &Params::iv, iv_size);
  if (status == TkOk) object.flags |= kAlgFlagHasIv;
  return status;
}

}  // namespace kcertadm
