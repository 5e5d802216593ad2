#include "cert/subject_alt_name.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>

#include "asn1/asn1.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

// GeneralName choices, as implicitly tagged primitives.
constexpr std::uint32_t kRfc822Name = 0x81;
constexpr std::uint32_t kDnsName = 0x82;
constexpr std::uint32_t kUri = 0x86;
constexpr std::uint32_t kIpAddress = 0x87;

constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxLabel = 63;
constexpr std::size_t kMaxUri = 2048;

bool IsLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsLabel(std::string_view label) {
  if (label.empty() || label.size() > kMaxLabel) return false;
  if (label.front() == '-' || label.back() == '-') return false;
  return std::all_of(label.begin(), label.end(),
                     [](char c) { return IsLetterOrDigit(c) || c == '-'; });
}

// Labels joined by dots; one label is enough here.
bool IsDomain(std::string_view name) {
  if (name.empty() || name.size() > kMaxHostName) return false;
  for (std::size_t start = 0;;) {
    const std::size_t dot = name.find('.', start);
    if (!IsLabel(name.substr(start, dot == std::string_view::npos ? dot : dot - start)))
      return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

std::string_view WithoutWildcard(std::string_view name) {
  return name.starts_with("*.") ? name.substr(2) : name;
}

// Printable ASCII without blanks.
bool IsVisibleAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool HasUriScheme(std::string_view uri) {
  const std::size_t colon = uri.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon + 1 == uri.size()) return false;
  if (!((uri[0] >= 'a' && uri[0] <= 'z') || (uri[0] >= 'A' && uri[0] <= 'Z'))) return false;
  return std::all_of(uri.begin(), uri.begin() + static_cast<std::ptrdiff_t>(colon),
                     [](char c) { return IsLetterOrDigit(c) || c == '+' || c == '-' || c == '.'; });
}

// The octets of an IPv4 or IPv6 address in text form; empty when it does
// not parse (leading zeros, zones and prefixes included).
std::vector<std::uint8_t> AddressOctets(std::string_view text) {
  const std::string address(text);
  std::uint8_t octets[16];
  if (address.find(':') == std::string::npos) {
    if (::inet_pton(AF_INET, address.c_str(), octets) == 1) return {octets, octets + 4};
  } else if (::inet_pton(AF_INET6, address.c_str(), octets) == 1) {
    return {octets, octets + 16};
  }
  return {};
}

// One GeneralName: 0 with its tag and content, or the message that
// refuses it.
std::uint32_t ReadItem(std::string_view item, std::uint32_t* tag,
                       std::vector<std::uint8_t>* content) {
  const std::size_t colon = item.find(':');
  if (colon == std::string_view::npos) return kMsgBadAltNameItem;
  const std::string type(Trimmed(item.substr(0, colon)));
  const std::string_view value = Trimmed(item.substr(colon + 1));
  if (value.empty()) return kMsgBadAltNameItem;
  content->assign(value.begin(), value.end());
  if (::strcasecmp(type.c_str(), "DNS") == 0) {
    *tag = kDnsName;
    return IsDomain(WithoutWildcard(value)) ? kMsgNone : kMsgBadAltNameHost;
  }
  if (::strcasecmp(type.c_str(), "EMAIL") == 0) {
    *tag = kRfc822Name;
    const std::size_t at = value.rfind('@');
    if (at == 0 || at == std::string_view::npos || !IsVisibleAscii(value.substr(0, at)) ||
        value.substr(0, at).find_first_of("@,\"") != std::string_view::npos) {
      return kMsgBadAltNameItem;
    }
    return IsDomain(value.substr(at + 1)) ? kMsgNone : kMsgBadAltNameHost;
  }
  if (::strcasecmp(type.c_str(), "URI") == 0) {
    *tag = kUri;
    return value.size() <= kMaxUri && IsVisibleAscii(value) && HasUriScheme(value)
               ? kMsgNone
               : kMsgBadAltNameItem;
  }
  if (::strcasecmp(type.c_str(), "IP") == 0) {
    *tag = kIpAddress;
    *content = AddressOctets(value);
    return content->empty() ? kMsgBadAltNameItem : kMsgNone;
  }
  return kMsgBadAltNameItem;
}

}  // namespace

bool IsHostName(std::string_view name) {
  const std::string_view host = WithoutWildcard(name);
  if (host == "localhost") return name == host;
  return host.find('.') != std::string_view::npos && IsDomain(host);
}

int ParseSubjectAltName(std::string_view text, std::vector<std::uint8_t>* der, std::string* badItem,
                        std::uint32_t* error) {
  der->clear();
  std::vector<Asn1Item> names;
  const auto release = [&names] { DerFreeItems(names.data(), names.size()); };
  std::uint32_t refused = kMsgNone;
  for (std::size_t start = 0; refused == kMsgNone;) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item =
        text.substr(start, comma == std::string_view::npos ? comma : comma - start);
    *badItem = std::string(item);
    std::uint32_t tag = 0;
    std::vector<std::uint8_t> content;
    refused = names.size() == kMaxAltNames ? kMsgBadAltNameItem : ReadItem(item, &tag, &content);
    if (refused == kMsgNone) {
      names.emplace_back();
      if (DerPrimitive(&names.back(), tag, content.data(),
                       static_cast<std::int32_t>(content.size())) != 0) {
        refused = kMsgSubjectNameFailed;
      }
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (refused != kMsgNone) {
    release();
    return FailWith(error, refused);
  }
  badItem->clear();
  std::vector<const Asn1Item*> list;
  for (const Asn1Item& name : names) list.push_back(&name);
  Asn1Item sequence{};
  const int built = DerConstructedList(&sequence, kDerSequenceNumber, list.data(), list.size());
  release();
  if (built != 0) return FailWith(error, kMsgSubjectNameFailed);
  der->assign(sequence.data, sequence.data + sequence.length);
  DerFree(&sequence);
  return 0;
}

}  // namespace kcertadm
