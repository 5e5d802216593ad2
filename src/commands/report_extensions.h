// Extension lines of the certificate and request reports: classifying an
// extension by its OID family and writing one block per extension.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asn1/asn1.h"
#include "cert/cert_extension.h"

namespace kcertadm {

// One block per Extension of list (the content of a SEQUENCE OF Extension).
// 0, or -1 with 30046 when an Extension or a dumped value does not decode.
int WriteExtensionLines(std::FILE* file, const Asn1Item& list, std::uint32_t* error);

}  // namespace kcertadm
