#include "password_plan.h"

#include <sys/stat.h>

#include <vector>

#include "base/secure_memory.h"
#include "host/messages.h"
#include "host_interface/command_context.h"
#include "host_interface/parameter_parser.h"

namespace kcertadm::cli {
namespace {

bool TakesPassword(CommandId command) {
  return command != CommandId::kViewCert && command != CommandId::kAdminSecurity;
}

bool CreatesKeyRing(CommandId command) {
  return command == CommandId::kCreateKeyFile || command == CommandId::kCreateSelfSigned ||
         command == CommandId::kCreateSelfSignedRoot;
}

}  // namespace

PasswordPlan PlanPasswords(CommandId command, std::string_view parameters) {
  PasswordPlan plan;
  if (!TakesPassword(command)) return plan;
  // The parser writes into its text, and the text may hold a password.
  SecureBytes copy(parameters.begin(), parameters.end());
  copy.push_back('\0');
  SecurityCmdContext context;
  ResetCommandContext(context);
  CommandOptions options;
  std::uint32_t slot = kMsgNone;
  if (ParseParameters(reinterpret_cast<char*>(copy.data()), context, options, command, slot) != 0 &&
      slot != kMsgNoPassword) {
    return plan;
  }
  plan.takes_password = true;
  plan.has_password = context.password != nullptr;
  plan.needs_password = !plan.has_password && context.useStash == 0;
  plan.creates_key_ring = CreatesKeyRing(command);
  struct stat status;
  plan.key_ring_exists = plan.creates_key_ring && ::lstat(context.keyFile, &status) == 0;
  plan.creates_key = plan.creates_key_ring;
  plan.key_size = context.keySize;
  plan.takes_file_password = command == CommandId::kImportKey || command == CommandId::kExportKey;
  plan.has_file_password = options.filePassword != nullptr;
  plan.new_file_password = command == CommandId::kExportKey;
  if (command == CommandId::kChangePassword) {
    plan.has_new_password = context.newPassword != nullptr;
    plan.needs_new_password = !plan.has_new_password;
  }
  return plan;
}

}  // namespace kcertadm::cli
