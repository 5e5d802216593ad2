// Runs a command of the library as ProcessSecurityCmd does.
#pragma once

#include <cstdint>

#include "host/message_reporter.h"
#include "host_interface/command_entry.h"

namespace kcertadm {

// The message number the command reported; parameters is a writable copy (a SecureString where it
// holds a password).
template <class Text>
std::uint32_t RunCommand(const char* command, Text parameters) {
  char message[512] = "";
  MessageReporter reporter(message, sizeof message);
  ProcessCommand(command, parameters.data(), reporter);
  return reporter.last();
}

}  // namespace kcertadm
