#include "host_interface/command_context.h"

#include <cstring>

namespace kcertadm {

void ResetCommandContext(SecurityCmdContext& context) {
  std::memset(&context, 0, sizeof context);
  context.keyFile = kDefaultKeyFile;
  context.keySize = kDefaultKeySize;
  context.validDays = kDefaultValidDays;
}

}  // namespace kcertadm
