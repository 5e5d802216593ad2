// The 64-bit kernel of plain C++: limb products through unsigned __int128.
// The portable kernel of every processor but x86-64, which has its own
// (montgomery_x86_64.cc); there it remains as the int128 kernel.
#include "crypto/bignum/montgomery_kernel.h"
#include "crypto/bignum/montgomery_rows.h"

namespace kcertadm {
namespace {

struct Int128Row : rows::StepRow, rows::StepPairs {};

constexpr LimbKernel kInt128{&rows::MulAnySize<Int128Row>, &rows::SqrAnySize<Int128Row>};

}  // namespace

const LimbKernel& Int128LimbKernel() { return kInt128; }

}  // namespace kcertadm
