#include "commands/report_dump.h"

#include "commands/report_format.h"
#include "host_interface/messages.h"

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
    case kAsn1Integer: return "Integer: ";
    case kAsn1BitString: return "Bit string: ";
    case kAsn1OctetString: return "Octet string: ";
    case kAsn1Null: return "Null\n";
    case kAsn1ObjectId: return "OID: ";
    case kAsn1Utf8String: return "UTF8 string:";
    case kAsn1PrintableString: return "Printable string:";
    case kAsn1T61String: return "T61 string:";
    case kAsn1Ia5String: return "IA5 string:";
    case kAsn1UtcTime: return "UTC time: ";
    case kVisibleString: return "Unknown type 0x1A (as string):";
    case kAsn1BmpString: return "BMP string:";
    default: return nullptr;
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

int StructureDumpFrom(std::FILE* file, Asn1Cursor cursor, int level, std::uint32_t* error);

// The children of the constructed element at the cursor, one level deeper.
template <typename DumpChildren>
int DumpChildrenOf(const Asn1Cursor& parent, int level, std::uint32_t* error,
                   DumpChildren dumpChildren) {
  if (level + 1 >= kMaxDumpDepth) return Fail(error);
  Asn1Cursor child;
  const int first = Asn1FirstChild(Asn1CursorItem(parent), parent.tag, &child);
  if (first < 0) return Fail(error);
  if (first == 0) return 0;
  return dumpChildren(child, level + 1);
}

int StructureDumpFrom(std::FILE* file, Asn1Cursor cursor, int level, std::uint32_t* error) {
  for (;;) {
    if (IsConstructed(cursor.tag)) {
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
      const int status = DumpChildrenOf(cursor, level, error, [&](Asn1Cursor c, int l) {
        return StructureDumpFrom(file, c, l, error);
      });
      if (status != 0) return status;
    } else {
      WritePrimitiveLine(file, cursor.tag, Asn1CursorItem(cursor), level);
    }
    const std::int32_t step = Asn1NextChild(&cursor);
    if (step == 0) return 0;
    if (step < 0) return Fail(error);
  }
}

int ValueDumpFrom(std::FILE* file, Asn1Cursor cursor, int level, std::uint32_t* error) {
  for (;;) {
    std::fputc('\t', file);
    if (IsConstructed(cursor.tag)) {
      WriteIndent(file, level);
      if (cursor.tag == kAsn1Sequence) {
        std::fputs("Sequence:\n", file);
      } else if (cursor.tag == kAsn1Set) {
        std::fputs("Set:\n", file);
      } else {
        std::fprintf(file, "Structured type, 0x%X:\n", cursor.tag);
      }
      const int status = DumpChildrenOf(cursor, level, error, [&](Asn1Cursor c, int l) {
        return ValueDumpFrom(file, c, l, error);
      });
      if (status != 0) return status;
    } else {
      WritePrimitiveLine(file, cursor.tag, Asn1CursorItem(cursor), level);
    }
    const std::int32_t step = Asn1NextChild(&cursor);
    if (step == 0) return 0;
    if (step < 0) return Fail(error);
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

int WriteValueDump(std::FILE* file, Asn1Cursor cursor, int level, std::uint32_t* error) {
  if (level >= kMaxDumpDepth) return Fail(error);
  return ValueDumpFrom(file, cursor, level, error);
}

int WriteStructureDump(std::FILE* file, const Asn1Item& der, int level, std::uint32_t* error) {
  Asn1Cursor cursor;
  if (level >= kMaxDumpDepth || CursorOver(der, &cursor) != 1) return Fail(error);
  return StructureDumpFrom(file, cursor, level, error);
}

}  // namespace kcertadm
