// The Montgomery products behind all modular arithmetic of RSA, one
// implementation per processor feature set, and the choice among them.
//
// Every kernel takes time and touches memory in a way that depends only on
// the operand size, never on the values.
#pragma once

#include <cstddef>
#include <vector>

#include "crypto/bignum/bignum.h"

namespace kcertadm {

// Moduli of up to 8,192 bits.
constexpr std::size_t kMaxMontLimbs = 128;

// r = a * b / 2^(64 size) mod n, fully reduced, for odd n of `size` limbs,
// n0 = -n^-1 mod 2^64 and a * b < 2^(64 size) * n (so a may be any value of
// `size` limbs when b < n). r may alias a or b.
using MontMulFn = void (*)(Limb* r, const Limb* a, const Limb* b, const Limb* n, Limb n0,
                           std::size_t size);
// r = a * a / 2^(64 size) mod n, for a < n.
using MontSqrFn = void (*)(Limb* r, const Limb* a, const Limb* n, Limb n0, std::size_t size);

struct LimbKernel {
  MontMulFn mul;
  MontSqrFn sqr;
};

// 64-bit limbs on the instructions every processor of its architecture
// has: on x86-64 mul, add and adc (montgomery_x86_64.cc), elsewhere
// Int128LimbKernel.
const LimbKernel& PortableLimbKernel();
// 64-bit limbs in plain C++ with unsigned __int128: runs everywhere.
const LimbKernel& Int128LimbKernel();
// mulx with two carry chains (adcx, adox); null without BMI2 and ADX.
const LimbKernel* AdxLimbKernel();

// Which code runs the exponentiations of RSA.
enum class RsaKernel {
  kPortable,  // PortableLimbKernel
  kAdx,       // AdxLimbKernel
  kIfma,      // AVX-512 IFMA on 52-bit digits (montgomery_ifma.h)
  kInt128,    // Int128LimbKernel, where it is not the portable one already
              // (x86-64): never chosen, only forced, so that it is tested
};

const char* RsaKernelName(RsaKernel kernel);
// The kernels this processor can run.
std::vector<RsaKernel> AvailableRsaKernels();
bool RsaKernelAvailable(RsaKernel kernel);
// The kernel new Montgomery contexts use: the one named by the environment
// variable KCERTADM_RSA_KERNEL (portable, adx, ifma or int128; read once) when the
// processor runs it, otherwise ifma where available, else adx where
// available, else portable.
RsaKernel ActiveRsaKernel();
// The 64-bit kernel that goes with an RSA kernel (IFMA uses the ADX one,
// which every processor with IFMA has, for everything outside its
// exponentiations).
const LimbKernel& LimbKernelFor(RsaKernel kernel);

// For tests and benchmarks: the kernel ActiveRsaKernel() returns from now
// on (only an available one), and back to the normal choice.
void SetRsaKernelForTesting(RsaKernel kernel);
void ResetRsaKernelForTesting();

}  // namespace kcertadm
