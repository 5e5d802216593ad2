// The BMI2/ADX kernel, compiled for these instructions here only and chosen
// at run time.
//
// The row "t += a * b" is written in GNU inline assembly: mulx multiplies
// without touching the flags, and adcx and adox add with two carry chains
// that do not disturb each other (CF for the low halves of the products,
// OF for the high halves), so the additions of one limb do not wait for
// those of the one before. Written with the intrinsics, g++ 12 merges the
// two chains into one and saves and restores the carries of the other,
// which measured slower than the portable kernel. Each row is unrolled
// completely by the assembler (.rept), for the limb counts of the usual
// moduli and primes; other sizes run the design of montgomery_rows.h with
// mulx.
#include <cpuid.h>
#include <immintrin.h>

#include <utility>

#include "base/secure_memory.h"
#include "crypto/bignum/montgomery_kernel.h"

#pragma GCC push_options
#pragma GCC target("bmi2,adx")
#include "crypto/bignum/montgomery_rows.h"

namespace kcertadm {
namespace {

// t[0 .. N) += a[0 .. N) * b; returns the limb carried out of t[N - 1].
// Step j: lo:hi = a[j] b (mulx, b in rdx); t[j] = lo + t[j] + CF (adcx)
// + the previous step's hi + OF (adox). Both carries belong to limb j + 1,
// where the next step adds them; after the last step the two pending
// carries and hi form the limb carried out, which cannot overflow since
// t + a b < 2^(64 (N + 1)).
template <std::size_t N>
inline Limb AddRow(Limb* t, const Limb* a, Limb b) {
  static_assert(N > 0);
  Limb carry, lo, hi;
  asm("xor %k[carry], %k[carry]\n\t"  // carry = 0, CF = OF = 0
      ".set .Lkcertadm_offset, 0\n\t"
      ".rept %c[count]\n\t"
      "mulx .Lkcertadm_offset(%[a]), %[lo], %[hi]\n\t"
      "adcx .Lkcertadm_offset(%[t]), %[lo]\n\t"
      "adox %[carry], %[lo]\n\t"
      "mov %[lo], .Lkcertadm_offset(%[t])\n\t"
      "mov %[hi], %[carry]\n\t"
      ".set .Lkcertadm_offset, .Lkcertadm_offset + 8\n\t"
      ".endr\n\t"
      "mov $0, %k[lo]\n\t"  // mov leaves the flags alone
      "adcx %[lo], %[carry]\n\t"
      "adox %[lo], %[carry]"
      : [carry] "=&r"(carry), [lo] "=&r"(lo), [hi] "=&r"(hi)
      : [t] "r"(t), [a] "r"(a), "d"(b), [count] "i"(N)
      : "cc", "memory");
  return carry;
}

// r = t / 2^(64 N) mod n for t of 2N limbs below 2^(64 N) n: N rows that
// each clear the lowest limb left, then one masked subtraction.
template <std::size_t N>
inline void Reduce(Limb* r, Limb* t, const Limb* n, Limb n0) {
  Limb extra = 0;  // carry into t[i + N]
  for (std::size_t i = 0; i < N; ++i) {
    const Limb carry = AddRow<N>(t + i, n, t[i] * n0);
    extra = rows::AddTwo(t[i + N], carry, extra);
  }
  rows::SubtractModulusOnce(r, t + N, extra, n, N);
}

template <std::size_t N>
void Mul(Limb* r, const Limb* a, const Limb* b, const Limb* n, Limb n0, std::size_t) {
  Limb t[2 * N];
  for (std::size_t j = 0; j < N; ++j) t[j] = 0;
  for (std::size_t i = 0; i < N; ++i) t[i + N] = AddRow<N>(t + i, a, b[i]);
  Reduce<N>(r, t, n, n0);
  SecureWipe(t, sizeof t);
}

// The row of the other sizes: mulx, one carry chain.
struct MulxRow : rows::StepPairs {
  template <std::size_t N>
  static Limb Add(Limb* t, const Limb* a, Limb b, std::size_t n) {
    if constexpr (N != 0) n = N;
    Limb carry = 0;
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

// The assembly row where the length is known at compile time.
struct AsmRow {
  template <std::size_t N>
  static Limb Add(Limb* t, const Limb* a, Limb b, std::size_t n) {
    if constexpr (N != 0)
      return AddRow<N>(t, a, b);
    else
      return MulxRow::Add<0>(t, a, b, n);
  }
};

void MulAnySize(Limb* r, const Limb* a, const Limb* b, const Limb* n, Limb n0, std::size_t size) {
  switch (size) {
    case 8:
      return Mul<8>(r, a, b, n, n0, size);
    case 16:
      return Mul<16>(r, a, b, n, n0, size);
    case 24:
      return Mul<24>(r, a, b, n, n0, size);
    case 32:
      return Mul<32>(r, a, b, n, n0, size);
    case 48:
      return Mul<48>(r, a, b, n, n0, size);
    case 64:
      return Mul<64>(r, a, b, n, n0, size);
    default:
      return rows::Mul<MulxRow, 0>(r, a, b, n, n0, size);
  }
}

template <std::size_t N>
void Sqr(Limb* r, const Limb* a, const Limb* n, Limb n0, std::size_t) {
  Limb t[2 * N];
  for (std::size_t j = 0; j < 2 * N; ++j) t[j] = 0;
  rows::AddCrossProducts<AsmRow, N>(t, a, std::make_index_sequence<N - 1>{});
  rows::AddDoubledSquares(t, a, N);
  Reduce<N>(r, t, n, n0);
  SecureWipe(t, sizeof t);
}

// Squares of more than rows::kMaxUnrolledTriangle limbs are products.
void SqrAnySize(Limb* r, const Limb* a, const Limb* n, Limb n0, std::size_t size) {
  switch (size) {
    case 8:
      return Sqr<8>(r, a, n, n0, size);
    case 16:
      return Sqr<16>(r, a, n, n0, size);
    case 24:
      return Sqr<24>(r, a, n, n0, size);
    case 32:
      return Sqr<32>(r, a, n, n0, size);
    case 48:
      return Mul<48>(r, a, a, n, n0, size);
    case 64:
      return Mul<64>(r, a, a, n, n0, size);
    default:
      return rows::Sqr<MulxRow, 0>(r, a, n, n0, size);
  }
}

constexpr LimbKernel kAdx{&MulAnySize, &SqrAnySize};

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
