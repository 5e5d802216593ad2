// Tests that run once on each AES kernel: the AES-NI run skips, saying so,
// on a processor without the instructions.
#pragma once

#include <gtest/gtest.h>

#include "crypto/cipher/aes.h"

namespace kcertadm::test_support {

class AesKernelParam : public ::testing::TestWithParam<AesKernel> {
 protected:
  void SetUp() override {
    if (GetParam() == AesKernel::kAesNi && !AesNiAvailable())
      GTEST_SKIP() << "this processor has no AES instructions: the AES-NI kernel cannot run here";
  }
};

inline const auto kBothAesKernels = ::testing::Values(AesKernel::kPortable, AesKernel::kAesNi);
inline std::string AesKernelName(const ::testing::TestParamInfo<AesKernel>& info) {
  return info.param == AesKernel::kAesNi ? "AesNi" : "Portable";
}

}  // namespace kcertadm::test_support
