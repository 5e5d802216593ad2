// Splitting a content region into the contents of its SEQUENCE children.
#include <cstdlib>

#include "asn1/asn1.h"
#include "asn1/asn1_bounds.h"

namespace kcertadm {

namespace {

constexpr std::size_t kGrowth = 10;

// Makes room for one more entry after the used ones (the terminator).
bool Reserve(Asn1Item** array, std::size_t* capacity, std::size_t used) noexcept {
  if (used + 1 < *capacity) return true;
  const std::size_t grown = *capacity + kGrowth;
  void* resized = std::realloc(*array, grown * sizeof(Asn1Item));
  if (resized == nullptr) return false;
  *array = static_cast<Asn1Item*>(resized);
  *capacity = grown;
  return true;
}

}  // namespace

std::int32_t Asn1SplitSequences(const Asn1Item& content, Asn1Item** out) noexcept {
  if (out == nullptr) return -1;
  *out = nullptr;
  if (content.data == nullptr || content.length < 1) return -1;
  std::size_t capacity = kGrowth;
  auto* array = static_cast<Asn1Item*>(std::malloc(capacity * sizeof(Asn1Item)));
  if (array == nullptr) return -1;

  std::size_t used = 0;
  Asn1Item rest = content;
  while (rest.length > 0) {
    if (!Reserve(&array, &capacity, used)) {
      std::free(array);
      return -1;
    }
    if (rest.data[0] != kAsn1Sequence) {
      array[used++] = rest;
      break;
    }
    asn1_internal::Header header;
    if (!asn1_internal::ReadItemHeader(rest, &header)) {
      std::free(array);
      return -1;
    }
    array[used++] = Asn1Item{rest.data + header.headerSize, header.contentLength};
    rest.data += header.totalSize;
    rest.length -= header.totalSize;
  }
  array[used] = Asn1Item{nullptr, 0};
  *out = array;
  return 0;
}

void Asn1FreeSplit(Asn1Item* array) noexcept { std::free(array); }

}  // namespace kcertadm
