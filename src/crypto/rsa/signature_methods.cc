// The signature handlers: a digest chosen from the method list, and the RSA
// private-key operation with block type 1 (signing) or the public-key
// operation with block-type-1 checking (verification).
#include <cstring>
#include <new>
#include <vector>

#include "asn1/der_reader.h"
#include "asn1/oids.h"
#include "crypto/rsa/pkcs1.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/rsa_methods.h"
#include "crypto/rsa/signature.h"
#include "crypto/rsa/signature_digest_info.h"
#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {
namespace {

class SignatureInfoType final : public ParameterlessAlgInfoType {
 public:
  constexpr SignatureInfoType(AlgInfoAccessor digestType, SignatureDigest digestUsed)
      : digest_type_(digestType), digest_(digestUsed) {}
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override;
  AlgInfoAccessor digest_type() const { return digest_type_; }
  SignatureDigest digest() const { return digest_; }

 private:
  AlgInfoAccessor digest_type_;
  SignatureDigest digest_;
};

class RsaSignatureHandler final : public SignatureHandler {
 public:
  explicit RsaSignatureHandler(AlgorithmObject& object) : SignatureHandler(object) {}

  int SignInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, 1);
  }
  int VerifyInit(KeyObject* key, MethodList methods, const ProgressCallback*) override {
    return Init(key, methods, 0);
  }
  int SignUpdate(const std::uint8_t* in, std::uint32_t inLength, const ProgressCallback*) override {
    return Feed(1, in, inLength);
  }
  int VerifyUpdate(const std::uint8_t* in, std::uint32_t inLength,
                   const ProgressCallback*) override {
    return Feed(0, in, inLength);
  }

  int SignFinal(std::uint8_t* signature, std::uint32_t* signatureLength, std::uint32_t bufferSize,
                AlgorithmObject*, const ProgressCallback* progress) override {
    if (direction_ != 1) return TkErrNotInitialised;
    std::uint8_t info[kMaxDigestInfoSize];
    const std::size_t info_size = FinishDigestInfo(info);
    const std::size_t k = rsa_.k();
    int status = TkOk;
    if (k < kPkcs1MinModulusBytes)
      status = TkErrNotFound;
    else if (info_size > k - kPkcs1Overhead)
      status = TkErrInputTooLong;
    else if (signature == nullptr || bufferSize < k)
      status = TkErrOutputTooSmall;
    if (status == TkOk) {
      SecureBytes block(k);
      status = Pkcs1EncodeType1(info, info_size, k, block.data());
      if (status == TkOk) status = rsa_.Apply(block.data(), k, signature, bufferSize, progress);
    }
    SecureWipe(info, sizeof info);
    direction_ = -1;
    if (status == TkOk) *signatureLength = static_cast<std::uint32_t>(k);
    return status;
  }

  int VerifyFinal(const std::uint8_t* signature, std::uint32_t signatureLength, AlgorithmObject*,
                  const ProgressCallback* progress) override {
    if (direction_ != 0) return TkErrNotInitialised;
    direction_ = -1;
    std::uint8_t digest[kMaxDigestInfoSize];
    digest_->Final(digest_context_, digest);
    const std::size_t k = rsa_.k();
    if (signature == nullptr || signatureLength != k) return TkErrInputTooLong;
    // A signature not below the modulus would be reduced by the public-key
    // operation: s + n must not pass for s.
    if (std::memcmp(signature, modulus_.data(), k) >= 0) return TkErrBadData;
    SecureBytes block(k);
    if (int status = rsa_.Apply(signature, k, block.data(), k, progress)) return status;
    std::size_t offset = 0, size = 0;
    if (int status = Pkcs1DecodeType1(block.data(), k, &offset, &size)) return status;
    if (size > MaxSignatureDataSize(info_type_->digest())) return TkErrBadData;
    return CheckDigestInfo(info_type_->digest(), block.data() + offset, size, digest);
  }

 private:
  int Init(KeyObject* key, MethodList methods, int direction) {
    direction_ = -1;
    info_type_ = static_cast<const SignatureInfoType*>(info_type());
    int status = LookupMethod(
        methods, info_type_->digest_type()(), 0, nullptr,
        [this](const AlgorithmMethod& method, const void*) { return BindDigest(method); });
    if (status != TkOk) return status;
    const AlgorithmInfoType* rsa_type =
        direction == 1 ? AlgInfoRsaPrivatePkcs() : AlgInfoRsaPublicPkcs();
    status =
        LookupMethod(methods, rsa_type, direction, key,
                     [this, direction](const AlgorithmMethod& method, const void* record) {
                       const int bound = rsa_.Bind(method, record);
                       if (bound == TkOk && direction == 0)
                         KeepModulus(NumbersOf(*static_cast<const RsaPublicKeyRecord*>(record)));
                       return bound;
                     });
    if (status == TkOk) direction_ = direction;
    return status;
  }

  // The modulus as exactly k big-endian bytes, for comparing signatures.
  void KeepModulus(const RsaPublicNumbers& key) {
    modulus_.assign(rsa_.k(), 0);
    // k bytes hold n
    static_cast<void>(BigNum::FromBytes(key.modulus.data(), key.modulus.size())
                          .ToBytes(modulus_.data(), modulus_.size()));
  }

  int BindDigest(const AlgorithmMethod& method) {
    const auto* digest = dynamic_cast<const DigestImplementation*>(method.implementation);
    if (digest == nullptr) return TkErrInternal;
    object().blocks.Release(digest_context_);
    digest_context_ = object().blocks.Allocate(digest->ContextSize());
    if (digest_context_ == nullptr) return TkErrNoMemory;
    digest->Init(digest_context_);
    digest_ = digest;
    return TkOk;
  }

  int Feed(int direction, const std::uint8_t* in, std::uint32_t inLength) {
    if (direction_ != direction) return TkErrNotInitialised;
    if (in == nullptr && inLength > 0) return TkErrBadParameter;
    digest_->Update(digest_context_, in, inLength);
    return TkOk;
  }

  std::size_t FinishDigestInfo(std::uint8_t* info) {
    std::uint8_t digest[kMaxDigestInfoSize];
    digest_->Final(digest_context_, digest);
    const std::size_t size = EncodeDigestInfo(info_type_->digest(), digest, info);
    SecureWipe(digest, sizeof digest);
    return size;
  }

  const SignatureInfoType* info_type_ = nullptr;
  const DigestImplementation* digest_ = nullptr;
  void* digest_context_ = nullptr;  // owned by the object's block list
  RsaBlockOperation rsa_;
  std::vector<std::uint8_t> modulus_;  // verification only
  int direction_ = -1;
};

AlgorithmHandler* SignatureInfoType::NewHandler(AlgorithmObject& object) const {
  return NewHandlerFor<RsaSignatureHandler>(object);
}

const SignatureInfoType kMd2WithRsaInfo(AlgInfoMd2, SignatureDigest::kMd2);
const SignatureInfoType kMd5WithRsaInfo(AlgInfoMd5, SignatureDigest::kMd5);
const SignatureInfoType kSha1WithRsaInfo(AlgInfoSha1, SignatureDigest::kSha1);
const SignatureInfoType kSha256WithRsaInfo(AlgInfoSha256, SignatureDigest::kSha256);
const SignatureInfoType kSha384WithRsaInfo(AlgInfoSha384, SignatureDigest::kSha384);
const SignatureInfoType kSha512WithRsaInfo(AlgInfoSha512, SignatureDigest::kSha512);

}  // namespace

const AlgorithmInfoType* AlgInfoMd2WithRsa() { return &kMd2WithRsaInfo; }
const AlgorithmInfoType* AlgInfoMd5WithRsa() { return &kMd5WithRsaInfo; }
const AlgorithmInfoType* AlgInfoSha1WithRsa() { return &kSha1WithRsaInfo; }
const AlgorithmInfoType* AlgInfoSha256WithRsa() { return &kSha256WithRsaInfo; }
const AlgorithmInfoType* AlgInfoSha384WithRsa() { return &kSha384WithRsaInfo; }
const AlgorithmInfoType* AlgInfoSha512WithRsa() { return &kSha512WithRsaInfo; }

namespace {

// The SHA-2 handler of a selector, or null.
const AlgorithmInfoType* Sha2Algorithm(int selector) {
  if (selector == kSignatureSha256) return AlgInfoSha256WithRsa();
  if (selector == kSignatureSha384) return AlgInfoSha384WithRsa();
  if (selector == kSignatureSha512) return AlgInfoSha512WithRsa();
  return nullptr;
}

}  // namespace

der::View RsaSignatureOid(der::View algorithm) {
  const auto sequence = der::ExpectOnly(algorithm, der::kSequence, der::kDerOnly);
  if (!sequence) return {};
  der::View content = sequence->content;
  const auto oid = der::Expect(content, der::kOid, der::kDerOnly);
  const auto null = oid ? der::ExpectOnly(content, der::kNull, der::kDerOnly) : std::nullopt;
  if (!null || !null->content.empty()) return {};
  return oid->content;
}

int SignatureSelectorOf(const std::uint8_t* algorithm, std::size_t size) {
  struct Known {
    der::View oid;
    int selector;
  };
  static const Known kKnown[] = {{oid::bytes::kMd2WithRsa, kSignatureMd2},
                                 {oid::bytes::kMd5WithRsa, kSignatureMd5},
                                 {oid::bytes::kSha1WithRsa, kSignatureSha1},
                                 {oid::bytes::kSha256WithRsa, kSignatureSha256},
                                 {oid::bytes::kSha384WithRsa, kSignatureSha384},
                                 {oid::bytes::kSha512WithRsa, kSignatureSha512}};
  if (algorithm == nullptr) return 0;
  const der::View oid = RsaSignatureOid(der::View(algorithm, size));
  for (const Known& known : kKnown)
    if (!oid.empty() && der::Equal(oid, known.oid)) return known.selector;
  return 0;
}

const AlgorithmInfoType* SigningAlgorithm(int selector) {
  if (const AlgorithmInfoType* sha2 = Sha2Algorithm(selector)) return sha2;
  if (selector == kSignatureSha1) return AlgInfoSha1WithRsa();
  return selector == kSignatureMd5 ? AlgInfoMd5WithRsa() : AlgInfoMd2WithRsa();
}

const AlgorithmInfoType* VerifyingAlgorithm(int selector) {
  if (const AlgorithmInfoType* sha2 = Sha2Algorithm(selector)) return sha2;
  if (selector == kSignatureMd2) return AlgInfoMd2WithRsa();
  if (selector == kSignatureSha1) return AlgInfoSha1WithRsa();
  return AlgInfoMd5WithRsa();
}

ToolkitStatus SignData(const ToolkitLockHeld& lock, int selector, KeyObject* privateKey,
                       const std::uint8_t* data, std::uint32_t size, std::uint8_t* signature,
                       std::uint32_t* signatureLength, std::uint32_t bufferSize) {
  OwnedAlgorithm signer;
  if (int status = signer.Create(lock).code()) return status;
  if (int status = AlgSetInfo(lock, signer.get(), SigningAlgorithm(selector), nullptr).code())
    return status;
  if (int status = SignInit(lock, signer.get(), privateKey, KeyRingMethods, nullptr).code())
    return status;
  if (int status = SignUpdate(lock, signer.get(), data, size, nullptr).code()) return status;
  return SignFinal(lock, signer.get(), signature, signatureLength, bufferSize, nullptr, nullptr);
}

ToolkitStatus VerifyData(const ToolkitLockHeld& lock, int selector, KeyObject* key,
                         const std::uint8_t* data, std::uint32_t size,
                         const std::uint8_t* signature, std::uint32_t signatureLength) {
  OwnedAlgorithm verifier;
  if (int status = verifier.Create(lock).code()) return status;
  if (int status = AlgSetInfo(lock, verifier.get(), VerifyingAlgorithm(selector), nullptr).code())
    return status;
  if (int status = VerifyInit(lock, verifier.get(), key, KeyRingMethods, nullptr).code())
    return status;
  if (int status = VerifyUpdate(lock, verifier.get(), data, size, nullptr).code()) return status;
  return VerifyFinal(lock, verifier.get(), signature, signatureLength, nullptr, nullptr);
}

}  // namespace kcertadm
