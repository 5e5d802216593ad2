#include "commands/command_steps_util.h"

#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {

void ReleaseKeyObject(KeyObject*& key) {
  if (key == nullptr) return;
  ToolkitScope lock;
  KeyDestroy(&key);
}

}  // namespace kcertadm
