// The password-based ciphers of PKCS #12 files (RFC 7292 appendix C) as
// toolkit objects: AlgInfoPkcs12PbeSha1DesEde3Cbc
// (pbeWithSHAAnd3-KeyTripleDES-CBC) and AlgInfoPkcs12PbeSha1Rc2Cbc40
// (pbeWithSHAAnd40BitRC2-CBC). Init derives the cipher key (ID 1) and the
// IV (ID 2) from the password, a KeyInfoItem holding its BMPString, and the
// salt with the PKCS #12 key derivation over SHA-1; the data then goes
// through the CBC cipher with PKCS #5 padding.
#include "base/secure_memory.h"
#include "crypto/cipher/cbc_handler.h"
#include "crypto/cipher/pkcs12_kdf.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {
namespace {

constexpr std::uint32_t kIvSize = 8;
constexpr std::uint32_t kMaxKeySize = 24;

// The cipher a type derives its key for.
struct Pkcs12PbeParts {
  AlgInfoAccessor cipher;
  KeyInfoAccessor key_form;
  std::uint32_t key_size;
  std::uint32_t effective_bits;  // RC2 only
};
constexpr Pkcs12PbeParts kDesEde3Parts{AlgInfoDesEde3Cbc, KeyInfoDesEde3, 24, 0};
constexpr Pkcs12PbeParts kRc2Cbc40Parts{AlgInfoRc2Cbc, KeyInfoItem, 5, 40};

const Pkcs12PbeParts& PartsOf(const AlgorithmInfoType* type);

class Pkcs12PbeHandler final : public CbcStreamHandler {
 public:
  explicit Pkcs12PbeHandler(AlgorithmObject& object) : CbcStreamHandler(object) {}

 private:
  // Runs inside EncryptInit or DecryptInit, under the lock of their caller.
  int Init(KeyObject* password_key, MethodList methods, bool encrypt) override {
    const ToolkitLockHeld& lock = ToolkitLockHeld::Current();
    const void* record = nullptr;
    if (int status = KeyGetInfo(lock, &record, password_key, KeyInfoItem()).code()) return status;
    std::uint8_t key[kMaxKeySize], iv[kIvSize];
    int status = Derive(*static_cast<const ByteItem*>(record), methods, key, iv);
    if (status == TkOk) status = BindCipher(lock, methods, key, iv, encrypt);
    SecureWipe(key, sizeof(key));
    SecureWipe(iv, sizeof(iv));
    return status;
  }

  int Derive(const ByteItem& password, MethodList methods, std::uint8_t* key, std::uint8_t* iv) {
    const auto* params = static_cast<const Pkcs12PbeParams*>(parameters());
    Pkcs12KdfInput input{AlgInfoSha1(),
                         Pkcs12Purpose::kKey,
                         password,
                         {params->salt, params->saltLength},
                         params->iterationCount};
    if (int status = Pkcs12DeriveKey(input, methods, key, PartsOf(info_type()).key_size))
      return status;
    input.purpose = Pkcs12Purpose::kIv;
    return Pkcs12DeriveKey(input, methods, iv, kIvSize);
  }

  // The derived key in a temporary key object of the cipher's key form.
  int BindCipher(const ToolkitLockHeld& lock, MethodList methods, const std::uint8_t* key,
                 const std::uint8_t* iv, bool encrypt) {
    const Pkcs12PbeParts& parts = PartsOf(info_type());
    OwnedKey cipher_key;
    if (int status = cipher_key.Create(lock).code()) return status;
    const ByteItem item{key, parts.key_size};
    const void* material = parts.key_form == KeyInfoItem ? static_cast<const void*>(&item) : key;
    const Rc2CbcParams rc2{parts.effective_bits, iv};
    int status = KeySetInfo(lock, cipher_key.get(), parts.key_form(), material).code();
    if (status == TkOk)
      status = LookupMethod(methods, parts.cipher(), encrypt ? 1 : 0, cipher_key.get(),
                            [&](const AlgorithmMethod& method, const void* key_record) {
                              return BindEngine(method, key_record, &rc2, iv, encrypt, true);
                            });
    return status;
  }
};

// Parameters Pkcs12PbeParams: the salt is copied into the object.
class Pkcs12PbeInfoType final : public AlgorithmInfoType {
 public:
  int AddInfo(AlgorithmObject& object, const void* parameters) const override {
    const auto* params = static_cast<const Pkcs12PbeParams*>(parameters);
    if (params == nullptr || (params->salt == nullptr && params->saltLength > 0))
      return TkErrBadParameter;
    return StoreWithBytes(object, this, *params, &Pkcs12PbeParams::salt, params->saltLength);
  }
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<Pkcs12PbeHandler>(object);
  }
};

const Pkcs12PbeInfoType kPkcs12PbeSha1DesEde3CbcInfo;
const Pkcs12PbeInfoType kPkcs12PbeSha1Rc2Cbc40Info;

const Pkcs12PbeParts& PartsOf(const AlgorithmInfoType* type) {
  return type == &kPkcs12PbeSha1Rc2Cbc40Info ? kRc2Cbc40Parts : kDesEde3Parts;
}

}  // namespace

const AlgorithmInfoType* AlgInfoPkcs12PbeSha1DesEde3Cbc() { return &kPkcs12PbeSha1DesEde3CbcInfo; }
const AlgorithmInfoType* AlgInfoPkcs12PbeSha1Rc2Cbc40() { return &kPkcs12PbeSha1Rc2Cbc40Info; }

}  // namespace kcertadm
