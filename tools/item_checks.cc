#include "item_checks.h"

#include <cstdint>
#include <limits>

#include "host_interface/keyword_table.h"

namespace kcertadm::cli {
namespace {

bool IsDecimal(std::string_view value) {
  if (value.starts_with('-')) value.remove_prefix(1);
  if (value.empty() || value.size() > 10) return false;
  std::int64_t number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number <= std::numeric_limits<std::int32_t>::max();
}

// The keyword's id with KeyName and EntryLabel, which set one field, as one.
int Canonical(int id) { return id == kKwKeyName ? kKwEntryLabel : id; }

}  // namespace

std::string_view ItemKeyword(std::string_view item) { return item.substr(0, item.find('=')); }

std::optional<std::string> ItemProblem(std::string_view item) {
  const std::string_view keyword = ItemKeyword(item);
  const std::string quoted = "\"" + std::string(item) + "\"";
  if (keyword.empty()) return quoted + " has no keyword before \"=\"";
  const int id = FindKeyword(keyword);
  if (id < 0 || Keywords()[static_cast<std::size_t>(id)].kind != KeywordKind::kNumber) {
    return std::nullopt;
  }
  const std::string_view value =
      keyword.size() < item.size() ? item.substr(keyword.size() + 1) : std::string_view();
  if (IsDecimal(value)) return std::nullopt;
  return quoted + ": " + Keywords()[static_cast<std::size_t>(id)].name +
         " takes a whole number in decimal digits";
}

bool CommandReads(const CommandHelp& help, std::string_view item) {
  const int id = FindKeyword(ItemKeyword(item));
  if (id < 0 || id == kKwVersion) return true;
  for (const KeywordHelp& keyword : help.keywords) {
    if (Canonical(FindKeywordExact(KeywordOf(keyword))) == Canonical(id)) return true;
  }
  return false;
}

}  // namespace kcertadm::cli
