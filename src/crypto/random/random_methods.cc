// AlgInfoRandomMd5 as a toolkit algorithm (random handler) and RandomMethods.
#include <new>
#include <optional>

#include "crypto/random/random_md5.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {
namespace {

class RandomMd5Implementation final : public MethodImplementation {};
const RandomMd5Implementation kRandomMd5Implementation;

class RandomMd5Handler final : public RandomHandler {
 public:
  explicit RandomMd5Handler(AlgorithmObject& object) : RandomHandler(object) {}

  int RandomInit(MethodList methods, const ProgressCallback*) override {
    return LookupMethod(
        methods, info_type(), 0, nullptr, [this](const AlgorithmMethod& method, const void*) {
          if (dynamic_cast<const RandomMd5Implementation*>(method.implementation) == nullptr)
            return TkErrInternal;
          generator_.emplace();  // a fresh state
          return TkOk;
        });
  }

  int RandomSeed(const std::uint8_t* seed, std::uint32_t length, const ProgressCallback*) override {
    if (seed == nullptr && length > 0) return TkErrBadParameter;
    generator_->Seed(seed, length);
    return TkOk;
  }

  int RandomGenerate(std::uint8_t* out, std::uint32_t count, const ProgressCallback*) override {
    if (out == nullptr && count > 0) return TkErrBadParameter;
    generator_->Generate(out, count);
    return TkOk;
  }

 private:
  std::optional<Md5RandomGenerator> generator_;
};

class RandomMd5InfoType final : public ParameterlessAlgInfoType {
 public:
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<RandomMd5Handler>(object);
  }
};

const RandomMd5InfoType kRandomMd5Info;

}  // namespace

const AlgorithmInfoType* AlgInfoRandomMd5() { return &kRandomMd5Info; }

const AlgorithmMethod kRandomMd5Method{AlgInfoRandomMd5, 0, nullptr, &kRandomMd5Implementation};

const AlgorithmMethod* const RandomMethods[] = {&kRandomMd5Method, nullptr};

}  // namespace kcertadm
