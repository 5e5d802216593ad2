// Password-based encryption (PKCS #5 v1.5, pbeWithMD5AndDES-CBC) as a
// toolkit object: AlgInfoPbeMd5DesCbc. Init derives the DES key and IV from
// the password (KeyInfoItem of the key object) and the salt; the data then
// goes through DES-CBC with PKCS #5 padding.

#include "base/secure_memory.h"
#include "crypto/cipher/cbc_handler.h"
#include "crypto/digest/md5.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {
namespace {

constexpr std::size_t kSaltSize = 8;

// The algorithms the password-based type is built from.
struct PbeParts {
  AlgInfoAccessor digest;
  AlgInfoAccessor cipher;
  KeyInfoAccessor derived_key_form;
};
constexpr PbeParts kPbeMd5DesCbcParts{AlgInfoMd5, AlgInfoDesCbc, KeyInfoDesParity};

class PbeHandler final : public CbcStreamHandler {
 public:
  explicit PbeHandler(AlgorithmObject& object) : CbcStreamHandler(object) {}

 private:
  int Init(KeyObject* password_key, MethodList methods, bool encrypt) override;
  int BindDigest(MethodList methods, const DigestImplementation** digest);
  int DeriveKeyAndIv(const DigestImplementation& digest, const ByteItem& password,
                     std::uint8_t* derived);
  int BindCipher(const ToolkitLockHeld& lock, MethodList methods, const std::uint8_t* derived,
                 bool encrypt);
};

// Runs inside EncryptInit or DecryptInit, under the lock of their caller.
int PbeHandler::Init(KeyObject* password_key, MethodList methods, bool encrypt) {
  const ToolkitLockHeld& lock = ToolkitLockHeld::Current();
  const DigestImplementation* digest = nullptr;
  if (int status = BindDigest(methods, &digest)) return status;
  const void* record = nullptr;
  if (int status = KeyGetInfo(lock, &record, password_key, KeyInfoItem()).code()) return status;
  std::uint8_t derived[Md5::kDigestSize];
  int status = DeriveKeyAndIv(*digest, *static_cast<const ByteItem*>(record), derived);
  if (status == TkOk) status = BindCipher(lock, methods, derived, encrypt);
  SecureWipe(derived, sizeof(derived));
  return status;
}

int PbeHandler::BindDigest(MethodList methods, const DigestImplementation** digest) {
  return LookupMethod(methods, kPbeMd5DesCbcParts.digest(), 0, nullptr,
                      [&](const AlgorithmMethod& method, const void*) {
                        *digest = dynamic_cast<const DigestImplementation*>(method.implementation);
                        if (*digest == nullptr || (*digest)->DigestSize() != Md5::kDigestSize)
                          return TkErrInternal;
                        return TkOk;
                      });
}

// D = digest(password ‖ salt), then iterationCount - 1 times D = digest(D).
int PbeHandler::DeriveKeyAndIv(const DigestImplementation& digest, const ByteItem& password,
                               std::uint8_t* derived) {
  const auto* params = static_cast<const PbeParams*>(parameters());
  void* context = object().blocks.Allocate(digest.ContextSize());
  if (context == nullptr) return TkErrNoMemory;
  digest.Init(context);
  digest.Update(context, password.data, password.length);
  digest.Update(context, params->salt, kSaltSize);
  digest.Final(context, derived);
  int status = TkOk;
  if (params->iterationCount == 0) status = TkErrBadData;
  for (std::uint32_t i = 1; status == TkOk && i < params->iterationCount; ++i) {
    digest.Update(context, derived, Md5::kDigestSize);
    digest.Final(context, derived);
  }
  object().blocks.Release(context);  // wiped
  return status;
}

// DES-CBC keyed by derived[0..7] with odd parity forced, IV derived[8..15].
int PbeHandler::BindCipher(const ToolkitLockHeld& lock, MethodList methods,
                           const std::uint8_t* derived, bool encrypt) {
  OwnedKey des_key;
  if (int status = des_key.Create(lock).code()) return status;
  int status =
      KeySetInfo(lock, des_key.get(), kPbeMd5DesCbcParts.derived_key_form(), derived).code();
  if (status == TkOk) {
    status =
        LookupMethod(methods, kPbeMd5DesCbcParts.cipher(), encrypt ? 1 : 0, des_key.get(),
                     [&](const AlgorithmMethod& method, const void* key_record) {
                       return BindEngine(method, key_record, nullptr, derived + 8, encrypt, true);
                     });
  }
  return status;
}

class PbeMd5DesCbcInfoType final : public AlgorithmInfoType {
 public:
  // Parameters PbeParams: the 8 salt bytes are copied into the object.
  int AddInfo(AlgorithmObject& object, const void* parameters) const override {
    const auto* params = static_cast<const PbeParams*>(parameters);
    if (params == nullptr || params->salt == nullptr) return TkErrBadParameter;
    return StoreWithBytes(object, this, *params, &PbeParams::salt, kSaltSize);
  }
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<PbeHandler>(object);
  }
};

const PbeMd5DesCbcInfoType kPbeMd5DesCbcInfo;

}  // namespace

const AlgorithmInfoType* AlgInfoPbeMd5DesCbc() { return &kPbeMd5DesCbcInfo; }

}  // namespace kcertadm
