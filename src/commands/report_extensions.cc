#include "commands/report_extensions.h"

#include <optional>

#include "asn1/oids.h"
#include "cert/string_convert.h"
#include "commands/report_dump.h"
#include "commands/report_format.h"

namespace kcertadm {
namespace {

constexpr std::int32_t kBasicConstraints = 19;
constexpr std::int32_t kCertificatePolicies = 32;

}  // namespace

const char* StandardExtensionName(std::int32_t number) {
  switch (number) {
    case 9:
      return "Subject Directory Attributes";
    case 14:
      return "Subject Key Identifier";
    case 15:
      return "Key Usage";
    case 16:
      return "Private Key Usage Period";
    case 17:
      return "Subject Alternative Name";
    case 18:
      return "Issuer Alternative Name";
    case 19:
      return "Basic Constraints";
    case 30:
      return "Name Constraints";
    case 31:
      return "CRL Distributions Points";
    case 32:
      return "Certificate Policies";
    case 33:
      return "Policy Mappings";
    case 35:
      return "Authority Key Identifier";
    case 36:
      return "Policy Constraints";
    case 37:
      return "Extended Key Usage";
    default:
      return nullptr;
  }
}

namespace {

std::size_t Count(const Asn1Item& item) {
  return item.length > 0 ? static_cast<std::size_t>(item.length) : 0;
}

bool IsOid(const Asn1Cursor& cursor, const std::uint8_t (&oid)[8]) {
  return cursor.tag == kAsn1ObjectId && Asn1ItemEquals(Asn1CursorItem(cursor), oid, sizeof oid);
}

// Display text of a policy qualifier: BMPString is converted, every other
// string type is written as it is.
void WriteDisplayText(std::FILE* file, const Asn1Cursor& text, int level) {
  if (text.tag == kAsn1BmpString) {
    char converted[kConversionBufferSize];
    const std::uint16_t n =
        BmpToDisplay(text.pos, Count(Asn1CursorItem(text)), converted, sizeof converted);
    WriteTextValue(file, reinterpret_cast<const std::uint8_t*>(converted), n, level);
  } else {
    WriteTextValue(file, text.pos, Count(Asn1CursorItem(text)), level);
  }
}

// The children of the constructed element at the cursor; false when there
// are none or they cannot be read.
bool EnterChildren(const Asn1Cursor& parent, std::uint32_t expectedTag, Asn1Cursor* child) {
  return parent.tag == expectedTag &&
         Asn1FirstChild(Asn1CursorItem(parent), parent.tag, child) == 1;
}

// NoticeReference ::= SEQUENCE { organization DisplayText,
//                                noticeNumbers SEQUENCE OF INTEGER }
bool WriteNoticeReference(std::FILE* file, const Asn1Cursor& reference) {
  Asn1Cursor part;
  if (!EnterChildren(reference, kAsn1Sequence, &part)) return false;
  WriteIndent(file, 2);
  std::fputs("NoticeReference:\n", file);
  WriteIndent(file, 3);
  std::fputs("Organization: ", file);
  WriteDisplayText(file, part, 4);
  if (Asn1NextChild(&part) <= 0 || part.tag != kAsn1Sequence) return false;
  Asn1Cursor number;
  const int first = Asn1FirstChild(Asn1CursorItem(part), part.tag, &number);
  if (first < 0) return false;
  for (int more = first; more > 0; more = Asn1NextChild(&number)) {
    if (number.tag != kAsn1Integer) return false;
    WriteIndent(file, 3);
    std::fprintf(file, "Notice Number: %d\n",
                 static_cast<int>(Asn1SmallInteger(Asn1CursorItem(number))));
  }
  return true;
}

// UserNotice ::= SEQUENCE { noticeRef OPTIONAL, explicitText OPTIONAL }
bool WriteUserNotice(std::FILE* file, const Asn1Cursor& notice) {
  WriteIndent(file, 1);
  std::fputs("User Notice:\n", file);
  if (notice.tag != kAsn1Sequence) return false;
  Asn1Cursor part;
  const int first = Asn1FirstChild(Asn1CursorItem(notice), notice.tag, &part);
  if (first < 0) return false;
  if (first == 0) return true;
  if (part.tag == kAsn1Sequence) {
    if (!WriteNoticeReference(file, part)) return false;
    const std::int32_t step = Asn1NextChild(&part);
    if (step < 0) return false;
    if (step == 0) return true;
  }
  WriteIndent(file, 2);
  std::fputs("Notice: ", file);
  WriteDisplayText(file, part, 3);
  return true;
}

// PolicyQualifierInfo ::= SEQUENCE { policyQualifierId OID, qualifier ANY }
bool WriteQualifier(std::FILE* file, const Asn1Cursor& qualifier) {
  Asn1Cursor part;
  if (!EnterChildren(qualifier, kAsn1Sequence, &part) || part.tag != kAsn1ObjectId) return false;
  const Asn1Cursor id = part;
  if (IsOid(id, oid::bytes::kCpsQualifier)) {
    if (Asn1NextChild(&part) <= 0) return false;
    WriteIndent(file, 1);
    std::fputs("Certification Practice Statement Pointer: ", file);
    WriteTextValue(file, part.pos, Count(Asn1CursorItem(part)), 2);
    return true;
  }
  if (IsOid(id, oid::bytes::kUserNoticeQualifier)) {
    if (Asn1NextChild(&part) <= 0) return false;
    return WriteUserNotice(file, part);
  }
  WriteIndent(file, 2);
  std::fputs("Unknown Policy Qualifier\n", file);
  return true;
}

// PolicyInformation ::= SEQUENCE { policyIdentifier OID,
//                                  policyQualifiers SEQUENCE OF ... OPTIONAL }
bool WritePolicy(std::FILE* file, const Asn1Cursor& policy) {
  Asn1Cursor part;
  if (!EnterChildren(policy, kAsn1Sequence, &part) || part.tag != kAsn1ObjectId) return false;
  WriteIndent(file, 1);
  std::fputs("Policy ID: ", file);
  WriteHexDump(file, part.pos, Count(Asn1CursorItem(part)), 2, HexForm::kPrefixed);
  const std::int32_t step = Asn1NextChild(&part);
  if (step == 0) return true;
  if (step < 0 || part.tag != kAsn1Sequence) return false;
  Asn1Cursor qualifier;
  const int first = Asn1FirstChild(Asn1CursorItem(part), part.tag, &qualifier);
  if (first < 0) return false;
  for (int more = first; more > 0; more = Asn1NextChild(&qualifier)) {
    if (!WriteQualifier(file, qualifier)) return false;
  }
  return true;
}

// A value that does not decode ends the block; that is not a failure.
void WriteCertificatePolicies(std::FILE* file, const Asn1Cursor& value) {
  std::fputs("Certificate Policies\n", file);
  Asn1Cursor policy;
  if (!EnterChildren(value, kAsn1Sequence, &policy)) return;
  for (int more = 1; more > 0; more = Asn1NextChild(&policy)) {
    if (!WritePolicy(file, policy)) return;
  }
}

// BasicConstraints ::= SEQUENCE { cA BOOLEAN, pathLenConstraint INTEGER
// OPTIONAL }: the path length line only when the constraint is there.
void WriteBasicConstraints(std::FILE* file, const ExtensionRef& ref) {
  std::int32_t isCa = 0;
  std::optional<std::uint64_t> pathLength;
  if (ref.cursor.tag == kAsn1Sequence &&
      ReadBasicConstraints(Asn1CursorItem(ref.cursor), &isCa, &pathLength) == 0) {
    std::fprintf(file, "Basic Constraints\n\tValue is: CA = %s", isCa != 0 ? "Yes" : "No");
    if (pathLength) {
      std::fprintf(file, "\n\tValue is: Path length constraint = %llu",
                   static_cast<unsigned long long>(*pathLength));
    }
    std::fputc('\n', file);
    return;
  }
  std::fputs("Basic Constraints\n", file);
  WriteValueDump(file, ref.cursor, 0);
}

void WriteStandard(std::FILE* file, const ExtensionRef& ref) {
  std::fputs("Extension - Standard: ", file);
  if (ref.critical != 0) std::fputs("Critical, ", file);
  if (ref.number == kBasicConstraints) return WriteBasicConstraints(file, ref);
  if (ref.number == kCertificatePolicies) return WriteCertificatePolicies(file, ref.cursor);
  if (const char* name = StandardExtensionName(ref.number)) {
    std::fprintf(file, "%s\n", name);
  } else {
    std::fprintf(file, "OID = 0x%x\n", static_cast<unsigned>(ref.number));
  }
  WriteValueDump(file, ref.cursor, 0);
}

void WriteExtension(std::FILE* file, const ExtensionRef& ref) {
  switch (ref.family) {
    case kExtensionStandard:
      return WriteStandard(file, ref);
    case kExtensionPrivate:
      std::fputs("Extension - Private: OID = ", file);
      WriteHexDump(file, ref.cursor.pos, Count(Asn1CursorItem(ref.cursor)), 0, HexForm::kPrefixed);
      return;
    case kExtensionNetscape:
      std::fputs("Extension - Netscape: ", file);
      std::fprintf(file, "OID = 0x%x\n", static_cast<unsigned>(ref.number));
      return WriteValueDump(file, ref.cursor, 0);
    default:
      std::fputs("Extension - Unknown: OID = ", file);
      WriteHexDump(file, ref.cursor.pos, Count(Asn1CursorItem(ref.cursor)), 0, HexForm::kPrefixed);
      return;
  }
}

void WriteUnreadable(std::FILE* file, const std::uint8_t* bytes, std::size_t count) {
  std::fputs("Extension - Unreadable: ", file);
  WriteHexDump(file, bytes, count, 0, HexForm::kPrefixed);
}

}  // namespace

void WriteExtensionLines(std::FILE* file, const Asn1Item& list) {
  Asn1Cursor extension;
  if (Asn1FirstChild(list, kAsn1Sequence, &extension) < 0)
    return WriteUnreadable(file, list.data, Count(list));
  for (;;) {
    ExtensionRef ref;
    if (extension.tag == kAsn1Sequence && OpenExtension(Asn1CursorItem(extension), &ref) >= 0) {
      WriteExtension(file, ref);
    } else {
      WriteUnreadable(file, extension.pos, Count(Asn1CursorItem(extension)));
    }
    const std::uint8_t* next = extension.end - extension.remaining;
    const std::size_t left =
        extension.remaining > 0 ? static_cast<std::size_t>(extension.remaining) : 0;
    const std::int32_t step = Asn1NextChild(&extension);
    if (step == 0) return;
    if (step < 0) return WriteUnreadable(file, next, left);
  }
}

}  // namespace kcertadm
