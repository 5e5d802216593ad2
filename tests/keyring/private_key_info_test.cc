#include "keyring/private_key_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cert/der_util.h"

namespace kcertadm {
namespace {

using test::Cat;
using test::Hex;
using test::Tlv;
using Bytes = std::vector<std::uint8_t>;

const Bytes kRsaAlgorithm = Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00");
const Bytes kKey = Tlv(0x04, Hex("30 03 02 01 00"));

der::View ViewOf(const Bytes& b) { return der::View(b.data(), b.size()); }

// Both framings agree on the fields they find; they differ only in what may
// follow the structure, which is why both readers could share one decoder.
TEST(PrivateKeyInfoParts, FramingDecidesWhatMayFollow) {
  const struct {
    const char* why;
    Bytes in;
    bool lenient;
    bool whole;
  } kTests[] = {
      {"plain", Tlv(0x30, Cat({Hex("02 01 00"), kRsaAlgorithm, kKey})), true, true},
      {"attributes after the key are kept out of the fields",
       Tlv(0x30, Cat({Hex("02 01 00"), kRsaAlgorithm, kKey, Hex("A0 00")})), true, true},
      {"bytes after the SEQUENCE",
       Cat({Tlv(0x30, Cat({Hex("02 01 00"), kRsaAlgorithm, kKey})), Hex("00")}), true, false},
      {"no key: a required field is missing", Tlv(0x30, Cat({Hex("02 01 00"), kRsaAlgorithm})),
       false, false},
      {"an algorithm without an OID", Tlv(0x30, Cat({Hex("02 01 00"), Hex("30 02 05 00"), kKey})),
       false, false},
      {"a length past the end", Hex("30 10 02 01 00"), false, false},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    const auto lenient =
        DecodePrivateKeyInfoParts(ViewOf(c.in), Framing::kLenient, der::kIndefiniteAsEmpty);
    const auto whole =
        DecodePrivateKeyInfoParts(ViewOf(c.in), Framing::kWhole, der::kIndefiniteAsEmpty);
    EXPECT_EQ(lenient.has_value(), c.lenient);
    EXPECT_EQ(whole.has_value(), c.whole);
    if (lenient) {
      EXPECT_EQ(Bytes(lenient->privateKey.begin(), lenient->privateKey.end()),
                Hex("30 03 02 01 00"));
      EXPECT_EQ(Bytes(lenient->algorithmId.begin(), lenient->algorithmId.end()),
                Hex("2A 86 48 86 F7 0D 01 01 01"));
    }
  }
}

TEST(EncryptedPrivateKeyInfoParts, WholeFramingRefusesAnythingAfterTheData) {
  const Bytes data = Tlv(0x04, Hex("01 02 03"));
  const Bytes plain = Tlv(0x30, Cat({kRsaAlgorithm, data}));
  const Bytes extraField = Tlv(0x30, Cat({kRsaAlgorithm, data, Hex("05 00")}));
  for (const Bytes* in : {&plain, &extraField}) {
    const auto lenient =
        DecodeEncryptedPrivateKeyInfoParts(ViewOf(*in), Framing::kLenient, der::kIndefiniteAsEmpty);
    ASSERT_TRUE(lenient.has_value());
    EXPECT_EQ(Bytes(lenient->encryptedData.begin(), lenient->encryptedData.end()), Hex("01 02 03"));
    EXPECT_EQ(Bytes(lenient->algorithm.whole.begin(), lenient->algorithm.whole.end()),
              kRsaAlgorithm);
  }
  EXPECT_TRUE(
      DecodeEncryptedPrivateKeyInfoParts(ViewOf(plain), Framing::kWhole, der::kIndefiniteAsEmpty));
  EXPECT_FALSE(DecodeEncryptedPrivateKeyInfoParts(ViewOf(extraField), Framing::kWhole,
                                                  der::kIndefiniteAsEmpty));
}

}  // namespace
}  // namespace kcertadm
