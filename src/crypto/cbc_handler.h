// Cipher handler over a CbcEngine: the direction chosen by the Init call
// must match every Update and Final. Subclasses only bind the engine.
#pragma once

#include <cstdint>

#include "crypto/cbc_engine.h"
#include "crypto/toolkit.h"

namespace kcertadm {

class CbcStreamHandler : public CipherHandler {
 public:
  explicit CbcStreamHandler(AlgorithmObject& object) : CipherHandler(object) {}

  std::uint32_t BlockSize() const override { return kCbcBlockSize; }
  int EncryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, true);
  }
  int DecryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, false);
  }
  int EncryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize, const std::uint8_t* in,
                    std::uint32_t inLength, AlgorithmObject*, const ProgressCallback*) override {
    return Update(true, out, outLength, outSize, in, inLength);
  }
  int DecryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize, const std::uint8_t* in,
                    std::uint32_t inLength, AlgorithmObject*, const ProgressCallback*) override {
    return Update(false, out, outLength, outSize, in, inLength);
  }
  int EncryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize, AlgorithmObject*,
                   const ProgressCallback*) override {
    return Final(true, out, outLength, outSize);
  }
  int DecryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize, AlgorithmObject*,
                   const ProgressCallback*) override {
    return Final(false, out, outLength, outSize);
  }

 protected:
  // Binds the engine for one direction and sets encrypt_.
  virtual int Init(KeyObject* key, MethodList methods, bool encrypt) = 0;

  CbcEngine engine_;
  bool encrypt_ = true;

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
};

}  // namespace kcertadm
