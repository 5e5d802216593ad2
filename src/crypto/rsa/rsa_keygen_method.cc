#include "crypto/rsa/rsa_keygen_method.h"

#include <cstring>
#include <new>

#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/rsa_keygen.h"
#include "crypto/rsa/rsa_methods.h"
#include "crypto/rsa/rsa_private_numbers.h"

namespace kcertadm {
namespace {

class RsaKeyGenImplementation final : public MethodImplementation {};
const RsaKeyGenImplementation kRsaKeyGenImplementation;

class RsaKeyGenHandler final : public KeyGenerationHandler {
 public:
  explicit RsaKeyGenHandler(AlgorithmObject& object) : KeyGenerationHandler(object) {}

  int KeyPairGenerateInit(MethodList methods, const ProgressCallback*) override {
    ready_ = false;
    const int status =
        LookupMethod(methods, info_type(), 0, nullptr,
                     [this](const AlgorithmMethod& method, const void*) { return Bind(method); });
    ready_ = status == TkOk;
    return status;
  }

  // Runs inside KeyPairGenerate, under the lock of its caller.
  int KeyPairGenerate(KeyObject* publicKey, KeyObject* privateKey, AlgorithmObject* random,
                      const ProgressCallback* progress) override {
    const ToolkitLockHeld& lock = ToolkitLockHeld::Current();
    if (!ready_) return TkErrNotInitialised;
    if (publicKey->infoCount != 0 || privateKey->infoCount != 0) return TkErrKeyAlreadySet;
    RandomFill fill = [&lock, random](std::uint8_t* out, std::size_t size) {
      return RandomGenerate(lock, random, out, static_cast<std::uint32_t>(size), nullptr).code();
    };
    CancelCheck cancel = [progress] { return CheckProgress(progress) != kImplOk; };
    RsaKeyMaterial key;
    int status = GenerateRsaKey(bits_, exponent_, fill, cancel, &key);
    if (status == TkOk) status = StoreKeys(lock, key, publicKey, privateKey);
    key.Wipe();
    return status;
  }

 private:
  int Bind(const AlgorithmMethod& method) {
    if (dynamic_cast<const RsaKeyGenImplementation*>(method.implementation) == nullptr)
      return TkErrInternal;
    const auto* params = static_cast<const RsaKeyGenParams*>(parameters());
    bits_ = params->modulusBits;
    exponent_ = params->publicExponent.length == 0
                    ? BigNum()
                    : BigNum::FromBytes(params->publicExponent.data, params->publicExponent.length);
    return CheckRsaKeyGenParameters(bits_, exponent_);
  }

  // The private key gets the eight values (stored without leading zeros);
  // the public key gets the form derived from it.
  int StoreKeys(const ToolkitLockHeld& lock, const RsaKeyMaterial& key, KeyObject* publicKey,
                KeyObject* privateKey) const {
    const RsaPrivateNumbers numbers = NumbersOf(key);
    const RsaPrivateKeyRecord record = RecordOf(numbers);
    if (int status = KeySetInfo(lock, privateKey, KeyInfoRsaPrivate(), &record).code())
      return status;
    const void* public_record = nullptr;
    if (int status = KeyGetInfo(lock, &public_record, privateKey, KeyInfoRsaPublic()).code())
      return status;
    return KeySetInfo(lock, publicKey, KeyInfoRsaPublic(), public_record).code();
  }

  bool ready_ = false;
  std::uint32_t bits_ = 0;
  BigNum exponent_;
};

class RsaKeyGenInfoType final : public AlgorithmInfoType {
 public:
  int AddInfo(AlgorithmObject& object, const void* parameters) const override {
    const auto* in = static_cast<const RsaKeyGenParams*>(parameters);
    if (in == nullptr || (in->publicExponent.data == nullptr && in->publicExponent.length > 0))
      return TkErrBadParameter;
    void* block = object.blocks.Allocate(sizeof(RsaKeyGenParams) + in->publicExponent.length);
    if (block == nullptr) return TkErrNoMemory;
    auto* copy = static_cast<RsaKeyGenParams*>(block);
    auto* bytes = static_cast<std::uint8_t*>(block) + sizeof(RsaKeyGenParams);
    if (in->publicExponent.length > 0)
      std::memcpy(bytes, in->publicExponent.data, in->publicExponent.length);
    *copy = RsaKeyGenParams{in->modulusBits, ByteItem{bytes, in->publicExponent.length}};
    if (object.AddInfo(this, copy) != TkOk) {
      object.blocks.Release(block);
      return TkErrNoMemory;
    }
    return TkOk;
  }
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<RsaKeyGenHandler>(object);
  }
};

const RsaKeyGenInfoType kRsaKeyGenInfo;

}  // namespace

const AlgorithmInfoType* AlgInfoRsaKeyGen() { return &kRsaKeyGenInfo; }

const AlgorithmMethod kRsaKeyGenMethod{AlgInfoRsaKeyGen, 0, nullptr, &kRsaKeyGenImplementation};

}  // namespace kcertadm
