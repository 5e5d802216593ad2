// The handlers of the sixteen commands. Each runs on a parsed context,
// reports exactly the message that tells its outcome and returns its status.
#pragma once

#include <cstdint>

#include "commands/command_options.h"
#include "host/message_reporter.h"
#include "kcertadm.h"

namespace kcertadm {

std::int32_t HandleCreateSelfSigned(SecurityCmdContext& context, const CommandOptions& options,
                                    MessageReporter& reporter);
std::int32_t HandleCreateKeyFile(SecurityCmdContext& context, const CommandOptions& options,
                                 MessageReporter& reporter);
std::int32_t HandleReceiveCert(SecurityCmdContext& context, const CommandOptions& options,
                               MessageReporter& reporter);
std::int32_t HandleReceiveRootCert(SecurityCmdContext& context, const CommandOptions& options,
                                   MessageReporter& reporter);
std::int32_t HandleDesignateRoot(SecurityCmdContext& context, const CommandOptions& options,
                                 MessageReporter& reporter);
std::int32_t HandleCreateSelfSignedRoot(SecurityCmdContext& context, const CommandOptions& options,
                                        MessageReporter& reporter);
std::int32_t HandleSignCert(SecurityCmdContext& context, const CommandOptions& options,
                            MessageReporter& reporter);
std::int32_t HandleGetEntries(SecurityCmdContext& context, const CommandOptions& options,
                              MessageReporter& reporter);
std::int32_t HandleDeleteEntry(SecurityCmdContext& context, const CommandOptions& options,
                               MessageReporter& reporter);
std::int32_t HandleCreateCertReq(SecurityCmdContext& context, const CommandOptions& options,
                                 MessageReporter& reporter);
std::int32_t HandleViewCert(SecurityCmdContext& context, const CommandOptions& options,
                            MessageReporter& reporter);
std::int32_t HandleChangePassword(SecurityCmdContext& context, const CommandOptions& options,
                                  MessageReporter& reporter);
std::int32_t HandleExtractCert(SecurityCmdContext& context, const CommandOptions& options,
                               MessageReporter& reporter);
std::int32_t HandleAdminSecurity(SecurityCmdContext& context, const CommandOptions& options,
                                 MessageReporter& reporter);
std::int32_t HandleImportKey(SecurityCmdContext& context, const CommandOptions& options,
                             MessageReporter& reporter);
std::int32_t HandleExportKey(SecurityCmdContext& context, const CommandOptions& options,
                             MessageReporter& reporter);

}  // namespace kcertadm
