#include "host_interface/command_table.h"

#include <array>

#include "commands/command_handlers.h"
#include "host/host_text.h"

namespace kcertadm {
namespace {

constexpr std::array<Command, 16> kCommands = {{
    {"CreateSelfSigned", CommandId::kCreateSelfSigned, HandleCreateSelfSigned},
    {"CreateKeyFile", CommandId::kCreateKeyFile, HandleCreateKeyFile},
    {"ReceiveCert", CommandId::kReceiveCert, HandleReceiveCert},
    {"ReceiveRootCert", CommandId::kReceiveRootCert, HandleReceiveRootCert},
    {"DesignateRoot", CommandId::kDesignateRoot, HandleDesignateRoot},
    {"CreateSelfSignedRoot", CommandId::kCreateSelfSignedRoot, HandleCreateSelfSignedRoot},
    {"SignCert", CommandId::kSignCert, HandleSignCert},
    {"GetEntries", CommandId::kGetEntries, HandleGetEntries},
    {"DeleteEntry", CommandId::kDeleteEntry, HandleDeleteEntry},
    {"CreateCertReq", CommandId::kCreateCertReq, HandleCreateCertReq},
    {"ViewCert", CommandId::kViewCert, HandleViewCert},
    {"ChangePassword", CommandId::kChangePassword, HandleChangePassword},
    {"ExtractCert", CommandId::kExtractCert, HandleExtractCert},
    {"AdminSecurity", CommandId::kAdminSecurity, HandleAdminSecurity},
    {"ImportKey", CommandId::kImportKey, HandleImportKey},
    {"ExportKey", CommandId::kExportKey, HandleExportKey},
}};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

const Command* FindCommand(std::string_view name) {
  const Command* found = nullptr;
  for (const Command& command : kCommands) {
    if (HostCompareString(name, command.name) == 0) found = &command;
  }
  return found;
}

}  // namespace kcertadm
