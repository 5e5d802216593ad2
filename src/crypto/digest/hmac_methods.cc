// HMAC and PBKDF2 as toolkit objects. HMAC is a keyed digest: info types
// AlgInfoHmacSha1 to AlgInfoHmacSha512, DigestInit with the key as
// KeyInfoItem and HmacMethods, DigestUpdate, DigestFinal (which restarts
// under the same key). PBKDF2 (AlgInfoPbkdf2, Pbkdf2Params) takes the
// password as KeyInfoItem at DigestInit and writes the derived key at
// DigestFinal.
#include <cstring>
#include <new>

#include "crypto/digest/hmac.h"
#include "crypto/digest/sha1.h"
#include "crypto/digest/sha2.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {
namespace {

// What the HMAC method entries point to; the context is the Hmac object,
// built in place in memory the handler owns.
class MacImplementation : public MethodImplementation {
 public:
  virtual std::uint32_t MacSize() const = 0;
  virtual std::size_t ContextSize() const = 0;
  virtual void Init(void* context, const ByteItem& key) const = 0;
  virtual void Update(void* context, const void* data, std::size_t size) const = 0;
  virtual void Final(void* context, std::uint8_t* out) const = 0;
  virtual void Derive(void* context, const Pbkdf2Params& params, std::uint8_t* out) const = 0;
};

template <typename Digest>
class MacOf final : public MacImplementation {
  using Mac = Hmac<Digest>;

 public:
  std::uint32_t MacSize() const override { return Mac::kMacSize; }
  std::size_t ContextSize() const override { return sizeof(Mac); }
  void Init(void* context, const ByteItem& key) const override {
    new (context) Mac(key.data, key.length);
  }
  void Update(void* context, const void* data, std::size_t size) const override {
    static_cast<Mac*>(context)->Update(data, size);
  }
  void Final(void* context, std::uint8_t* out) const override {
    static_cast<Mac*>(context)->Final(out);
  }
  void Derive(void* context, const Pbkdf2Params& params, std::uint8_t* out) const override {
    Pbkdf2(*static_cast<Mac*>(context), params.salt.data, params.salt.length, params.iterationCount,
           out, params.keyLength);
  }
};

const MacOf<Sha1> kHmacSha1Implementation;
const MacOf<Sha256> kHmacSha256Implementation;
const MacOf<Sha384> kHmacSha384Implementation;
const MacOf<Sha512> kHmacSha512Implementation;

// The keyed HMAC of the handler's object, bound at Init.
class MacBinding {
 public:
  bool bound() const { return mac_ != nullptr; }
  const MacImplementation& mac() const { return *mac_; }
  void* context() const { return context_; }

  // Finds the HMAC of `type` in methods and keys it with the key object's item.
  int Bind(AlgorithmObject& object, const AlgorithmInfoType* type, KeyObject* key,
           MethodList methods) {
    mac_ = nullptr;
    return LookupMethod(
        methods, type, 0, key, [&](const AlgorithmMethod& method, const void* record) {
          const auto* mac = dynamic_cast<const MacImplementation*>(method.implementation);
          if (mac == nullptr || record == nullptr) return TkErrInternal;
          const auto* item = static_cast<const ByteItem*>(record);
          if (item->data == nullptr && item->length > 0) return TkErrBadKeyForm;
          object.blocks.Release(context_);
          context_ = object.blocks.Allocate(mac->ContextSize());
          if (context_ == nullptr) return TkErrNoMemory;
          mac->Init(context_, *item);
          mac_ = mac;
          return TkOk;
        });
  }

 private:
  const MacImplementation* mac_ = nullptr;
  void* context_ = nullptr;  // owned by the object's block list
};

class HmacHandler final : public DigestHandler {
 public:
  explicit HmacHandler(AlgorithmObject& object) : DigestHandler(object) {}

  int DigestInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return binding_.Bind(object(), info_type(), key, methods);
  }
  int DigestUpdate(const std::uint8_t* in, std::uint32_t inLength,
                   const ProgressCallback*) override {
    if (!binding_.bound()) return TkErrNotInitialised;
    if (in == nullptr && inLength > 0) return TkErrBadParameter;
    binding_.mac().Update(binding_.context(), in, inLength);
    return TkOk;
  }
  int DigestFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t bufferSize,
                  const ProgressCallback*) override {
    if (!binding_.bound()) return TkErrNotInitialised;
    const std::uint32_t size = binding_.mac().MacSize();
    if (out == nullptr || bufferSize < size) return TkErrOutputTooSmall;
    binding_.mac().Final(binding_.context(), out);
    *outLength = size;
    return TkOk;
  }

 private:
  MacBinding binding_;
};

class Pbkdf2Handler final : public DigestHandler {
 public:
  explicit Pbkdf2Handler(AlgorithmObject& object) : DigestHandler(object) {}

  int DigestInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return binding_.Bind(object(), params().prf, key, methods);
  }
  // The password is the key; there is no message.
  int DigestUpdate(const std::uint8_t*, std::uint32_t, const ProgressCallback*) override {
    return TkErrNotSupported;
  }
  int DigestFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t bufferSize,
                  const ProgressCallback*) override {
    if (!binding_.bound()) return TkErrNotInitialised;
    if (out == nullptr || bufferSize < params().keyLength) return TkErrOutputTooSmall;
    binding_.mac().Derive(binding_.context(), params(), out);
    *outLength = params().keyLength;
    return TkOk;
  }

 private:
  const Pbkdf2Params& params() const { return *static_cast<const Pbkdf2Params*>(parameters()); }
  MacBinding binding_;
};

class HmacInfoType final : public ParameterlessAlgInfoType {
 public:
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<HmacHandler>(object);
  }
};

const HmacInfoType kHmacSha1Info;
const HmacInfoType kHmacSha256Info;
const HmacInfoType kHmacSha384Info;
const HmacInfoType kHmacSha512Info;

bool IsHmacType(const AlgorithmInfoType* type) {
  return type == &kHmacSha1Info || type == &kHmacSha256Info || type == &kHmacSha384Info ||
         type == &kHmacSha512Info;
}

class Pbkdf2InfoType final : public AlgorithmInfoType {
 public:
  // Copies the record and its salt; 513 for no iterations, no key length
  // or a pseudorandom function that is not one of the HMACs.
  int AddInfo(AlgorithmObject& object, const void* parameters) const override {
    const auto* params = static_cast<const Pbkdf2Params*>(parameters);
    if (params == nullptr || (params->salt.data == nullptr && params->salt.length > 0) ||
        params->iterationCount == 0 || params->keyLength == 0 || !IsHmacType(params->prf))
      return TkErrBadParameter;
    void* block = object.blocks.Allocate(sizeof(Pbkdf2Params) + params->salt.length);
    if (block == nullptr) return TkErrNoMemory;
    auto* copy = static_cast<Pbkdf2Params*>(block);
    auto* salt = static_cast<std::uint8_t*>(block) + sizeof(Pbkdf2Params);
    if (params->salt.length > 0) std::memcpy(salt, params->salt.data, params->salt.length);
    *copy = Pbkdf2Params{ByteItem{salt, params->salt.length}, params->iterationCount,
                         params->keyLength, params->prf};
    if (object.AddInfo(this, copy) != TkOk) {
      object.blocks.Release(block);
      return TkErrNoMemory;
    }
    return TkOk;
  }
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<Pbkdf2Handler>(object);
  }
};

const Pbkdf2InfoType kPbkdf2Info;

}  // namespace

const AlgorithmInfoType* AlgInfoHmacSha1() { return &kHmacSha1Info; }
const AlgorithmInfoType* AlgInfoHmacSha256() { return &kHmacSha256Info; }
const AlgorithmInfoType* AlgInfoHmacSha384() { return &kHmacSha384Info; }
const AlgorithmInfoType* AlgInfoHmacSha512() { return &kHmacSha512Info; }
const AlgorithmInfoType* AlgInfoPbkdf2() { return &kPbkdf2Info; }

namespace {

const AlgorithmMethod kHmacSha1Method{AlgInfoHmacSha1, 0, KeyInfoItem, &kHmacSha1Implementation};
const AlgorithmMethod kHmacSha256Method{AlgInfoHmacSha256, 0, KeyInfoItem,
                                        &kHmacSha256Implementation};
const AlgorithmMethod kHmacSha384Method{AlgInfoHmacSha384, 0, KeyInfoItem,
                                        &kHmacSha384Implementation};
const AlgorithmMethod kHmacSha512Method{AlgInfoHmacSha512, 0, KeyInfoItem,
                                        &kHmacSha512Implementation};

}  // namespace

const AlgorithmMethod* const HmacMethods[] = {&kHmacSha1Method, &kHmacSha256Method,
                                              &kHmacSha384Method, &kHmacSha512Method, nullptr};

}  // namespace kcertadm
