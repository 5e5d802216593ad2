// What the kcertadm tool says about each command.
#pragma once

#include <string_view>

namespace kcertadm::cli {

struct CommandHelp {
  const char* name;
  const char* summary;
  const char* required;  // keywords, "A/B" where either serves
  const char* optional;
};

// The help of `name` (letter case ignored), or null.
const CommandHelp* FindCommandHelp(std::string_view name);

void PrintUsage(bool to_error);
void PrintCommandHelp(const CommandHelp& help);

}  // namespace kcertadm::cli
