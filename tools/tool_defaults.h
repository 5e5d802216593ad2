// The defaults the tool gives people: today's digest and key size where the
// library keeps its historical ones (MD5, 512 bits) for its hosts.
#pragma once

#include <string>
#include <string_view>

#include "host_interface/command_table.h"

namespace kcertadm::cli {

inline constexpr const char* kToolDigestItem = "Digest=SHA256";
inline constexpr const char* kToolKeySizeItem = "KeySize=2048";

// The items to put before the parameters of the command: Digest=SHA256 for
// the commands that sign (CreateKeyFile, CreateSelfSigned,
// CreateSelfSignedRoot, CreateCertReq, SignCert) and KeySize=2048 for those
// that make a key, each unless the parameters give that keyword
// (abbreviations resolved as the library resolves them). Each item ends in
// ";"; empty when there is nothing to add.
std::string DefaultItems(kcertadm::CommandId command, std::string_view parameters);

}  // namespace kcertadm::cli
