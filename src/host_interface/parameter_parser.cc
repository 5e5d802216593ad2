#include "host_interface/parameter_parser.h"

#include <cstring>
#include <string_view>

#include "host/messages.h"
#include "host_interface/keyword_table.h"

namespace kcertadm {
namespace {

bool IsSet(const char* text) { return text != nullptr && text[0] != '\0'; }

bool StoreItem(const Keyword& keyword, const char* value, SecurityCmdContext& context,
               CommandOptions& options, std::uint32_t& slot) {
  switch (keyword.kind) {
    case KeywordKind::kText:
      context.*keyword.text = value;
      return true;
    case KeywordKind::kNumber:
      if (value != nullptr) context.*keyword.number = ParseDecimal(value);
      return true;
    case KeywordKind::kFlag:
      context.*keyword.number = 1;
      return true;
    case KeywordKind::kVersion:
      if (value != nullptr && std::strcmp(value, "2") == 0) return true;
      slot = kMsgBadVersion;
      return false;
    case KeywordKind::kClear:
      context.*keyword.number = 0;
      return true;
    case KeywordKind::kOptionText:
      options.*keyword.optionText = value;
      return true;
    case KeywordKind::kOptionFlag:
      options.*keyword.optionFlag = 1;
      return true;
  }
  return true;
}

std::int32_t CheckForCommand(const SecurityCmdContext& context, CommandId command,
                             std::uint32_t& slot) {
  if (command == CommandId::kSignCert && (context.validDays < 0 || context.validDays > 10000)) {
    slot = kMsgBadValidDays;
    return -1;
  }
  if (command == CommandId::kViewCert || command == CommandId::kAdminSecurity) return 0;
  if (!IsSet(context.password) && !context.useStash) {
    slot = kMsgNoPassword;
    return -1;
  }
  if (!IsSet(context.keyFile)) {
    slot = kMsgNoKeyFile;
    return -1;
  }
  return 0;
}

}  // namespace

int NextItem(char*& cursor, const char*& value) {
  char* stop = cursor + std::strcspn(cursor, ";=");
  const int id = FindKeyword(std::string_view(cursor, static_cast<std::size_t>(stop - cursor)));
  value = nullptr;
  cursor = stop;
  if (*stop == '\0') return id;
  char* value_start = stop;
  if (*stop == '=') {
    value_start = stop + 1;
    cursor = std::strchr(value_start, ';');
  }
  if (cursor != nullptr) {
    *cursor = '\0';
    ++cursor;
  }
  value = value_start;
  return id;
}

std::int32_t ParseDecimal(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::int64_t magnitude = 0;
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t ParseParameters(char* parameters, SecurityCmdContext& context, CommandId command,
                             std::uint32_t& slot) {
  CommandOptions ignored;
  return ParseParameters(parameters, context, ignored, command, slot);
}

std::int32_t ParseParameters(char* parameters, SecurityCmdContext& context, CommandOptions& options,
                             CommandId command, std::uint32_t& slot) {
  char* cursor = parameters;
  while (cursor != nullptr && *cursor != '\0') {
    const char* value = nullptr;
    const int id = NextItem(cursor, value);
    if (id < 0) {
      slot = kMsgUnknownKeyword;
      return -1;
    }
    if (!StoreItem(Keywords()[static_cast<std::size_t>(id)], value, context, options, slot)) {
      return -1;
    }
  }
  return CheckForCommand(context, command, slot);
}

}  // namespace kcertadm
