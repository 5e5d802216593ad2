// Small DER writers for building hostile and well-formed test inputs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "kcertadm.h"

namespace kcertadm::test {

using Bytes = std::vector<std::uint8_t>;

Bytes Tlv(std::uint8_t tag, const Bytes& content);
Bytes Cat(std::initializer_list<Bytes> parts);
Bytes Text(const std::string& s);
Bytes Hex(const std::string& hex);  // "30 0a ..." with or without blanks
std::string ToHex(const Bytes& bytes);

// AttributeTypeAndValue inside its own RDN: SET { SEQUENCE { OID, value } }.
Bytes Rdn(const Bytes& oid, std::uint8_t tag, const std::string& value);
Bytes Name(std::initializer_list<Bytes> rdns);

Bytes ReadFile(const std::string& path);
// A file of tests/data/cert.
Bytes TestData(const std::string& name);

// Views of bytes as items and back.
Asn1Item ItemOf(Bytes& bytes);
Bytes BytesOf(const Asn1Item& item);

// Pieces of certificates whose signatures are not looked at.
extern const Bytes kMd5WithRsa;  // AlgorithmIdentifier with NULL parameters
extern const Bytes kValidity;    // 2026-12-04 00:00:00 to 2027-12-04 23:59:00
Bytes CnName(const std::string& commonName);  // a Name of one PrintableString CN
// A Certificate of the TBS contents, MD5 with RSA, and an empty signature.
Bytes Signed(const Bytes& tbsContents);

}  // namespace kcertadm::test
