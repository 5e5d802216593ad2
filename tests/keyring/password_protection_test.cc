// Private-key and protected-data encryption against pycryptodome's vector
// (make_private_key_vector.py).
#include "keyring/password_protection.h"

#include <sstream>

#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using namespace test;

Bytes Plain(const SecureBytes& b) { return Bytes(b.begin(), b.end()); }
Bytes Value(const char* name) { return Hex(VectorValues(name).at(0)); }
const std::string kPassword = VectorValues("password").at(0);

RsaPrivateNumbers VectorNumbers() {
  auto secure = [](const char* name) {
    const Bytes b = Value(name);
    return SecureBytes(b.begin(), b.end());
  };
  return {secure("modulus"),   secure("publicExponent"), secure("privateExponent"),
          secure("prime1"),    secure("prime2"),         secure("exponent1"),
          secure("exponent2"), secure("coefficient")};
}

TEST(PrivateKeyEncryption, MatchesTheIndependentVector) {
  const Bytes salt = Value("salt"), encrypted = Value("encrypted"), info = Value("privateKeyInfo");
  ASSERT_EQ(salt.size(), 8u);
  EXPECT_EQ(Plain(EncodePrivateKeyInfo(VectorNumbers())), info);
  EXPECT_EQ(Plain(EncryptPrivateKeyNumbers(VectorNumbers(), kPassword, salt.data())), encrypted);
  EXPECT_EQ(Plain(EncodePrivateKeyInfo(DecryptPrivateKeyNumbers(encrypted, kPassword).value())),
            info);
  for (const char* wrong : {"", "Vector password 1 ", "Vector password "})
    EXPECT_FALSE(DecryptPrivateKeyNumbers(encrypted, wrong)) << wrong;
}

TEST(PrivateKeyEncryption, RefusesDamagedOrForeignEnvelopes) {
  const Bytes good = Value("encrypted");
  for (std::size_t size = 0; size < good.size(); size += 7)
    EXPECT_FALSE(DecryptPrivateKeyNumbers(Slice(good, 0, size), kPassword)) << size;
  // The envelope: 30 82 02a0 | 30 1a | 06 09 <oid> | 30 0d 04 08 <salt> 02 01 03 | 04 82 0288
  // <data>
  const struct {
    std::size_t at;
    std::uint8_t set;
    const char* why;
  } kEdits[] = {
      {16, 0x03, "pbeWithMD5AndDES-CBC is another algorithm"},
      {6, 0x04, "the algorithm identifier must be an OID"},
      {32, 0x00, "an iteration count of zero"},
      {32, 0x80, "a negative iteration count"},
      {20, 0x07, "a salt of seven bytes"},
      {35, 0x89, "the encrypted data length overruns"},
      {good.size() - 1, static_cast<std::uint8_t>(good.back() ^ 0x40),
       "a changed last byte breaks the padding"},
  };
  for (const auto& edit : kEdits) {
    Bytes bad = good;
    bad[edit.at] = edit.set;
    EXPECT_FALSE(DecryptPrivateKeyNumbers(bad, kPassword)) << edit.why;
  }
}

TEST(ProtectedData, MatchesTheIndependentVectorAndRoundTrips) {
  for (const std::string& line : VectorValues("protected")) {
    std::istringstream fields(line);
    std::string plainHex, sealedHex;
    fields >> plainHex >> sealedHex;
    const Bytes plain = plainHex == "-" ? Bytes() : Hex(plainHex), sealed = Hex(sealedHex);
    SCOPED_TRACE(plain.size());
    SecureBytes out;
    ASSERT_EQ(EncryptProtectedData(plain, kPassword, out), 0);
    EXPECT_EQ(Plain(out), sealed);
    ASSERT_EQ(DecryptProtectedData(sealed, kPassword, out), 0);
    EXPECT_EQ(Plain(out), plain);
    EXPECT_NE(DecryptProtectedData(sealed, "other", out), 0);
  }
  SecureBytes none, empty, out;
  ASSERT_EQ(EncryptProtectedData(Bytes{1, 2, 3}, std::nullopt, none), 0);
  ASSERT_EQ(EncryptProtectedData(Bytes{1, 2, 3}, "", empty), 0);
  EXPECT_EQ(none, empty) << "no password protects like the empty one";
  EXPECT_NE(DecryptProtectedData(Bytes(9, 0), "pw", out), 0) << "not whole blocks";
  EXPECT_NE(DecryptProtectedData(Bytes(), "pw", out), 0) << "nothing to decrypt";
}

}  // namespace
}  // namespace kcertadm
