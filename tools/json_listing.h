// GetEntries and ViewCert with --json: the same entries and certificates as
// their text reports, as one JSON document in EntriesFile.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/message_reporter.h"
#include "host_interface/command_table.h"

namespace kcertadm::cli {

// command is kGetEntries or kViewCert; parameters as the library command
// takes them. The file is written only when everything could be listed.
// Returns 0 (message 30053 or 30054) or -1 with the message of the failure.
std::int32_t RunJsonListing(CommandId command, std::string_view parameters,
                            MessageReporter& reporter);

}  // namespace kcertadm::cli
