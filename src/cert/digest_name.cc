#include "cert/digest_name.h"

#include <strings.h>

#include "cert/signing_key.h"

namespace kcertadm {

int DigestAlgorithmOf(const char* name, std::int32_t* algorithm) {
  struct Named {
    const char* name;
    std::int32_t algorithm;
  };
  static constexpr Named kDigests[] = {{"MD5", kAlgMd5WithRsa},
                                       {"SHA1", kAlgSha1WithRsa},
                                       {"SHA256", kAlgSha256WithRsa},
                                       {"SHA384", kAlgSha384WithRsa},
                                       {"SHA512", kAlgSha512WithRsa}};
  if (name == nullptr) {
    *algorithm = kAlgMd5WithRsa;
    return 0;
  }
  for (const Named& digest : kDigests) {
    if (::strcasecmp(name, digest.name) == 0) {
      *algorithm = digest.algorithm;
      return 0;
    }
  }
  return -1;
}

}  // namespace kcertadm
