#include "crypto/rsa/rsa_keygen_method.h"

#include <cstring>
#include <new>

#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/rsa_keygen.h"
#include "crypto/rsa/rsa_methods.h"

namespace kcertadm {
namespace {

class RsaKeyGenImplementation final : public MethodImplementation {};
const RsaKeyGenImplementation kRsaKeyGenImplementation;

// Writes value as exactly `size` big-endian bytes.
SecureBytes FixedBytes(const BigNum& value, std::size_t size) {
  SecureBytes out(size);
  value.ToBytes(out.data(), out.size());
  return out;
}

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

  // The private key gets the eight values as fixed-length strings (modulus
  // and exponents in (n + 7) / 8 + 1 bytes, the rest in (pBits + 7) / 8 + 1);
  // the public key gets the form derived from it.
  int StoreKeys(const ToolkitLockHeld& lock, const RsaKeyMaterial& key, KeyObject* publicKey,
                KeyObject* privateKey) const {
    const std::size_t long_size = (bits_ + 7) / 8 + 1;
    const std::size_t short_size = ((bits_ + 1) / 2 + 7) / 8 + 1;
    const BigNum* parts[] = {&key.modulus,   &key.public_exponent, &key.private_exponent,
                             &key.prime1,    &key.prime2,          &key.exponent1,
                             &key.exponent2, &key.coefficient};
    SecureBytes bytes[8];
    ByteItem items[8];
    for (std::size_t i = 0; i < 8; ++i) {
      bytes[i] = FixedBytes(*parts[i], i < 3 ? long_size : short_size);
      items[i] = ByteItem{bytes[i].data(), static_cast<std::uint32_t>(bytes[i].size())};
    }
    const RsaPrivateKeyRecord record{items[0], items[1], items[2], items[3],
                                     items[4], items[5], items[6], items[7]};
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
