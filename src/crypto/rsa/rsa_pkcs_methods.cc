// AlgInfoRsaPublicPkcs and AlgInfoRsaPrivatePkcs: RSA with PKCS #1 v1.5
// block formatting as a cipher handler, and the RSA method entries.
#include <cstring>
#include <new>

#include "crypto/rsa/pkcs1.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/rsa_methods.h"

namespace kcertadm {
namespace {

const RsaImplementation kRsaPublicImplementation(false);
const RsaImplementation kRsaPrivateImplementation(true);

class RsaPkcsHandler final : public CipherHandler {
 public:
  explicit RsaPkcsHandler(AlgorithmObject& object) : CipherHandler(object) {}
  ~RsaPkcsHandler() override { Clear(); }

  std::uint32_t BlockSize() const override {
    return operation_.bound() ? static_cast<std::uint32_t>(operation_.k()) : 0;
  }

  int EncryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, 1);
  }
  int DecryptInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, 0);
  }

  int EncryptUpdate(std::uint8_t*, std::uint32_t* outLength, std::uint32_t, const std::uint8_t* in,
                    std::uint32_t inLength, AlgorithmObject*, const ProgressCallback*) override {
    return Collect(1, outLength, in, inLength);
  }
  int DecryptUpdate(std::uint8_t*, std::uint32_t* outLength, std::uint32_t, const std::uint8_t* in,
                    std::uint32_t inLength, AlgorithmObject*, const ProgressCallback*) override {
    return Collect(0, outLength, in, inLength);
  }

  int EncryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                   AlgorithmObject* random, const ProgressCallback* progress) override {
    if (direction_ != 1) return TkErrNotInitialised;
    const std::size_t k = operation_.k();
    if (k < kPkcs1MinModulusBytes) return TkErrNotFound;
    if (out == nullptr || outSize < k) return TkErrOutputTooSmall;
    SecureBytes block(k);
    int status;
    if (operation_.private_key()) {
      status = Pkcs1EncodeType1(input_.data(), input_.size(), k, block.data());
    } else {
      // Under the lock of the EncryptFinal call this runs in.
      RandomByte draw = [&lock = ToolkitLockHeld::Current(), random](std::uint8_t* byte) {
        return RandomGenerate(lock, random, byte, 1, nullptr).code();
      };
      status = Pkcs1EncodeType2(input_.data(), input_.size(), k, draw, block.data());
    }
    if (status == TkOk) status = operation_.Apply(block.data(), k, out, outSize, progress);
    Clear();
    if (status == TkOk) *outLength = static_cast<std::uint32_t>(k);
    return status;
  }

  int DecryptFinal(std::uint8_t* out, std::uint32_t* outLength, std::uint32_t outSize,
                   AlgorithmObject*, const ProgressCallback* progress) override {
    if (direction_ != 0) return TkErrNotInitialised;
    const std::size_t k = operation_.k();
    if (k < kPkcs1MinModulusBytes) return TkErrNotFound;
    if (input_.size() != k) {
      Clear();
      return TkErrInputTooLong;
    }
    SecureBytes block(k);
    int status = operation_.Apply(input_.data(), k, block.data(), k, progress);
    std::size_t offset = 0, size = 0;
    if (status == TkOk) {
      status = operation_.private_key() ? Pkcs1DecodeType2(block.data(), k, &offset, &size)
                                        : Pkcs1DecodeType1(block.data(), k, &offset, &size);
    }
    if (status == TkOk && size > 0 && (out == nullptr || size > outSize))
      status = TkErrOutputTooSmall;
    if (status == TkOk) {
      if (size > 0) std::memcpy(out, block.data() + offset, size);
      *outLength = static_cast<std::uint32_t>(size);
    }
    Clear();
    return status;
  }

 private:
  int Init(KeyObject* key, MethodList methods, int direction) {
    Clear();
    direction_ = -1;
    const int status = LookupMethod(methods, info_type(), direction, key,
                                    [this](const AlgorithmMethod& method, const void* record) {
                                      return operation_.Bind(method, record);
                                    });
    if (status == TkOk) direction_ = direction;
    return status;
  }

  int Collect(int direction, std::uint32_t* outLength, const std::uint8_t* in,
              std::uint32_t inLength) {
    if (direction_ != direction) return TkErrNotInitialised;
    if (in == nullptr && inLength > 0) return TkErrBadParameter;
    const std::size_t k = operation_.k();
    const std::size_t limit = direction == 1 ? (k >= kPkcs1Overhead ? k - kPkcs1Overhead : 0) : k;
    if (inLength > limit - input_.size()) return TkErrInputTooLong;
    input_.insert(input_.end(), in, in + inLength);
    *outLength = 0;
    return TkOk;
  }

  void Clear() {
    SecureWipe(input_.data(), input_.size());
    input_.clear();
  }

  RsaBlockOperation operation_;
  SecureBytes input_;
  int direction_ = -1;
};

class RsaPkcsInfoType final : public ParameterlessAlgInfoType {
 public:
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<RsaPkcsHandler>(object);
  }
};

const RsaPkcsInfoType kRsaPublicPkcsInfo;
const RsaPkcsInfoType kRsaPrivatePkcsInfo;

}  // namespace

int RsaBlockOperation::Bind(const AlgorithmMethod& method, const void* key_record) {
  const auto* implementation = dynamic_cast<const RsaImplementation*>(method.implementation);
  if (implementation == nullptr || key_record == nullptr) return TkErrInternal;
  bound_ = false;
  int status;
  if (implementation->private_key()) {
    const RsaPrivateKeyOp* prepared = nullptr;
    status = static_cast<const RsaCrtRecord*>(key_record)->Operation(&prepared);
    if (status == TkOk) private_ = *prepared;
  } else {
    status = public_.Init(NumbersOf(*static_cast<const RsaPublicKeyRecord*>(key_record)));
  }
  if (status != TkOk) return status;
  private_key_ = implementation->private_key();
  bound_ = true;
  return TkOk;
}

int RsaBlockOperation::Apply(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                             std::size_t out_size, const ProgressCallback* progress) const {
  if (!bound_) return TkErrNotInitialised;
  if (CheckProgress(progress) != kImplOk) return TkErrCancelled;
  return private_key_ ? private_.Apply(in, in_size, out, out_size)
                      : public_.Apply(in, in_size, out, out_size);
}

const AlgorithmInfoType* AlgInfoRsaPublicPkcs() { return &kRsaPublicPkcsInfo; }
const AlgorithmInfoType* AlgInfoRsaPrivatePkcs() { return &kRsaPrivatePkcsInfo; }

const AlgorithmMethod kRsaPublicEncryptMethod{AlgInfoRsaPublicPkcs, 1, KeyInfoRsaPublic,
                                              &kRsaPublicImplementation};
const AlgorithmMethod kRsaPublicDecryptMethod{AlgInfoRsaPublicPkcs, 0, KeyInfoRsaPublic,
                                              &kRsaPublicImplementation};
const AlgorithmMethod kRsaPrivateEncryptMethod{AlgInfoRsaPrivatePkcs, 1, KeyInfoRsaCrt,
                                               &kRsaPrivateImplementation};
const AlgorithmMethod kRsaPrivateDecryptMethod{AlgInfoRsaPrivatePkcs, 0, KeyInfoRsaCrt,
                                               &kRsaPrivateImplementation};

}  // namespace kcertadm
