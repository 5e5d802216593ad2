#include "commands/report_names.h"

#include <limits>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/dn.h"
#include "cert/string_convert.h"
#include "commands/report_format.h"
#include "host/charset.h"

namespace kcertadm {
namespace {

constexpr std::uint32_t kNumericString = 0x12;
constexpr std::uint32_t kVisibleString = 0x1A;
constexpr std::uint32_t kUniversalString = 0x1C;

// Longest text a host conversion service can hand back (a 16-bit count).
constexpr std::size_t kConvertedMax = std::numeric_limits<std::uint16_t>::max();

// Attribute numbers: X.520 types (2.5.4.n) by n, and the e-mail address.
constexpr int kEmailAttribute = 0x100;
constexpr int kOtherAttribute = -1;

// The named lines: the attribute each shows and, for the organizational
// units, which of their values.
struct NamedLine {
  const char* name;
  int attribute;
  int occurrence;  // 1 for the first value of the attribute
};
constexpr NamedLine kNamedLines[] = {
    {"Country", 6, 1},
    {"State", 8, 1},
    {"City", 7, 1},
    {"Org", 10, 1},
    {"OrgUnit", 11, 1},
    {"CommonName", 3, 1},
    {"E-mail", kEmailAttribute, 1},
    {"OrgUnit2", 11, 2},
    {"OrgUnit3", 11, 3},
};

// True when a UTF-16 surrogate (big-endian units) has no partner: the host
// service would show it as U+FFFD, which hides what the value holds.
bool HasLoneSurrogate(const std::uint8_t* bytes, std::size_t even) {
  for (std::size_t i = 0; i < even; i += 2) {
    const unsigned unit = (unsigned{bytes[i]} << 8) | bytes[i + 1];
    const unsigned next = i + 3 < even ? (unsigned{bytes[i + 2]} << 8) | bytes[i + 3] : 0;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return true;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (next < 0xDC00 || next > 0xDFFF) return true;
      i += 2;
    }
  }
  return false;
}

// BMPString (UCS-2, big-endian) through the host's Unicode service; an odd
// final octet is escaped.
std::string BmpText(const std::uint8_t* bytes, std::size_t count, bool* readable) {
  const std::size_t even = count & ~std::size_t{1};
  *readable = even / 2 * 3 < kConvertedMax && !HasLoneSurrogate(bytes, even);
  if (!*readable) return {};
  std::vector<std::uint8_t> swapped(even + 1);
  SwapUcs2(bytes, even, swapped.data());
  std::string text(even / 2 * 3 + 1, '\0');
  text.resize(HostUnicodeToText(swapped.data(), even, text.data(), text.size()));
  *readable = even == 0 || !text.empty();
  return EscapeReportText(text) + OctetEscapes(bytes + even, count - even);
}

// UCS-4, big-endian; empty when a unit is not a Unicode scalar value.
std::string UniversalText(const std::uint8_t* bytes, std::size_t count, bool* readable) {
  std::string text;
  *readable = count % 4 == 0;
  for (std::size_t i = 0; *readable && i < count; i += 4) {
    const char32_t c = (char32_t{bytes[i]} << 24) | (char32_t{bytes[i + 1]} << 16) |
                       (char32_t{bytes[i + 2]} << 8) | bytes[i + 3];
    *readable = c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    if (!*readable) break;
    std::uint8_t utf8[4];
    EncodeUtf8(c, utf8);
    text.append(reinterpret_cast<const char*>(utf8), Utf8Length(c));
  }
  return *readable ? EscapeReportText(text) : std::string{};
}

// T61String through the host's translation table; not readable when the
// table is missing.
std::string T61Text(const std::uint8_t* bytes, std::size_t count, bool* readable) {
  *readable = count == 0;
  if (count == 0 || count * 2 >= kConvertedMax) return {};
  std::string text(count * 2 + 1, '\0');
  text.resize(T61ToDisplay(bytes, count, text.data(), text.size()));
  *readable = !text.empty();
  return EscapeReportText(text);
}

int AttributeNumber(const Asn1Item& oid) {
  if (oid.data == nullptr) return kOtherAttribute;
  if (Asn1ItemEquals(oid, oid::bytes::kEmailAddress, sizeof oid::bytes::kEmailAddress))
    return kEmailAttribute;
  if (const auto number = oid::X520AttributeNumber(Asn1Bytes(oid))) return *number;
  return kOtherAttribute;
}

// The named line that shows this value of an attribute, or null.
const NamedLine* LineOf(int number, int occurrence) {
  for (const NamedLine& line : kNamedLines) {
    if (line.attribute == number && line.occurrence == occurrence) return &line;
  }
  return nullptr;
}

// The name of the line of the n-th value of an attribute that has a named
// line (CommonName2, OrgUnit4), or empty.
std::string FurtherLineName(int number, int occurrence) {
  const NamedLine* first = LineOf(number, 1);
  return first == nullptr ? std::string{} : first->name + std::to_string(occurrence);
}

struct Occurrence {
  const NameAttribute* attribute;
  int number;
  int occurrence;
};

}  // namespace

std::string DottedOid(const Asn1Item& oid) {
  std::string text;
  std::uint64_t arc = 0;
  bool first = true;
  for (std::int32_t i = 0; i < oid.length; ++i) {
    if (arc > (std::numeric_limits<std::uint64_t>::max() >> 7) ||
        (arc == 0 && oid.data[i] == 0x80)) {
      arc = ~std::uint64_t{0};
      break;
    }
    arc = (arc << 7) | (oid.data[i] & 0x7F);
    if ((oid.data[i] & 0x80) != 0) continue;
    if (first) {
      const std::uint64_t top = arc < 80 ? arc / 40 : 2;
      text = std::to_string(top) + "." + std::to_string(arc - 40 * top);
      first = false;
    } else {
      text += "." + std::to_string(arc);
    }
    arc = 0;
  }
  if (oid.length <= 0 || arc != 0 || (oid.data[oid.length - 1] & 0x80) != 0) {
    return HexValueText(oid.data, oid.length > 0 ? static_cast<std::size_t>(oid.length) : 0);
  }
  return text;
}

std::string HexValueText(const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "#";
  for (std::size_t i = 0; i < count; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

std::string NameValueText(const Asn1Item& value) {
  Asn1Item content = value;
  const auto whole = [&] {
    return HexValueText(value.data, value.length > 0 ? static_cast<std::size_t>(value.length) : 0);
  };
  if (value.data == nullptr || value.length < 2 || Asn1Enter(&content) < 0) return whole();
  const std::size_t count = static_cast<std::size_t>(content.length);
  bool readable = true;
  std::string text;
  switch (value.data[0]) {
    case kAsn1Utf8String:
    case kAsn1PrintableString:
    case kAsn1Ia5String:
    case kNumericString:
    case kVisibleString:
      return EscapeReportText(content.data, count);
    case kAsn1BmpString:
      text = BmpText(content.data, count, &readable);
      break;
    case kAsn1T61String:
      text = T61Text(content.data, count, &readable);
      break;
    case kUniversalString:
      text = UniversalText(content.data, count, &readable);
      break;
    default:
      readable = false;
      break;
  }
  return readable ? text : whole();
}

std::vector<NameLine> ListNameLines(const Asn1Item& name) {
  const std::vector<NameAttribute> attributes = ListNameAttributes(name);
  std::vector<Occurrence> occurrences;
  for (const NameAttribute& attribute : attributes) {
    const int number = AttributeNumber(attribute.oid);
    int seen = 1;
    for (const Occurrence& earlier : occurrences) {
      if (number != kOtherAttribute && earlier.number == number) ++seen;
    }
    occurrences.push_back(Occurrence{&attribute, number, seen});
  }
  std::vector<NameLine> lines;
  for (const NamedLine& line : kNamedLines) {
    for (const Occurrence& o : occurrences) {
      if (o.number != line.attribute || o.occurrence != line.occurrence) continue;
      lines.push_back({line.name, DottedOid(o.attribute->oid), NameValueText(o.attribute->value)});
    }
  }
  for (const Occurrence& o : occurrences) {
    const NameAttribute& attribute = *o.attribute;
    if (LineOf(o.number, o.occurrence) != nullptr) continue;
    const std::string further = FurtherLineName(o.number, o.occurrence);
    if (attribute.oid.data == nullptr) {
      lines.push_back(
          {"Unreadable", "",
           HexValueText(attribute.value.data, static_cast<std::size_t>(attribute.value.length))});
    } else {
      lines.push_back({further.empty() ? "Other" : further, DottedOid(attribute.oid),
                       NameValueText(attribute.value)});
    }
  }
  return lines;
}

void WriteNameLines(std::FILE* file, const Asn1Item& name, const char* prefix) {
  for (const NameLine& line : ListNameLines(name)) {
    if (line.name == "Other") {
      std::fprintf(file, "%sOther: %s = %s\n", prefix, line.oid.c_str(), line.value.c_str());
    } else {
      std::fprintf(file, "%s%s: %s\n", prefix, line.name.c_str(), line.value.c_str());
    }
  }
}

}  // namespace kcertadm
