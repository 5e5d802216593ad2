// GetEntries lists an entry that holds a private key only with
// ShowPrivateKey. On a key ring of keys alone its report is then empty; the
// tool counts what was left out, to say why.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace kcertadm::cli {

struct EntryCounts {
  std::size_t total = 0;
  std::size_t withPrivateKey = 0;
};

// Opens the key ring named by GetEntries parameters as the command does
// (password or stash file) and counts its entries. None when the key ring
// cannot be opened, or when ShowPrivateKey is given (nothing is left out).
std::optional<EntryCounts> CountLeftOutEntries(std::string_view parameters);

}  // namespace kcertadm::cli
