// RC4 as a toolkit object: AlgInfoRc4, its implementation, methods and the
// stream handler (one output byte per input byte; final calls output nothing).
#include "crypto/cipher/rc4.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_methods.h"

namespace kcertadm {
namespace {

class Rc4Implementation final : public MethodImplementation {
 public:
  // Key: a KeyInfoItem of 1..256 bytes.
  int Init(Rc4State& state, const ByteItem& key) const {
    if (key.length == 0 || key.length > kRc4MaxKeySize) return kImplBadKeyLength;
    Rc4SetKey(state, key.data, key.length);
    return kImplOk;
  }
};

const Rc4Implementation kRc4Implementation;

class Rc4Handler final : public CipherHandler {
 public:
  explicit Rc4Handler(AlgorithmObject& object) : CipherHandler(object) {}

  std::uint32_t BlockSize() const override { return 1; }
  int EncryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, 1);
  }
  int DecryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, 0);
  }
  int EncryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                    const std::uint8_t* in, std::uint32_t inLength, AlgorithmObject*,
                    const ProgressCallback*) override {
    return Crypt(out, outLength, outSize, in, inLength);
  }
  int DecryptUpdate(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                    const std::uint8_t* in, std::uint32_t inLength, AlgorithmObject*,
                    const ProgressCallback*) override {
    return Crypt(out, outLength, outSize, in, inLength);
  }
  int EncryptFinal(std::uint8_t*, std::uint32_t*, std::uint32_t, AlgorithmObject*,
                   const ProgressCallback*) override {
    return TkOk;
  }
  int DecryptFinal(std::uint8_t*, std::uint32_t*, std::uint32_t, AlgorithmObject*,
                   const ProgressCallback*) override {
    return TkOk;
  }

 private:
  int Init(KeyObject* key, MethodList methods, int direction) {
    return LookupMethod(methods, info_type(), direction, key,
                        [&](const AlgorithmMethod& method, const void* key_record) {
                          const auto* implementation =
                              dynamic_cast<const Rc4Implementation*>(method.implementation);
                          if (implementation == nullptr || key_record == nullptr)
                            return TkErrInternal;
                          if (state_ == nullptr) {
                            state_ =
                                static_cast<Rc4State*>(object().blocks.Allocate(sizeof(Rc4State)));
                            if (state_ == nullptr) return TkErrNoMemory;
                          }
                          return MapImplementationCode(implementation->Init(
                              *state_, *static_cast<const ByteItem*>(key_record)));
                        });
  }

  int Crypt(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
            const std::uint8_t* in, std::uint32_t inLength) {
    if (in == nullptr && inLength > 0) return TkErrBadParameter;
    if (inLength > outSize || (inLength > 0 && out == nullptr)) return TkErrOutputTooSmall;
    Rc4Crypt(*state_, in, out, inLength);
    *outLength = inLength;
    return TkOk;
  }

  Rc4State* state_ = nullptr;  // owned by the object's block list
};

class Rc4InfoType final : public ParameterlessAlgInfoType {
 public:
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<Rc4Handler>(object);
  }
};

const Rc4InfoType kRc4Info;

}  // namespace

const AlgorithmInfoType* AlgInfoRc4() { return &kRc4Info; }

const AlgorithmMethod kRc4EncryptMethod{AlgInfoRc4, 1, KeyInfoItem, &kRc4Implementation};
const AlgorithmMethod kRc4DecryptMethod{AlgInfoRc4, 0, KeyInfoItem, &kRc4Implementation};

}  // namespace kcertadm
