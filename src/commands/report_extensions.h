// Extension lines of the certificate and request reports: classifying an
// extension by its OID family and writing one block per extension.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asn1/asn1.h"

namespace kcertadm {

// OID families of extensions.
inline constexpr std::uint32_t kExtensionUnknown = 0;
inline constexpr std::uint32_t kExtensionStandard = 1;  // 2.5.29
inline constexpr std::uint32_t kExtensionPrivate = 2;   // 1.3.6.1.5.5.7.1
inline constexpr std::uint32_t kExtensionNetscape = 4;  // 2.16.840.1.113730.1

struct ExtensionRef {
  std::uint32_t family = kExtensionUnknown;
  std::uint32_t number = 0;  // the OID octet after the family prefix
  bool critical = false;
  // Family 0: at the OID. Otherwise at the first element inside extnValue.
  Asn1Cursor cursor;
};

// Opens the Extension whose content (OID, optional critical BOOLEAN,
// extnValue) is extension. An OID outside the three families, or one that
// ends with its family prefix, gives family 0. 0, or -1 when the Extension
// or its value cannot be read.
int OpenExtension(const Asn1Item& extension, ExtensionRef* ref);

// Decodes the content of a BasicConstraints value as {BOOLEAN, optional
// INTEGER}: the flag is the BOOLEAN's octet, the path length the small
// integer or 0. -1 when the BOOLEAN is missing.
int ReadBasicConstraints(const Asn1Item& content, std::uint32_t* isCa, std::uint32_t* pathLength);

// One block per Extension of list (the content of a SEQUENCE OF Extension).
// 0, or -1 with 30046 when an Extension or a dumped value does not decode.
int WriteExtensionLines(std::FILE* file, const Asn1Item& list, std::uint32_t* error);

}  // namespace kcertadm
