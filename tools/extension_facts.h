// What the tool lists of a certificate's extensions: each one's OID, its
// name and value, and the entries of a subjectAltName.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kcertadm.h"

namespace kcertadm::cli {

struct ExtensionFacts {
  std::optional<std::string> oid;   // dotted; none when the Extension cannot be read
  std::optional<std::string> name;  // the report's name of a standard extension
  bool critical = false;
  std::string value;   // hex of extnValue's octets (of the whole element if unreadable)
  std::string report;  // the extension's block of the text report
};

// One GeneralName of a subjectAltName: "dns", "email", "uri" and "ip" with
// their value in report form; any other kind is "other" with '#' and the hex
// of its DER.
struct AltName {
  std::string type;
  std::string value;
};

// The extensions of a certificate; list is the content of its SEQUENCE OF
// Extension. Nothing is refused: what cannot be read is listed as such.
std::vector<ExtensionFacts> ListExtensions(const Asn1Item& list);

// The entries of every subjectAltName extension in list.
std::vector<AltName> ListAltNames(const Asn1Item& list);

// Upper-case hex of the bytes, with ":" between two bytes when colons is set.
std::string HexText(const std::uint8_t* bytes, std::size_t count, bool colons);

}  // namespace kcertadm::cli
