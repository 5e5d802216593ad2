// The element dumps of the reports: the primitive line, the value dump of an
// extension and the ASN.1 structure dump of a whole DER object.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asn1/asn1.h"

namespace kcertadm {

// Below this many levels of nesting an element's content is dumped in hex
// (a line "Nested too deeply: "), not as elements.
inline constexpr int kMaxDumpDepth = 48;

// The label of a primitive element at the indent of level, then its content
// at level + 1: quoted text for the string tags 19, 20, 22 and 26, the
// prefixed hex form otherwise; a NULL has no value.
void WritePrimitiveLine(std::FILE* file, std::uint32_t tag, const Asn1Item& content, int level);

// The value dump: the element at the cursor and each sibling after it, every
// element starting with a tab; a constructed element gets a header line and
// its children one level deeper. Octets that do not decode as elements are
// written in hex on a line "Undecodable: ", at the level where they stand.
void WriteValueDump(std::FILE* file, Asn1Cursor cursor, int level);

// The ASN.1 structure dump of the elements in der, from the first to the
// last that follows it, with undecodable octets and deep nesting written as
// in the value dump. 0, or -1 with 30046 when the first element cannot be
// opened.
int WriteStructureDump(std::FILE* file, const Asn1Item& der, int level, std::uint32_t* error);

}  // namespace kcertadm
