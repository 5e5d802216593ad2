// Asking for a password on the controlling terminal, without echo.
#pragma once

#include <optional>
#include <string>

#include "base/secure_memory.h"

namespace kcertadm::cli {

// True when the tool may ask: standard input is a terminal and the
// controlling terminal can be opened. A run whose input is redirected is a
// script, which must never stop to wait for someone to type.
bool CanPrompt();

// Writes `prompt` to the terminal, reads one line with echo turned off and
// restores the terminal (also when interrupted). nullopt when the terminal
// cannot be used or the input ended; `problem` then says why.
std::optional<SecureString> PromptHidden(const char* prompt, std::string& problem);

}  // namespace kcertadm::cli
