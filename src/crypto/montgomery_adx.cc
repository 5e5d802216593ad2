// The BMI2/ADX kernel: mulx leaves the flags alone, so a row's additions
// can run as two carry chains. Compiled for those instructions here only
// and chosen at run time.
#include <immintrin.h>

#include "crypto/montgomery_kernel.h"

#pragma GCC push_options
#pragma GCC target("bmi2,adx")
#include "crypto/montgomery_rows.h"

namespace kcertadm {
namespace {

// All products of the row first (mulx), then the low halves added along
// one carry chain (adcx) and the high halves, one limb up, along the other
// (adox); the two chains share no flag, so they overlap.
struct AdxRow {
  template <std::size_t N>
  static Limb Add(Limb* t, const Limb* a, Limb b, std::size_t n) {
    if constexpr (N != 0) n = N;
    if (n == 0) return 0;
    unsigned long long low[kMaxMontLimbs], high[kMaxMontLimbs];
#pragma GCC unroll 64
    for (std::size_t j = 0; j < n; ++j) low[j] = _mulx_u64(a[j], b, &high[j]);
    unsigned char low_carry = 0, high_carry = 0;
    auto* sum = reinterpret_cast<unsigned long long*>(t);
    low_carry = _addcarryx_u64(low_carry, sum[0], low[0], &sum[0]);
#pragma GCC unroll 64
    for (std::size_t j = 1; j < n; ++j) {
      low_carry = _addcarryx_u64(low_carry, sum[j], low[j], &sum[j]);
      high_carry = _addcarryx_u64(high_carry, sum[j], high[j - 1], &sum[j]);
    }
    // The row's top limb: the last high half and both carries (no overflow,
    // as t + a b < 2^(64 (n + 1))).
    return high[n - 1] + low_carry + high_carry;
  }
};

constexpr LimbKernel kAdx{&rows::MulAnySize<AdxRow>, &rows::SqrAnySize<AdxRow>};

}  // namespace
}  // namespace kcertadm
#pragma GCC pop_options

namespace kcertadm {

const LimbKernel* AdxLimbKernel() {
  static const bool available = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("adx");
  return available ? &kAdx : nullptr;
}

}  // namespace kcertadm
