// The SubjectAltName= text: "TYPE:value" items separated by commas, read
// into the DER of a GeneralNames element. Types (any letter case): DNS
// (dNSName), IP (iPAddress, IPv4 or IPv6), EMAIL (rfc822Name) and URI
// (uniformResourceIdentifier). Names are ASCII: international domain names
// are given as A-labels ("xn--...").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kcertadm {

// Most items one SubjectAltName may hold.
inline constexpr std::size_t kMaxAltNames = 100;

// True for a host name: labels of letters, digits and hyphens (not at
// either end of a label, at most 63 characters each, 253 in all) joined by
// dots, with at least one dot unless the name is "localhost"; "*." may
// stand before it.
bool IsHostName(std::string_view name);

// Reads the text into the GeneralNames element in der. 0, or -1 with
// badItem holding the item that could not be used and error 30081 (empty,
// unknown type, an address that does not parse, a URI without scheme, too
// many items) or 30082 (a DNS name or mail domain outside the host-name
// rules, non-ASCII text included).
int ParseSubjectAltName(std::string_view text, std::vector<std::uint8_t>* der, std::string* badItem,
                        std::uint32_t* error);

}  // namespace kcertadm
