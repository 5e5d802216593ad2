// Extension lines of the certificate and request reports: classifying an
// extension by its OID family and writing one block per extension.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asn1/asn1.h"
#include "cert/cert_extension.h"

namespace kcertadm {

// The name of a standard extension (2.5.29.number) as the reports write
// it ("Key Usage"), or null for a number without one.
const char* StandardExtensionName(std::int32_t number);

// One block per Extension of list (the content of a SEQUENCE OF Extension).
// An Extension that cannot be read is written as "Extension - Unreadable: "
// and the "0x" hex of its content (of the rest of the list when its header
// cannot be read); nothing in the list is refused.
void WriteExtensionLines(std::FILE* file, const Asn1Item& list);

}  // namespace kcertadm
