// The CBC block ciphers as toolkit objects: AlgInfoDesCbc,
// AlgInfoDesEde3Cbc and AlgInfoRc2Cbc, their implementations and methods,
// and the handler that drives them without padding.
#include <cstring>

#include "crypto/cipher/cbc_handler.h"
#include "crypto/cipher/des.h"
#include "crypto/cipher/rc2.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_methods.h"

namespace kcertadm {
namespace {

// ------------------------------------------------------------ implementations

class DesCbcImplementation final : public CbcImplementation {
 public:
  std::size_t ContextSize() const override { return sizeof(DesKeySchedule); }
  int Init(void* context, const void* key_record, const void*) const override {
    DesSetKey(*static_cast<DesKeySchedule*>(context), static_cast<const std::uint8_t*>(key_record));
    return kImplOk;
  }
  void Encrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    DesCbcEncrypt(*static_cast<const DesKeySchedule*>(context), iv, in, out, blocks);
  }
  void Decrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    DesCbcDecrypt(*static_cast<const DesKeySchedule*>(context), iv, in, out, blocks);
  }
};

class DesEde3CbcImplementation final : public CbcImplementation {
 public:
  std::size_t ContextSize() const override { return sizeof(DesEde3KeySchedule); }
  int Init(void* context, const void* key_record, const void*) const override {
    DesEde3SetKey(*static_cast<DesEde3KeySchedule*>(context),
                  static_cast<const std::uint8_t*>(key_record));
    return kImplOk;
  }
  void Encrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    DesEde3CbcEncrypt(*static_cast<const DesEde3KeySchedule*>(context), iv, in, out, blocks);
  }
  void Decrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    DesEde3CbcDecrypt(*static_cast<const DesEde3KeySchedule*>(context), iv, in, out, blocks);
  }
};

class Rc2CbcImplementation final : public CbcImplementation {
 public:
  std::size_t ContextSize() const override { return sizeof(Rc2KeySchedule); }
  // Key: a KeyInfoItem of 1..128 bytes; effective bits 1..1024.
  int Init(void* context, const void* key_record, const void* parameters) const override {
    const auto* key = static_cast<const ByteItem*>(key_record);
    const auto* params = static_cast<const Rc2CbcParams*>(parameters);
    if (key->length == 0 || key->length > kRc2MaxKeySize) return kImplNotFound;
    if (params->effectiveBits == 0) return kImplNotFound;
    if (params->effectiveBits > kRc2MaxEffectiveBits) return kImplBadParameter;
    Rc2SetKey(*static_cast<Rc2KeySchedule*>(context), key->data, key->length,
              params->effectiveBits);
    return kImplOk;
  }
  void Encrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    Rc2CbcEncrypt(*static_cast<const Rc2KeySchedule*>(context), iv, in, out, blocks);
  }
  void Decrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out,
               std::size_t blocks) const override {
    Rc2CbcDecrypt(*static_cast<const Rc2KeySchedule*>(context), iv, in, out, blocks);
  }
};

const DesCbcImplementation kDesCbcImplementation;
const DesEde3CbcImplementation kDesEde3CbcImplementation;
const Rc2CbcImplementation kRc2CbcImplementation;

// ------------------------------------------------------------------ handler

// The IV of the installed parameters: CbcParams and Rc2CbcParams are stored
// with a pointer to the object's own copy of the IV.
const std::uint8_t* InstalledIv(const AlgorithmInfoType* type, const void* parameters);

class CbcCipherHandler final : public CbcStreamHandler {
 public:
  explicit CbcCipherHandler(AlgorithmObject& object) : CbcStreamHandler(object) {}

 private:
  int Init(KeyObject* key, MethodList methods, bool encrypt) override {
    return LookupMethod(methods, info_type(), encrypt ? 1 : 0, key,
                        [&](const AlgorithmMethod& method, const void* key_record) {
                          return BindEngine(method, key_record, parameters(),
                                            InstalledIv(info_type(), parameters()), encrypt, false);
                        });
  }
};

// --------------------------------------------------------------- info types

class CbcInfoType : public AlgorithmInfoType {
 public:
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<CbcCipherHandler>(object);
  }

 protected:
  ~CbcInfoType() = default;
};

// DES-CBC and triple-DES-CBC: parameters CbcParams.
class DesFamilyInfoType final : public CbcInfoType {
 public:
  int AddInfo(AlgorithmObject& object, const void* parameters) const override {
    const auto* params = static_cast<const CbcParams*>(parameters);
    if (params == nullptr) return TkErrBadParameter;
    return StoreWithIv(object, this, *params);
  }
};

// RC2-CBC: parameters Rc2CbcParams; effective bits above 1024 are refused here.
class Rc2InfoType final : public CbcInfoType {
 public:
  int AddInfo(AlgorithmObject& object, const void* parameters) const override {
    const auto* params = static_cast<const Rc2CbcParams*>(parameters);
    if (params == nullptr || params->effectiveBits > kRc2MaxEffectiveBits) return TkErrBadParameter;
    return StoreWithIv(object, this, *params);
  }
};

const DesFamilyInfoType kDesCbcInfo;
const DesFamilyInfoType kDesEde3CbcInfo;
const Rc2InfoType kRc2CbcInfo;

const std::uint8_t* InstalledIv(const AlgorithmInfoType* type, const void* parameters) {
  if (type == &kRc2CbcInfo) return static_cast<const Rc2CbcParams*>(parameters)->iv;
  return static_cast<const CbcParams*>(parameters)->iv;
}

}  // namespace

const AlgorithmInfoType* AlgInfoDesCbc() { return &kDesCbcInfo; }
const AlgorithmInfoType* AlgInfoDesEde3Cbc() { return &kDesEde3CbcInfo; }
const AlgorithmInfoType* AlgInfoRc2Cbc() { return &kRc2CbcInfo; }

const AlgorithmMethod kDesCbcEncryptMethod{AlgInfoDesCbc, 1, KeyInfoDes8, &kDesCbcImplementation};
const AlgorithmMethod kDesCbcDecryptMethod{AlgInfoDesCbc, 0, KeyInfoDes8, &kDesCbcImplementation};
const AlgorithmMethod kDesEde3CbcEncryptMethod{AlgInfoDesEde3Cbc, 1, KeyInfoDesEde3,
                                               &kDesEde3CbcImplementation};
const AlgorithmMethod kDesEde3CbcDecryptMethod{AlgInfoDesEde3Cbc, 0, KeyInfoDesEde3,
                                               &kDesEde3CbcImplementation};
const AlgorithmMethod kRc2CbcEncryptMethod{AlgInfoRc2Cbc, 1, KeyInfoItem, &kRc2CbcImplementation};
const AlgorithmMethod kRc2CbcDecryptMethod{AlgInfoRc2Cbc, 0, KeyInfoItem, &kRc2CbcImplementation};

}  // namespace kcertadm
