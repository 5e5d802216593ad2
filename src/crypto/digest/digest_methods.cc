// The digest algorithms as toolkit objects: info types AlgInfoMd2,
// AlgInfoMd5, AlgInfoSha1, AlgInfoSha256, AlgInfoSha384, AlgInfoSha512,
// their implementations and the digest handler.
#include <new>

#include "crypto/digest/md2.h"
#include "crypto/digest/md5.h"
#include "crypto/digest/sha1.h"
#include "crypto/digest/sha2.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_methods.h"

namespace kcertadm {
namespace {

// One implementation per digest class (Md2, Md5, Sha1, Sha256, ...); the context is the
// digest object itself, built in place in memory the handler owns.
template <typename Digest>
class DigestOf final : public DigestImplementation {
 public:
  std::uint32_t DigestSize() const override { return Digest::kDigestSize; }
  std::size_t ContextSize() const override { return sizeof(Digest); }
  void Init(void* context) const override { new (context) Digest(); }
  void Update(void* context, const void* data, std::size_t size) const override {
    static_cast<Digest*>(context)->Update(data, size);
  }
  void Final(void* context, std::uint8_t* out) const override {
    static_cast<Digest*>(context)->Final(out);
  }
};

const DigestOf<Md2> kMd2Implementation;
const DigestOf<Md5> kMd5Implementation;
const DigestOf<Sha1> kSha1Implementation;
const DigestOf<Sha256> kSha256Implementation;
const DigestOf<Sha384> kSha384Implementation;
const DigestOf<Sha512> kSha512Implementation;

class DigestObjectHandler final : public DigestHandler {
 public:
  explicit DigestObjectHandler(AlgorithmObject& object) : DigestHandler(object) {}

  int DigestInit(KeyObject* key, MethodList methods,
                 const ProgressCallback* /*progress*/) override {
    return LookupMethod(
        methods, info_type(), 0, key,
        [this](const AlgorithmMethod& method, const void*) { return Bind(method); });
  }

  int DigestUpdate(const std::uint8_t* in, std::uint32_t inLength,
                   const ProgressCallback*) override {
    if (in == nullptr && inLength > 0) return TkErrBadParameter;
    implementation_->Update(context_, in, inLength);
    return TkOk;
  }

  int DigestFinal(std::uint8_t* digest, std::uint32_t* digestLength, std::uint32_t bufferSize,
                  const ProgressCallback*) override {
    const std::uint32_t size = implementation_->DigestSize();
    if (digest == nullptr || bufferSize < size) return TkErrOutputTooSmall;
    implementation_->Final(context_, digest);
    *digestLength = size;
    return TkOk;
  }

 private:
  int Bind(const AlgorithmMethod& method) {
    const auto* implementation = dynamic_cast<const DigestImplementation*>(method.implementation);
    if (implementation == nullptr) return TkErrInternal;
    if (context_ == nullptr || implementation->ContextSize() > context_size_) {
      object().blocks.Release(context_);
      context_ = object().blocks.Allocate(implementation->ContextSize());
      context_size_ = context_ == nullptr ? 0 : implementation->ContextSize();
      if (context_ == nullptr) return TkErrNoMemory;
    }
    implementation->Init(context_);
    implementation_ = implementation;
    return TkOk;
  }

  const DigestImplementation* implementation_ = nullptr;
  void* context_ = nullptr;  // owned by the object's block list
  std::size_t context_size_ = 0;
};

class DigestInfoType final : public ParameterlessAlgInfoType {
 public:
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<DigestObjectHandler>(object);
  }
};

const DigestInfoType kMd2Info;
const DigestInfoType kMd5Info;
const DigestInfoType kSha1Info;
const DigestInfoType kSha256Info;
const DigestInfoType kSha384Info;
const DigestInfoType kSha512Info;

}  // namespace

const AlgorithmInfoType* AlgInfoMd2() { return &kMd2Info; }
const AlgorithmInfoType* AlgInfoMd5() { return &kMd5Info; }
const AlgorithmInfoType* AlgInfoSha1() { return &kSha1Info; }
const AlgorithmInfoType* AlgInfoSha256() { return &kSha256Info; }
const AlgorithmInfoType* AlgInfoSha384() { return &kSha384Info; }
const AlgorithmInfoType* AlgInfoSha512() { return &kSha512Info; }

const AlgorithmMethod kMd2DigestMethod{AlgInfoMd2, 0, nullptr, &kMd2Implementation};
const AlgorithmMethod kMd5DigestMethod{AlgInfoMd5, 0, nullptr, &kMd5Implementation};
const AlgorithmMethod kSha1DigestMethod{AlgInfoSha1, 0, nullptr, &kSha1Implementation};
const AlgorithmMethod kSha256DigestMethod{AlgInfoSha256, 0, nullptr, &kSha256Implementation};
const AlgorithmMethod kSha384DigestMethod{AlgInfoSha384, 0, nullptr, &kSha384Implementation};
const AlgorithmMethod kSha512DigestMethod{AlgInfoSha512, 0, nullptr, &kSha512Implementation};

}  // namespace kcertadm
