// The shared decoders of signed structures and their callers: the codec
// and the key ring read one structure through one decoder, and each keeps
// its own reading of indefinite lengths and of the outer tag.
#include "cert/signed_structure.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "asn1/asn1.h"
#include "asn1/der_append.h"
#include "asn1/hex_util.h"
#include "cert/certificate.h"
#include "keyring/certificate_parts.h"

namespace kcertadm {
namespace {

using test_support::Hex;
using Bytes = std::vector<std::uint8_t>;

TEST(DecodeSigned, EachCallerKeepsItsLengthRuleAndOuterTag) {
  const struct {
    const char* why;
    Bytes bytes;
    bool codec, keyRing;
  } kTests[] = {
      {"DER", Hex("30 07 30 00 30 00 03 01 00"), true, true},
      {"trailing bytes after the signature", Hex("30 09 30 00 30 00 03 01 00 05 00"), true, true},
      {"indefinite length: followed by the codec, empty for the key ring",
       Hex("30 80 30 00 30 00 03 01 00 00 00"), true, false},
      {"a SET around the parts: the codec takes any constructed tag",
       Hex("31 07 30 00 30 00 03 01 00"), true, false},
      {"unused bits in the signature", Hex("30 07 30 00 30 00 03 01 01"), false, false},
      {"no signature", Hex("30 04 30 00 30 00"), false, false},
      {"primitive outer element", Hex("04 07 30 00 30 00 03 01 00"), false, false},
      {"signature runs past its parent", Hex("30 07 30 00 30 00 03 02 00"), false, false},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    CertFields fields{};
    EXPECT_EQ(SplitSigned(Asn1View(c.bytes.data(), c.bytes.size()), &fields) == 0, c.codec);
    Bytes tbs;
    EXPECT_EQ(CertificateParts(c.bytes, &tbs, nullptr, nullptr) == 0, c.keyRing);
    if (c.codec && c.keyRing) {
      EXPECT_EQ(tbs, Bytes(fields.toBeSigned.data, fields.toBeSigned.data + 2));
    }
  }
}

TEST(DecodeTbs, EachCallerKeepsItsVersionAndLengthRules) {
  // A SEQUENCE of head, the five SEQUENCEs of a TBS, and tail.
  auto tbs = [](const std::string& head, const std::string& tail = "") {
    Bytes out;
    der::Append(out, der::kSequence, Hex(head + " 30 00 30 00 30 00 30 00 30 00 " + tail));
    return out;
  };
  Bytes indefinite = tbs("02 01 01");
  indefinite[1] = 0x80;
  indefinite.insert(indefinite.end(), {0x00, 0x00});
  const struct {
    const char* why;
    Bytes bytes;
    bool codec, keyRing;
  } kTests[] = {
      {"version 1 without [0]", tbs("02 01 01"), true, true},
      {"version 3 in [0]", tbs("A0 03 02 01 02 02 01 01"), true, true},
      {"extensions after the key", tbs("02 01 01", "A3 02 30 00"), true, true},
      {"a private-class version: the codec's template takes it", tbs("E0 03 02 01 02 02 01 01"),
       true, false},
      {"[0] without an INTEGER: only the key ring looks inside", tbs("A0 02 05 00 02 01 01"), true,
       false},
      {"extensions that are not a list: only the codec reads them", tbs("02 01 01", "A3 02 05 00"),
       false, true},
      {"indefinite length: followed by the codec, empty for the key ring", indefinite, true, false},
      {"no serial number", tbs(""), false, false},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    CertFields fields{};
    fields.toBeSigned = Asn1View(c.bytes.data(), c.bytes.size());
    std::uint32_t error = 0;
    EXPECT_EQ(ParseTbs(&fields, &error) == 0, c.codec);
    Bytes serial;
    std::array<Bytes*, kTbsFieldCount> out{};
    out[kTbsSerialNumber] = &serial;
    EXPECT_EQ(TbsCertificateFields(c.bytes, out) == 0, c.keyRing);
  }
}

}  // namespace
}  // namespace kcertadm
