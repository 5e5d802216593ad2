// Name lines of the reports: one "<prefix><attribute>: <value>" line per
// attribute of a Name that fills one of the nine slots.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kcertadm.h"

namespace kcertadm {

// Attribute values are cut to this many bytes before conversion, and
// converted text is cut to kNameDisplayMax bytes.
inline constexpr std::int32_t kNameValueMax = 128;
inline constexpr std::size_t kNameDisplayMax = 385;

// The display text of one slot value by its string tag: UTF8String,
// T61String and BMPString converted, PrintableString and IA5String as they
// are, any other tag empty. out holds kNameDisplayMax + 1 bytes; returns the
// length written (text stops at a zero byte).
std::size_t NameValueText(const DnField& field, char* out);

// Parses the Name element and writes its lines in slot order. 0, or -1 with
// 30046 when the Name cannot be read (nothing is then written).
int WriteNameLines(std::FILE* file, const Asn1Item& name, const char* prefix,
                   std::uint32_t* error);

}  // namespace kcertadm
