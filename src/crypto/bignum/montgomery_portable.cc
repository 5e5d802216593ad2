// The portable 64-bit kernel: limb products through unsigned __int128.
#include "crypto/bignum/montgomery_kernel.h"
#include "crypto/bignum/montgomery_rows.h"

namespace kcertadm {
namespace {

struct PortableRow {
  template <std::size_t N>
  static Limb Add(Limb* t, const Limb* a, Limb b, std::size_t n) {
    if constexpr (N != 0) n = N;
    Limb carry = 0;
#pragma GCC unroll 64
    for (std::size_t j = 0; j < n; ++j) rows::Step(t[j], a[j], b, carry);
    return carry;
  }
};

constexpr LimbKernel kPortable{&rows::MulAnySize<PortableRow>, &rows::SqrAnySize<PortableRow>};

}  // namespace

const LimbKernel& PortableLimbKernel() { return kPortable; }

}  // namespace kcertadm
