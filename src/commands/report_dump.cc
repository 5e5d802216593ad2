#include "commands/report_dump.h"

#include "commands/report_format.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

constexpr std::uint32_t kVisibleString = 0x1A;
constexpr std::uint32_t kClassMask = 0xC0;

int Fail(std::uint32_t* error) {
  if (error != nullptr) *error = kMsgBadCertificate;
  return -1;
}

const char* PrimitiveLabel(std::uint32_t tag) {
  switch (tag) {
    case kAsn1Integer:
      return "Integer: ";
    case kAsn1BitString:
      return "Bit string: ";
    case kAsn1OctetString:
      return "Octet string: ";
    case kAsn1Null:
      return "Null\n";
    case kAsn1ObjectId:
      return "OID: ";
    case kAsn1Utf8String:
      return "UTF8 string:";
    case kAsn1PrintableString:
      return "Printable string:";
    case kAsn1T61String:
      return "T61 string:";
    case kAsn1Ia5String:
      return "IA5 string:";
    case kAsn1UtcTime:
      return "UTC time: ";
    case kVisibleString:
      return "Unknown type 0x1A (as string):";
    case kAsn1BmpString:
      return "BMP string:";
    default:
      return nullptr;
  }
}

bool IsTextTag(std::uint32_t tag) {
  return tag == kAsn1PrintableString || tag == kAsn1T61String || tag == kAsn1Ia5String ||
         tag == kVisibleString;
}

bool IsConstructed(std::uint32_t tag) { return (tag & kAsn1Constructed) != 0; }

// A cursor over the elements of a region, at its first element. 1, 0 for an
// empty region, -1 when the first header does not decode.
int CursorOver(const Asn1Item& region, Asn1Cursor* cursor) {
  return Asn1FirstChild(region, kAsn1Sequence, cursor);
}

// Octets that cannot be dumped as elements, in hex at the indent of level.
void WriteOctetsLine(std::FILE* file, const char* label, const std::uint8_t* bytes,
                     std::size_t count, int level, bool tab) {
  if (tab) std::fputc('\t', file);
  WriteIndent(file, level);
  std::fputs(label, file);
  WriteHexDump(file, bytes, count, level + 1, HexForm::kPrefixed);
}

// One constructed element's header line, by dump.
using HeaderWriter = void (*)(std::FILE* file, const Asn1Cursor& element, int level);

void StructureHeader(std::FILE* file, const Asn1Cursor& cursor, int level) {
  WriteIndent(file, level);
  if ((cursor.tag & kClassMask) == kAsn1ContextSpecific) {
    std::fprintf(file, "Context Specific (%d) ", static_cast<int>(cursor.tag & 0x0F));
  } else if (cursor.tag == kAsn1Sequence) {
    std::fputs("Sequence", file);
  } else if (cursor.tag == kAsn1Set) {
    std::fputs("Set", file);
  } else {
    std::fprintf(file, "Simple Type (0x%x)", cursor.tag);
  }
  std::fprintf(file, ": Record Length = %d\n", cursor.length);
}

void ValueHeader(std::FILE* file, const Asn1Cursor& cursor, int level) {
  WriteIndent(file, level);
  if (cursor.tag == kAsn1Sequence) {
    std::fputs("Sequence:\n", file);
  } else if (cursor.tag == kAsn1Set) {
    std::fputs("Set:\n", file);
  } else {
    std::fprintf(file, "Structured type, 0x%X:\n", cursor.tag);
  }
}

// The element at the cursor and its siblings; the value dump starts every
// element with a tab.
void DumpFrom(std::FILE* file, Asn1Cursor cursor, int level, bool tab, HeaderWriter header);

// The children of the constructed element at the cursor, one level deeper;
// in hex when they nest too deeply or the first does not decode.
void DumpChildrenOf(std::FILE* file, const Asn1Cursor& parent, int level, bool tab,
                    HeaderWriter header) {
  const std::size_t count = parent.length > 0 ? static_cast<std::size_t>(parent.length) : 0;
  if (level + 1 >= kMaxDumpDepth) {
    WriteOctetsLine(file, "Nested too deeply: ", parent.pos, count, level + 1, tab);
    return;
  }
  Asn1Cursor child;
  const int first = Asn1FirstChild(Asn1CursorItem(parent), parent.tag, &child);
  if (first < 0) WriteOctetsLine(file, "Undecodable: ", parent.pos, count, level + 1, tab);
  if (first == 1) DumpFrom(file, child, level + 1, tab, header);
}

void DumpFrom(std::FILE* file, Asn1Cursor cursor, int level, bool tab, HeaderWriter header) {
  for (;;) {
    if (IsConstructed(cursor.tag)) {
      if (tab) std::fputc('\t', file);
      header(file, cursor, level);
      DumpChildrenOf(file, cursor, level, tab, header);
    } else {
      if (tab) std::fputc('\t', file);
      WritePrimitiveLine(file, cursor.tag, Asn1CursorItem(cursor), level);
    }
    const std::uint8_t* next = cursor.end - cursor.remaining;
    const std::size_t left = cursor.remaining > 0 ? static_cast<std::size_t>(cursor.remaining) : 0;
    const std::int32_t step = Asn1NextChild(&cursor);
    if (step == 0) return;
    if (step < 0) {
      WriteOctetsLine(file, "Undecodable: ", next, left, level, tab);
      return;
    }
  }
}

}  // namespace

void WritePrimitiveLine(std::FILE* file, std::uint32_t tag, const Asn1Item& content, int level) {
  WriteIndent(file, level);
  if (tag == kAsn1Null) {
    std::fputs("Null\n", file);
    return;
  }
  if (const char* label = PrimitiveLabel(tag)) {
    std::fputs(label, file);
  } else {
    std::fprintf(file, "Unknown type (0x%x): ", tag);
  }
  const std::size_t count = content.length > 0 ? static_cast<std::size_t>(content.length) : 0;
  if (IsTextTag(tag)) {
    WriteTextValue(file, content.data, count, level + 1);
  } else {
    WriteHexDump(file, content.data, count, level + 1, HexForm::kPrefixed);
  }
}

void WriteValueDump(std::FILE* file, Asn1Cursor cursor, int level) {
  DumpFrom(file, cursor, level, true, ValueHeader);
}

int WriteStructureDump(std::FILE* file, const Asn1Item& der, int level, std::uint32_t* error) {
  Asn1Cursor cursor;
  if (CursorOver(der, &cursor) != 1) return Fail(error);
  DumpFrom(file, cursor, level, false, StructureHeader);
  return 0;
}

}  // namespace kcertadm
