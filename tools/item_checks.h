// What the tool checks in the items of a command line before the library
// sees them. The library converts numbers leniently for its hosts ("5 days"
// is 5, "abc" is 0); the tool refuses what is not plainly a number, and
// warns about keywords that the command does not read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "command_help.h"

namespace kcertadm::cli {

// What is wrong with one item (the text between two ";"), or none: an
// empty keyword, or a number keyword (KeySize, ValidDays, abbreviated or
// not) without a value that is decimal digits with an optional "-" and fits
// 32 bits. Keywords that are not known are left to the library.
std::optional<std::string> ItemProblem(std::string_view item);

// True when the command of `help` reads the keyword of `item`, abbreviations
// resolved as the library resolves them. KeyName and EntryLabel are one
// keyword; Version is checked by every command; a keyword that is not known
// counts as read, for the library refuses it.
bool CommandReads(const CommandHelp& help, std::string_view item);

// The keyword of an item: the text before its first "=", or all of it.
std::string_view ItemKeyword(std::string_view item);

}  // namespace kcertadm::cli
