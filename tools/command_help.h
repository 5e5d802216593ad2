// What the kcertadm tool says about each command: its keywords, what each
// does, and an example.
#pragma once

#include <cstdio>
#include <span>
#include <string_view>

namespace kcertadm::cli {

struct KeywordHelp {
  const char* item;  // "Keyword=PLACEHOLDER" or a bare flag
  const char* text;
  bool required;
};

struct CommandHelp {
  const char* name;
  const char* summary;
  const char* description;
  std::span<const KeywordHelp> keywords;
  const char* example;  // one or more lines, each a full command line
};

// The help of `name` (letter case ignored), or null.
const CommandHelp* FindCommandHelp(std::string_view name);
std::span<const CommandHelp> AllCommandHelp();

// The keyword of a help item: the text before "=".
std::string_view KeywordOf(const KeywordHelp& keyword);

void PrintUsage(std::FILE* out);
void PrintCommandHelp(const CommandHelp& help, std::FILE* out);

}  // namespace kcertadm::cli
