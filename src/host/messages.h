// Message numbers, their texts, and the copy of a text into a caller's
// buffer. Every outcome of a command is one of these numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/message_numbers.h"
#include "host/host_resources.h"

namespace kcertadm {

// The catalogue file for a language setting: "kmsglib.msg" when the setting
// is absent, empty or "en" (any letter case), else "kmsgl" + code + ".msg"
// with the code folded to lower case. Only the first two characters of the
// setting count; a code that is not made of ASCII letters and digits selects
// the default catalogue.
std::string CatalogueFileName(const std::optional<std::string>& language);
constexpr const char* kDefaultCatalogue = "kmsglib.msg";

// The process-wide text table. Loads the catalogue chosen by HeronResLang
// (falling back to the default one) the first time; later calls only
// report. Returns true when a catalogue was loaded.
bool LoadMessageTexts();

// The loaded text of `number`, or null when there is none (no catalogue, a
// missing line, or a number outside 30000..30087).
const char* MessageText(std::uint32_t number);

// Copies the text of `number` into `buffer` like strncpy and always
// terminates it: at most size - 1 bytes of text, the rest of the buffer
// NUL-filled. A number without text leaves an empty string. Nothing is
// written when `buffer` is null or `size` is 0.
void ReportMessage(std::uint32_t number, char* buffer, std::uint32_t size);
// The same with a value the message names (the one a command refused) in
// quotes after a colon, before the text's closing full stop; nothing is
// added for an empty detail.
void ReportMessage(std::uint32_t number, std::string_view detail, char* buffer, std::uint32_t size);
// Characters of a detail shown; a longer one is cut and ends in "...".
inline constexpr std::size_t kMaxMessageDetail = 80;

// Loads the texts for `language` from the first catalogue found among the
// resource directories; exposed so the choice can be checked without the
// process-wide table.
std::optional<ResourceCatalogue> LoadCatalogueFor(const std::optional<std::string>& language);

}  // namespace kcertadm
