#include "crypto/bignum/montgomery_kernel.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "crypto/bignum/montgomery_ifma.h"

namespace kcertadm {
namespace {

constexpr int kNotForced = -1;
std::atomic<int> g_forced{kNotForced};

// The fastest the processor runs, as measured (docs/performance.md): IFMA,
// else ADX, else the portable kernel.
RsaKernel ChooseKernel() {
  if (const char* name = std::getenv("KCERTADM_RSA_KERNEL")) {
    for (RsaKernel kernel : AvailableRsaKernels())
      if (std::strcmp(name, RsaKernelName(kernel)) == 0) return kernel;
  }
  if (RsaKernelAvailable(RsaKernel::kIfma)) return RsaKernel::kIfma;
  return RsaKernelAvailable(RsaKernel::kAdx) ? RsaKernel::kAdx : RsaKernel::kPortable;
}

}  // namespace

const char* RsaKernelName(RsaKernel kernel) {
  switch (kernel) {
    case RsaKernel::kAdx:
      return "adx";
    case RsaKernel::kIfma:
      return "ifma";
    case RsaKernel::kInt128:
      return "int128";
    case RsaKernel::kPortable:
      break;
  }
  return "portable";
}

std::vector<RsaKernel> AvailableRsaKernels() {
  std::vector<RsaKernel> kernels{RsaKernel::kPortable};
  if (AdxLimbKernel() != nullptr) kernels.push_back(RsaKernel::kAdx);
  if (ifma::Supported()) kernels.push_back(RsaKernel::kIfma);
  if (RsaKernelAvailable(RsaKernel::kInt128)) kernels.push_back(RsaKernel::kInt128);
  return kernels;
}

bool RsaKernelAvailable(RsaKernel kernel) {
  switch (kernel) {
    case RsaKernel::kAdx:
      return AdxLimbKernel() != nullptr;
    case RsaKernel::kIfma:
      return ifma::Supported();
    case RsaKernel::kInt128:
      return &Int128LimbKernel() != &PortableLimbKernel();
    case RsaKernel::kPortable:
      break;
  }
  return true;
}

RsaKernel ActiveRsaKernel() {
  const int forced = g_forced.load();
  if (forced != kNotForced) return static_cast<RsaKernel>(forced);
  static const RsaKernel chosen = ChooseKernel();
  return chosen;
}

const LimbKernel& LimbKernelFor(RsaKernel kernel) {
  const LimbKernel* adx = AdxLimbKernel();
  switch (kernel) {
    case RsaKernel::kAdx:
    case RsaKernel::kIfma:
      return adx != nullptr ? *adx : PortableLimbKernel();
    case RsaKernel::kInt128:
      return Int128LimbKernel();
    case RsaKernel::kPortable:
      break;
  }
  return PortableLimbKernel();
}

void SetRsaKernelForTesting(RsaKernel kernel) {
  if (RsaKernelAvailable(kernel)) g_forced.store(static_cast<int>(kernel));
}

void ResetRsaKernelForTesting() { g_forced.store(kNotForced); }

}  // namespace kcertadm
