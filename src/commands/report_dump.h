// The element dumps of the reports: the primitive line, the value dump of an
// extension and the ASN.1 structure dump of a whole DER object.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asn1/asn1.h"

namespace kcertadm {

// Dumps stop (30046) below this many levels of nesting.
inline constexpr int kMaxDumpDepth = 48;

// The label of a primitive element at the indent of level, then its content
// at level + 1: quoted text for the string tags 19, 20, 22 and 26, the
// prefixed hex form otherwise; a NULL has no value.
void WritePrimitiveLine(std::FILE* file, std::uint32_t tag, const Asn1Item& content, int level);

// The value dump: the element at the cursor and each sibling after it, every
// element starting with a tab; a constructed element gets a header line and
// its children one level deeper. 0, or -1 with 30046 for children that do
// not decode or nest too deeply (what was written stays).
int WriteValueDump(std::FILE* file, Asn1Cursor cursor, int level, std::uint32_t* error);

// The ASN.1 structure dump of the elements in der, from the first to the
// last that follows it. 0, or -1 with 30046 when the first element cannot be
// opened or any element does not decode or nests too deeply.
int WriteStructureDump(std::FILE* file, const Asn1Item& der, int level, std::uint32_t* error);

}  // namespace kcertadm
