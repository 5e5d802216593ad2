// Extensions of a certificate, classified for the certificate reports.
#pragma once

#include <cstdint>
#include <optional>

#include "asn1/asn1.h"

namespace kcertadm {

// Extension families, by the prefix of the extension's OID.
inline constexpr std::int32_t kExtensionUnknown = 0;
inline constexpr std::int32_t kExtensionStandard = 1;  // 2.5.29
inline constexpr std::int32_t kExtensionPrivate = 2;   // 1.3.6.1.5.5.7.1
inline constexpr std::int32_t kExtensionNetscape = 4;  // 2.16.840.1.113730.1

struct ExtensionRef {
  std::int32_t family = kExtensionUnknown;
  std::int32_t number = 0;    // the OID octet after the family prefix
  std::int32_t critical = 0;  // 1 when the critical flag is set
  // Classified: at the first element inside extnValue. Unclassified: at the
  // OID.
  Asn1Cursor cursor;
};

// extension: the content of one Extension SEQUENCE (data at its OID). Fills
// ref and returns 1 for a classified extension, 0 for an unclassified one,
// -1 when the extension cannot be read. A critical flag is stepped over, so
// the cursor is always inside the value.
int OpenExtension(const Asn1Item& extension, ExtensionRef* ref);

// content: the content of a BasicConstraints SEQUENCE. flag receives the
// cA octet; pathLength the path length constraint, or nothing when the
// constraint is absent (no limit) or is not a non-negative INTEGER of at
// most 64 bits. 0, or -1 when the BOOLEAN is missing or a path length
// constraint cannot be read.
int ReadBasicConstraints(const Asn1Item& content, std::int32_t* flag,
                         std::optional<std::uint64_t>* pathLength);

}  // namespace kcertadm
