#include "crypto/toolkit/toolkit_lock.h"

#include <cstdio>
#include <cstdlib>

namespace kcertadm {
namespace {

// ToolkitLock is not recursive, so a thread holds at most one proof.
thread_local const ToolkitLockHeld* liveProof = nullptr;

}  // namespace

ToolkitLockHeld::ToolkitLockHeld() { liveProof = this; }

ToolkitLockHeld::~ToolkitLockHeld() { liveProof = nullptr; }

bool ToolkitLockHeld::OnThisThread() { return liveProof != nullptr; }

const ToolkitLockHeld& ToolkitLockHeld::Current() {
  if (liveProof == nullptr) {
    std::fputs("kcertadm: toolkit call without ToolkitLock\n", stderr);
    std::abort();
  }
  return *liveProof;
}

}  // namespace kcertadm
