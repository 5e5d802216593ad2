#include "extension_facts.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/cert_extension.h"
#include "commands/report_extensions.h"
#include "commands/report_format.h"
#include "commands/report_names.h"

namespace kcertadm::cli {
namespace {

// GeneralName tags: [1] rfc822Name, [2] dNSName, [6] URI, [7] iPAddress.
constexpr std::uint32_t kEmailTag = 0x81;
constexpr std::uint32_t kDnsTag = 0x82;
constexpr std::uint32_t kUriTag = 0x86;
constexpr std::uint32_t kIpTag = 0x87;

std::size_t Count(const Asn1Item& item) {
  return item.length > 0 ? static_cast<std::size_t>(item.length) : 0;
}

// Calls visit with each Extension of the list: its whole element, and the
// content when its header can be read. Stops at a child whose header
// cannot be read, after handing the rest of the list over as one element.
void ForEachExtension(const Asn1Item& list,
                      const std::function<void(const Asn1Item&, const Asn1Cursor*)>& visit) {
  Asn1Cursor extension;
  const std::int32_t first = Asn1FirstChild(list, kAsn1Sequence, &extension);
  if (first < 0) return visit(list, nullptr);
  if (first == 0) return;
  const std::uint8_t* start = list.data;
  for (;;) {
    const std::uint8_t* next = extension.end - extension.remaining;
    visit(Asn1Item{const_cast<std::uint8_t*>(start), static_cast<std::int32_t>(next - start)},
          &extension);
    const std::int32_t left = extension.remaining;
    const std::int32_t step = Asn1NextChild(&extension);
    if (step == 0) return;
    if (step < 0) return visit(Asn1Item{const_cast<std::uint8_t*>(next), left}, nullptr);
    start = next;
  }
}

// Extension ::= SEQUENCE { extnID OID, critical BOOLEAN DEFAULT FALSE,
//                         extnValue OCTET STRING }, at the cursor.
struct ExtensionParts {
  Asn1Item oid{};
  Asn1Item critical{};
  Asn1Item value{};
};

bool ReadExtensionParts(const Asn1Cursor* extension, ExtensionParts* parts) {
  const Asn1TemplateEntry rows[] = {{kAsn1ObjectId, &parts->oid},
                                    {kAsn1Boolean | ASN1_OPTIONAL, &parts->critical},
                                    {kAsn1OctetString, &parts->value}};
  return extension != nullptr && extension->tag == kAsn1Sequence &&
         Asn1DecodeTemplate(rows, 3, Asn1CursorItem(*extension), 1) == 0;
}

// The extension's block of the text report.
std::string ReportBlock(const Asn1Item& element) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* memory = open_memstream(&text, &size);
  if (memory == nullptr) return {};
  WriteExtensionLines(memory, element);
  std::fclose(memory);
  std::string block(text, size);
  std::free(text);
  return block;
}

ExtensionFacts ReadExtension(const Asn1Item& element, const Asn1Cursor* extension) {
  ExtensionFacts facts;
  facts.report = ReportBlock(element);
  ExtensionParts parts;
  if (!ReadExtensionParts(extension, &parts)) {
    facts.value = HexText(element.data, Count(element), false);
    return facts;
  }
  facts.oid = DottedOid(parts.oid);
  facts.critical = parts.critical.length == 1 && parts.critical.data[0] != 0;
  facts.value = HexText(parts.value.data, Count(parts.value), false);
  ExtensionRef ref;
  if (OpenExtension(Asn1CursorItem(*extension), &ref) >= 0 && ref.family == kExtensionStandard) {
    if (const char* name = StandardExtensionName(ref.number)) facts.name = name;
  }
  return facts;
}

std::string IpText(const Asn1Item& address) {
  char text[48];
  const std::uint8_t* b = address.data;
  if (address.length == 4) {
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
  }
  if (address.length != 16) return HexValueText(b, Count(address));
  std::string ip;
  for (int i = 0; i < 16; i += 2) {
    std::snprintf(text, sizeof text, "%s%x", i == 0 ? "" : ":", (b[i] << 8) | b[i + 1]);
    ip += text;
  }
  return ip;
}

AltName ReadAltName(const Asn1Cursor& name, const std::uint8_t* start) {
  const Asn1Item content = Asn1CursorItem(name);
  switch (name.tag) {
    case kEmailTag:
      return {"email", EscapeReportText(content.data, Count(content))};
    case kDnsTag:
      return {"dns", EscapeReportText(content.data, Count(content))};
    case kUriTag:
      return {"uri", EscapeReportText(content.data, Count(content))};
    case kIpTag:
      return {"ip", IpText(content)};
    default:
      return {"other",
              HexValueText(start, static_cast<std::size_t>(name.pos + name.length - start))};
  }
}

// GeneralNames ::= SEQUENCE OF GeneralName, in the extension's value.
void ReadAltNames(const Asn1Item& value, std::vector<AltName>* names) {
  Asn1Item sequence = value;
  const std::int32_t length = Asn1ExpectTag(kAsn1Sequence, &sequence, nullptr);
  if (length < 0) return;
  sequence.length = length;
  Asn1Cursor name;
  const std::uint8_t* start = sequence.data;
  for (int more = Asn1FirstChild(sequence, kAsn1Sequence, &name); more > 0;
       more = Asn1NextChild(&name)) {
    names->push_back(ReadAltName(name, start));
    start = name.end - name.remaining;
  }
}

}  // namespace

std::string HexText(const std::uint8_t* bytes, std::size_t count, bool colons) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (colons && i > 0) text += ':';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

std::vector<ExtensionFacts> ListExtensions(const Asn1Item& list) {
  std::vector<ExtensionFacts> extensions;
  ForEachExtension(list, [&](const Asn1Item& element, const Asn1Cursor* extension) {
    extensions.push_back(ReadExtension(element, extension));
  });
  return extensions;
}

std::vector<AltName> ListAltNames(const Asn1Item& list) {
  std::vector<AltName> names;
  ForEachExtension(list, [&](const Asn1Item&, const Asn1Cursor* extension) {
    ExtensionParts parts;
    if (ReadExtensionParts(extension, &parts) &&
        Asn1ItemEquals(parts.oid, oid::bytes::kSubjectAltName,
                       sizeof oid::bytes::kSubjectAltName)) {
      ReadAltNames(parts.value, &names);
    }
  });
  return names;
}

}  // namespace kcertadm::cli
