#include "commands/report_names.h"

#include <algorithm>
#include <cstring>

#include "asn1/asn1.h"
#include "cert/string_convert.h"

namespace kcertadm {
namespace {

constexpr const char* kAttributeNames[DN_SLOT_COUNT] = {
    "Country", "State", "City", "Org", "OrgUnit", "CommonName", "E-mail", "OrgUnit2", "OrgUnit3"};

}  // namespace

std::size_t NameValueText(const DnField& field, char* out) {
  out[0] = '\0';
  if (field.value == nullptr || field.length <= 0) return 0;
  const std::size_t length = static_cast<std::size_t>(std::min(field.length, kNameValueMax));
  constexpr std::size_t kOutSize = kNameDisplayMax + 1;
  std::size_t written = 0;
  switch (static_cast<std::uint32_t>(field.stringTag)) {
    case kAsn1Utf8String:
      written = Utf8ToDisplay(field.value, length, out, kOutSize);
      break;
    case kAsn1T61String:
      written = T61ToDisplay(field.value, length, out, kOutSize);
      break;
    case kAsn1BmpString:
      written = BmpToDisplay(field.value, length, out, kOutSize);
      break;
    case kAsn1PrintableString:
    case kAsn1Ia5String:
      std::memcpy(out, field.value, length);
      written = length;
      break;
    default:
      break;
  }
  out[std::min(written, kNameDisplayMax)] = '\0';
  return std::strlen(out);
}

int WriteNameLines(std::FILE* file, const Asn1Item& name, const char* prefix,
                   std::uint32_t* error) {
  DnFields fields{};
  if (ParseDNSeq(&fields, name, error) != 0) return -1;
  for (int slot = 0; slot < DN_SLOT_COUNT; ++slot) {
    const DnField& field = fields.slot[slot];
    if (field.value == nullptr) continue;
    char text[kNameDisplayMax + 1];
    NameValueText(field, text);
    std::fprintf(file, "%s%s: %s\n", prefix, kAttributeNames[slot], text);
  }
  return 0;
}

}  // namespace kcertadm
