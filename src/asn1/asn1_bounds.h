// Header reading shared by the reader units; not for callers outside asn1/.
#pragma once

#include <cstdint>

#include "asn1/asn1.h"

namespace kcertadm::asn1_internal {

struct Header {
  std::int32_t headerSize = 0;
  std::int32_t contentLength = 0;
  std::int32_t totalSize = 0;
};

// Reads the element header at p; the element must end at or before end.
bool ReadHeaderAt(const std::uint8_t* p, const std::uint8_t* end, Header* out) noexcept;

// The same for the element at item.data, bounded by item.length.
bool ReadItemHeader(const Asn1Item& item, Header* out) noexcept;

}  // namespace kcertadm::asn1_internal
