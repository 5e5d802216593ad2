#include "keyring/certificate_verification.h"

namespace kcertadm {

namespace {
int cacheCount = -2;
}

int TrustedRootCacheRebuild() {
  cacheCount = 0;
  return 0;
}

int TrustedRootCacheCount() { return cacheCount; }

}  // namespace kcertadm
