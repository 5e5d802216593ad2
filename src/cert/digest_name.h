// The digest a command signs with, chosen by name.
#pragma once

#include <cstdint>

namespace kcertadm {

// The signature algorithm number (cert/signing_key.h) of a digest name:
// MD5, SHA1, SHA256, SHA384 or SHA512 in any letter case; no name at all
// gives MD5. 0, or -1 for any other text (algorithm unchanged).
int DigestAlgorithmOf(const char* name, std::int32_t* algorithm);

}  // namespace kcertadm
