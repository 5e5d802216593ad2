#include "host_interface/services_common.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "asn1/asn1.h"

namespace kcertadm {

bool IsOneElement(const Asn1Item& item) {
  return item.data != nullptr && item.length > 0 && Asn1TotalSize(item) == item.length;
}

bool CopyTextToOutput(const Asn1Item& text, char* output, std::uint32_t outputSize) {
  if (output == nullptr || text.data == nullptr || text.length < 0) return false;
  if (static_cast<std::uint32_t>(text.length) >= outputSize) return false;
  std::memcpy(output, text.data, static_cast<std::size_t>(text.length));
  output[text.length] = '\0';
  return true;
}

bool CopyHostText(const char* text, Asn1Item* out) {
  *out = Asn1Item{};
  if (text == nullptr) return false;
  const std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - 1)) {
    return false;
  }
  auto* block = static_cast<std::uint8_t*>(std::malloc(length + 1));
  if (block == nullptr) return false;
  std::memcpy(block, text, length + 1);
  out->data = block;
  out->length = static_cast<std::int32_t>(length);
  return true;
}

}  // namespace kcertadm
