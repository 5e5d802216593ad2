// Template decoding: the children of one element matched against a list of
// expected tags, in order, with optional entries.
#include "asn1/asn1.h"
#include "asn1/asn1_bounds.h"

namespace kcertadm {

namespace {

enum class Match { kAccept, kSkip, kFail };

// Decides what the entry with the given rule does with a child whose tag
// octet is tag.
Match MatchEntry(std::uint32_t rule, std::uint32_t tag) noexcept {
  const std::uint32_t expected = rule & 0xFF;
  if ((rule & ASN1_OPTIONAL) == 0 || tag == expected) {
    // A certificate may carry a GeneralizedTime where a UTCTime is expected.
    const bool accepted = tag == expected || rule == ASN1_ANY ||
                          (rule == kAsn1UtcTime && tag == kAsn1GeneralizedTime);
    return accepted ? Match::kAccept : Match::kFail;
  }
  // An optional tagged entry accepts any constructed context-specific (or
  // private) element with the same tag number.
  const std::uint32_t constructedTagged = kAsn1ContextSpecific | kAsn1Constructed;
  if ((tag & constructedTagged) == constructedTagged && (tag & 0x1F) == (rule & 0x1F)) {
    return Match::kAccept;
  }
  return Match::kSkip;
}

// The region holding the children to decode, or false.
bool ChildrenRegion(const Asn1Item& input, int contentMode, Asn1Item* region) noexcept {
  if (input.length < 0 || (input.length > 0 && input.data == nullptr)) return false;
  if (contentMode) {
    *region = input;
    return true;
  }
  if (input.length < 1 || (input.data[0] & kAsn1Constructed) == 0) return false;
  asn1_internal::Header header;
  if (!asn1_internal::ReadItemHeader(input, &header)) return false;
  *region = Asn1Item{input.data + header.headerSize, header.contentLength};
  return true;
}

}  // namespace

std::int32_t Asn1DecodeTemplate(const Asn1TemplateEntry* entries, std::int32_t count,
                                const Asn1Item& input, int contentMode) noexcept {
  if (count < 0 || (count > 0 && entries == nullptr)) return -1;
  Asn1Item region;
  if (!ChildrenRegion(input, contentMode, &region)) return -1;

  std::int32_t entry = 0;
  while (entry < count && region.length > 0) {
    const Asn1TemplateEntry& row = entries[entry++];
    const Match match = MatchEntry(row.rule, region.data[0]);
    if (match == Match::kFail) return -1;
    if (match == Match::kSkip) continue;  // the same child meets the next entry
    asn1_internal::Header header;
    if (!asn1_internal::ReadItemHeader(region, &header)) return -1;
    if (row.out != nullptr) {
      *row.out = contentMode ? Asn1Item{region.data + header.headerSize, header.contentLength}
                             : Asn1Item{region.data, header.totalSize};
    }
    region.data += header.totalSize;
    region.length -= header.totalSize;
  }

  // The children ran out: the entries left must all be optional.
  for (; entry < count; ++entry) {
    if ((entries[entry].rule & ASN1_OPTIONAL) == 0) return -1;
    if (entries[entry].out != nullptr) entries[entry].out->length = 0;
  }
  return 0;
}

}  // namespace kcertadm
