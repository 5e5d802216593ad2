// Appending DER builder: elements are written onto the end of a growing
// byte buffer (std::vector, SecureBytes or any container with push_back and
// insert), with lengths always in their shortest definite form.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/der_reader.h"

namespace kcertadm::der {

// Appends the tag and the length octets of a content of n bytes.
template <typename Buffer>
void AppendHeader(Buffer& out, std::uint8_t tag, std::size_t n) {
  if (n > static_cast<std::size_t>(INT32_MAX)) throw std::length_error("DER content too long");
  const auto length = static_cast<std::int32_t>(n);
  std::uint8_t header[6];
  const std::int32_t size = DerHeaderSize(length);
  DerWriteHeader(header, tag, size, length);
  out.insert(out.end(), header, header + size);
}

// Appends tag, length and content.
template <typename Buffer>
void Append(Buffer& out, std::uint8_t tag, View content) {
  AppendHeader(out, tag, content.size());
  out.insert(out.end(), content.begin(), content.end());
}

// The octets of an unsigned big-endian number without its leading zeros.
inline View SignificantOctets(View number) noexcept {
  std::size_t skip = 0;
  while (skip < number.size() && number[skip] == 0) ++skip;
  return number.subspan(skip);
}

// Appends an INTEGER holding the unsigned big-endian number in the shortest
// two's-complement form: leading zero octets dropped, one zero octet added
// when the first octet has its high bit set; zero is the single octet 0.
template <typename Buffer>
void AppendUnsignedInteger(Buffer& out, View number) {
  const View digits = SignificantOctets(number);
  const bool signOctet = digits.empty() || (digits[0] & 0x80) != 0;
  AppendHeader(out, kInteger, digits.size() + (signOctet ? 1 : 0));
  if (signOctet) out.push_back(0);
  out.insert(out.end(), digits.begin(), digits.end());
}

// Appends the AlgorithmIdentifier SEQUENCE { OID, NULL }.
template <typename Buffer>
void AppendAlgorithmIdentifier(Buffer& out, View oidContents) {
  AppendHeader(
      out, kSequence,
      DerHeaderSize(static_cast<std::int32_t>(oidContents.size())) + oidContents.size() + 2);
  Append(out, kOid, oidContents);
  out.push_back(kNull);
  out.push_back(0);
}

// The AlgorithmIdentifier SEQUENCE { OID, NULL } on its own.
inline std::vector<std::uint8_t> AlgorithmIdentifier(View oidContents) {
  std::vector<std::uint8_t> out;
  AppendAlgorithmIdentifier(out, oidContents);
  return out;
}

}  // namespace kcertadm::der
