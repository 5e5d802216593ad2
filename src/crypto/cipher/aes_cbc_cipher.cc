// AES-CBC with PKCS #5 padding as toolkit objects: AlgInfoAes128CbcPad,
// AlgInfoAes192CbcPad and AlgInfoAes256CbcPad (a 16-byte IV in CbcParams),
// keyed by a KeyInfoItem of 16, 24 or 32 bytes. The key schedule lives in
// the object's wiping memory and runs on the kernel chosen when it is made.
#include "crypto/cipher/aes.h"
#include "crypto/cipher/cbc_handler.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_methods.h"

namespace kcertadm {
namespace {

class AesCbcImplementation final : public CbcImplementation {
 public:
  explicit AesCbcImplementation(std::uint32_t key_size) : key_size_(key_size) {}

  std::size_t ContextSize() const override { return sizeof(AesKeySchedule); }
  std::uint32_t BlockSize() const override { return kAesBlockSize; }
  // A key of any other length than the type's is refused (528).
  int Init(void* context, const void* key_record, const void*) const override {
    const auto* key = static_cast<const ByteItem*>(key_record);
    if (key->data == nullptr || key->length != key_size_) return kImplBadKeyLength;
    AesSetKey(*static_cast<AesKeySchedule*>(context), key->data, key_size_);
    return kImplOk;
  }
  void Encrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    AesCbcEncrypt(*static_cast<const AesKeySchedule*>(context), iv, in, out, blocks);
  }
  void Decrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    AesCbcDecrypt(*static_cast<const AesKeySchedule*>(context), iv, in, out, blocks);
  }

 private:
  const std::uint32_t key_size_;
};

const AesCbcImplementation kAes128CbcImplementation(16);
const AesCbcImplementation kAes192CbcImplementation(24);
const AesCbcImplementation kAes256CbcImplementation(32);

class AesCbcPadHandler final : public CbcStreamHandler {
 public:
  explicit AesCbcPadHandler(AlgorithmObject& object) : CbcStreamHandler(object, kAesBlockSize) {}

 private:
  int Init(KeyObject* key, MethodList methods, bool encrypt) override {
    const std::uint8_t* iv = static_cast<const CbcParams*>(parameters())->iv;
    return LookupMethod(methods, info_type(), encrypt ? 1 : 0, key,
                        [&](const AlgorithmMethod& method, const void* key_record) {
                          return BindEngine(method, key_record, nullptr, iv, encrypt, true);
                        });
  }
};

class AesCbcPadInfoType final : public AlgorithmInfoType {
 public:
  int AddInfo(AlgorithmObject& object, const void* parameters) const override {
    const auto* params = static_cast<const CbcParams*>(parameters);
    if (params == nullptr) return TkErrBadParameter;
    return StoreWithIv(object, this, *params, kAesBlockSize);
  }
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<AesCbcPadHandler>(object);
  }
};

const AesCbcPadInfoType kAes128CbcPadInfo;
const AesCbcPadInfoType kAes192CbcPadInfo;
const AesCbcPadInfoType kAes256CbcPadInfo;

}  // namespace

const AlgorithmInfoType* AlgInfoAes128CbcPad() { return &kAes128CbcPadInfo; }
const AlgorithmInfoType* AlgInfoAes192CbcPad() { return &kAes192CbcPadInfo; }
const AlgorithmInfoType* AlgInfoAes256CbcPad() { return &kAes256CbcPadInfo; }

const AlgorithmMethod kAes128CbcEncryptMethod{AlgInfoAes128CbcPad, 1, KeyInfoItem,
                                              &kAes128CbcImplementation};
const AlgorithmMethod kAes128CbcDecryptMethod{AlgInfoAes128CbcPad, 0, KeyInfoItem,
                                              &kAes128CbcImplementation};
const AlgorithmMethod kAes192CbcEncryptMethod{AlgInfoAes192CbcPad, 1, KeyInfoItem,
                                              &kAes192CbcImplementation};
const AlgorithmMethod kAes192CbcDecryptMethod{AlgInfoAes192CbcPad, 0, KeyInfoItem,
                                              &kAes192CbcImplementation};
const AlgorithmMethod kAes256CbcEncryptMethod{AlgInfoAes256CbcPad, 1, KeyInfoItem,
                                              &kAes256CbcImplementation};
const AlgorithmMethod kAes256CbcDecryptMethod{AlgInfoAes256CbcPad, 0, KeyInfoItem,
                                              &kAes256CbcImplementation};

}  // namespace kcertadm
