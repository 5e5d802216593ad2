#include "cert/cert_extension.h"

#include <cstring>

#include "asn1/oids.h"

namespace kcertadm {
namespace {

struct Family {
  std::int32_t id;
  der::View prefix;
};

constexpr Family kFamilies[] = {
    {kExtensionStandard, oid::bytes::kX509Extension},
    {kExtensionPrivate, oid::bytes::kPkixExtension},
    {kExtensionNetscape, oid::bytes::kNetscapeExtension},
};

}  // namespace

int OpenExtension(const Asn1Item& extension, ExtensionRef* ref) {
  *ref = ExtensionRef{};
  Asn1Item view = extension;
  const std::int32_t oidLength = Asn1ExpectTag(kAsn1ObjectId, &view, nullptr);
  if (oidLength < 0) return -1;
  const Asn1Item oid{view.data, oidLength};
  view.data += oidLength;
  view.length -= oidLength;

  for (const Family& family : kFamilies) {
    const auto length = static_cast<std::int32_t>(family.prefix.size());
    if (oid.length > length &&
        std::memcmp(oid.data, family.prefix.data(), family.prefix.size()) == 0) {
      ref->family = family.id;
      ref->number = oid.data[length];
      break;
    }
  }
  if (ref->family == kExtensionUnknown) {
    ref->cursor = Asn1Cursor{oid.data, oid.length, kAsn1ObjectId, 0, oid.data + oid.length};
    return 0;
  }
  Asn1Item flag{};
  if (view.length > 0 && view.data[0] == kAsn1Boolean) {
    if (Asn1NextTagged(&view, &flag, kAsn1Boolean) != 1) return -1;
    ref->critical = flag.length == 1 && flag.data[0] != 0 ? 1 : 0;
  }
  Asn1Item value{};
  if (Asn1NextTagged(&view, &value, kAsn1OctetString) != 1) return -1;
  // The value's octets hold one encoded element; walk it like children.
  if (Asn1FirstChild(value, kAsn1OctetString | kAsn1Constructed, &ref->cursor) != 1) return -1;
  return 1;
}

int ReadBasicConstraints(const Asn1Item& content, std::int32_t* flag,
                         std::optional<std::uint64_t>* pathLength) {
  *flag = 0;
  pathLength->reset();
  Asn1Item view = content;
  Asn1Item ca{};
  if (Asn1NextTagged(&view, &ca, kAsn1Boolean) != 1 || ca.length != 1) return -1;
  *flag = ca.data[0];
  Asn1Item length{};
  const std::int32_t found = Asn1NextTagged(&view, &length, kAsn1Integer);
  if (found == 0) return 0;
  if (found < 0 || length.length < 1 || (length.data[0] & 0x80) != 0) return -1;
  std::uint64_t value = 0;
  for (std::int32_t i = 0; i < length.length; ++i) {
    if (value > (~std::uint64_t{0} >> 8)) return -1;
    value = (value << 8) | length.data[i];
  }
  *pathLength = value;
  return 0;
}

}  // namespace kcertadm
