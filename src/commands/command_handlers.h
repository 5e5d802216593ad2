// The handlers of the fourteen commands. Each runs on a parsed context,
// reports exactly the message that tells its outcome and returns its status.
#pragma once

#include <cstdint>

#include "host_interface/message_reporter.h"
#include "kcertadm.h"

namespace kcertadm {

std::int32_t HandleCreateSelfSigned(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleCreateKeyFile(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleReceiveCert(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleReceiveRootCert(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleDesignateRoot(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleCreateSelfSignedRoot(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleSignCert(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleGetEntries(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleDeleteEntry(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleCreateCertReq(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleViewCert(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleChangePassword(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleExtractCert(SecurityCmdContext& context, MessageReporter& reporter);
std::int32_t HandleAdminSecurity(SecurityCmdContext& context, MessageReporter& reporter);

}  // namespace kcertadm
