// The BMI2/ADX kernel: the portable design compiled for mulx and the ADX
// carry instructions, here only, and chosen at run time.
#include <cpuid.h>
#include <immintrin.h>

#include "crypto/montgomery_kernel.h"

#pragma GCC push_options
#pragma GCC target("bmi2,adx")
#include "crypto/montgomery_rows.h"

namespace kcertadm {
namespace {

// mulx leaves the flags alone, so the additions of one product do not
// wait for it. (Two carry chains through _addcarryx_u64, one for the low
// and one for the high halves, measured slower: g++ 12 turns them into one
// chain with the carries saved and restored.)
struct AdxRow {
  template <std::size_t N>
  static Limb Add(Limb* t, const Limb* a, Limb b, std::size_t n) {
    if constexpr (N != 0) n = N;
    Limb carry = 0;
#pragma GCC unroll 64
    for (std::size_t j = 0; j < n; ++j) {
      unsigned long long high;
      const unsigned long long low = _mulx_u64(a[j], b, &high);
      const rows::Wide s = static_cast<rows::Wide>(low) + t[j] + carry;
      t[j] = static_cast<Limb>(s);
      carry = high + static_cast<Limb>(s >> 64);
    }
    return carry;
  }
};

constexpr LimbKernel kAdx{&rows::MulAnySize<AdxRow>, &rows::SqrAnySize<AdxRow>};

}  // namespace
}  // namespace kcertadm
#pragma GCC pop_options

namespace kcertadm {

const LimbKernel* AdxLimbKernel() {
  // Asked of cpuid itself: not every compiler's __builtin_cpu_supports knows "adx".
  static const bool available = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_BMI2) != 0 && (b & bit_ADX) != 0;
  }();
  return available ? &kAdx : nullptr;
}

}  // namespace kcertadm
