// The parameter string of a command: items "Keyword" or "Keyword=value"
// separated by ";". There is no quoting and no escape: a value runs to the
// next ";" (it may hold "=", never ";"), and blanks belong to the keyword or
// value they stand in. The text is changed in place: each ";" that ends an
// item becomes a NUL, and the context's text fields point at the values.
#pragma once

#include <cstdint>

#include "host_interface/command_table.h"
#include "kcertadm.h"

namespace kcertadm {

// Reads the item at `cursor`: returns its keyword id (-1 when the keyword is
// unknown), sets `value` to the value (null when the item has none, the
// empty text when it ended at ";") and advances `cursor` past the item, to
// the terminating NUL, or to null when the text ended inside a value.
int NextItem(char*& cursor, const char*& value);

// A decimal number as the parser reads it: leading white space skipped, an
// optional sign, then digits up to the first non-digit; no digits give 0.
// Values beyond the 32-bit range are held at its nearest end.
std::int32_t ParseDecimal(const char* text);

// Parses `parameters` (null means none) into `context`, which holds its
// defaults already, and `options`, then makes the checks of `command`. Returns 0, or -1
// with the message number in `slot`.
std::int32_t ParseParameters(char* parameters, SecurityCmdContext& context, CommandOptions& options,
                             CommandId command, std::uint32_t& slot);
// The same for a caller that needs none of the options.
std::int32_t ParseParameters(char* parameters, SecurityCmdContext& context, CommandId command,
                             std::uint32_t& slot);

}  // namespace kcertadm
