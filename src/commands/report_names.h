// Name lines of the reports: every attribute of a Name, one line each.
//
// The nine named lines come first, in this order, each with the first value
// of its attribute: Country, State, City, Org, OrgUnit, CommonName, E-mail,
// OrgUnit2 and OrgUnit3 (the second and third organizational units). Then,
// in the order of the Name, one line for every further value:
//   <prefix><line name><n>: value   the n-th value of a named attribute
//                                   (CommonName2, Org2, OrgUnit4, ...);
//   <prefix>Other: <OID> = value    an attribute without a named line, its
//                                   OID in dotted form (2.5.4.5 = 42);
//   <prefix>Unreadable: #<hex>      a part of the Name that is not an
//                                   attribute, as its DER in hex.
// Values are in their report form (EscapeReportText); a value that is not
// a character string is shown as '#' and the hex of its DER element.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "kcertadm.h"

namespace kcertadm {

// The report form of one attribute value element (tag, length, content):
// UTF8String, PrintableString, IA5String, NumericString and VisibleString
// as they are, T61String read as ISO 8859-1, BMPString and UniversalString
// converted, everything escaped; any other element (or a string whose
// characters cannot be read) is '#' and the hex of the element.
std::string NameValueText(const Asn1Item& value);

// '#' and the hex of the bytes, upper case (RFC 4514 form).
std::string HexValueText(const std::uint8_t* bytes, std::size_t count);

// Dotted form of an OID's content octets ("2.5.4.3"); '#' and their hex
// when they are not a well-formed OID.
std::string DottedOid(const Asn1Item& oid);

// One name line: its name ("CommonName", "OrgUnit4", "Other" or
// "Unreadable"), the attribute's OID in dotted form (empty for a part that
// is not an attribute) and the value in its report form (for an unreadable
// part, '#' and the hex of its DER).
struct NameLine {
  std::string name;
  std::string oid;
  std::string value;
};

// The name lines of the Name element, in the order described above.
std::vector<NameLine> ListNameLines(const Asn1Item& name);

// The lines of every attribute of the Name element, as described above.
// Nothing in a Name is refused; an empty Name writes nothing.
void WriteNameLines(std::FILE* file, const Asn1Item& name, const char* prefix);

}  // namespace kcertadm
