// Running one command: lookup, parse, dispatch.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/message_reporter.h"

namespace kcertadm {

// The body of ProcessSecurityCmd, with the reporter that tells which number
// was reported last. May throw std::bad_alloc.
std::int32_t ProcessCommand(std::string_view command, char* parameters, MessageReporter& reporter);

}  // namespace kcertadm
