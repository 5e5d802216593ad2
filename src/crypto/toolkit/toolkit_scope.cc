#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {
namespace {

// ToolkitLock is not recursive, so one flag per thread says it all.
thread_local bool toolkitLockHeldHere = false;

}  // namespace

ToolkitLockHeld::ToolkitLockHeld() { toolkitLockHeldHere = true; }

ToolkitLockHeld::~ToolkitLockHeld() { toolkitLockHeldHere = false; }

bool ToolkitLockHeld::OnThisThread() { return toolkitLockHeldHere; }

}  // namespace kcertadm
