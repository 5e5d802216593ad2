#include "tool_defaults.h"

#include "host_interface/keyword_table.h"
#include "item_checks.h"

namespace kcertadm::cli {
namespace {

using kcertadm::CommandId;

bool Signs(CommandId command) {
  return command == CommandId::kCreateKeyFile || command == CommandId::kCreateSelfSigned ||
         command == CommandId::kCreateSelfSignedRoot || command == CommandId::kCreateCertReq ||
         command == CommandId::kSignCert;
}

bool MakesKey(CommandId command) {
  return command == CommandId::kCreateKeyFile || command == CommandId::kCreateSelfSigned ||
         command == CommandId::kCreateSelfSignedRoot;
}

// True when one of the ";"-separated items names the keyword.
bool Gives(std::string_view parameters, int keyword) {
  while (true) {
    const std::size_t end = parameters.find(';');
    if (FindKeyword(ItemKeyword(parameters.substr(0, end))) == keyword) return true;
    if (end == std::string_view::npos) return false;
    parameters.remove_prefix(end + 1);
  }
}

}  // namespace

std::string DefaultItems(CommandId command, std::string_view parameters) {
  std::string items;
  if (Signs(command) && !Gives(parameters, kKwDigest)) items += std::string(kToolDigestItem) + ";";
  if (MakesKey(command) && !Gives(parameters, kKwKeySize))
    items += std::string(kToolKeySizeItem) + ";";
  return items;
}

}  // namespace kcertadm::cli
