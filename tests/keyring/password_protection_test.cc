// Private-key encryption (PKCS #8, pbeWithMD2AndDES-CBC) and the protected
// data of entries, checked against vectors made independently with
// pycryptodome (tests/data/keyring/make_private_key_vector.py) and against
// the openssl command.
#include <sstream>

#include <gtest/gtest.h>

#include "keyring/keyring_test_util.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using test::FromHex;
using test::TempDir;

struct Vector {
  std::string password;
  Bytes salt;
  RsaPrivateNumbers numbers;
  Bytes privateKeyInfo;
  Bytes encrypted;
  std::vector<std::pair<Bytes, Bytes>> protectedData;  // plain, sealed
};

Bytes Plain(const SecureBytes& b) { return Bytes(b.begin(), b.end()); }

const Vector& LoadVector() {
  static const Vector vector = [] {
    auto hex = [](const char* name) { return FromHex(test::VectorValues(name).at(0)); };
    auto secure = [&](const char* name) {
      Bytes b = hex(name);
      return SecureBytes(b.begin(), b.end());
    };
    Vector v{test::VectorValues("password").at(0), hex("salt"),
             {secure("modulus"), secure("publicExponent"), secure("privateExponent"), secure("prime1"),
              secure("prime2"), secure("exponent1"), secure("exponent2"), secure("coefficient")},
             hex("privateKeyInfo"), hex("encrypted"), {}};
    for (const std::string& line : test::VectorValues("protected")) {
      std::istringstream fields(line);
      std::string plain, sealed;
      fields >> plain >> sealed;
      v.protectedData.emplace_back(plain == "-" ? Bytes() : FromHex(plain), FromHex(sealed));
    }
    return v;
  }();
  return vector;
}

TEST(PrivateKeyEncryption, MatchesTheIndependentVector) {
  const Vector& v = LoadVector();
  ASSERT_EQ(v.salt.size(), 8u);
  EXPECT_EQ(Plain(EncodePrivateKeyInfo(v.numbers)), v.privateKeyInfo);
  EXPECT_EQ(Plain(EncryptPrivateKeyNumbers(v.numbers, v.password, v.salt.data())), v.encrypted);
  auto back = DecryptPrivateKeyNumbers(v.encrypted, v.password);
  ASSERT_TRUE(back);
  EXPECT_EQ(Plain(EncodePrivateKeyInfo(*back)), v.privateKeyInfo);
  for (const char* wrong : {"", "Vector password 1 ", "Vector password "})
    EXPECT_FALSE(DecryptPrivateKeyNumbers(v.encrypted, wrong)) << wrong;
}

// openssl here lacks MD2, so an independent pycryptodome script opens the
// envelope and openssl checks the key inside.
TEST(PrivateKeyEncryption, OpensIndependentlyAndPassesOpensslCheck) {
  const Vector& v = LoadVector();
  TempDir dir;
  const std::uint8_t salt[8] = {0xA5, 1, 2, 3, 4, 5, 6, 7};
  test::WriteFileBytes(dir.Path("key.p8"), Plain(EncryptPrivateKeyNumbers(v.numbers, "open sesame", salt)));
  std::string command = "/usr/bin/python3 " + std::string(KCERTADM_TEST_DATA_DIR) +
                        "/keyring/open_private_key.py " + dir.Path("key.p8") + " 'open sesame' " +
                        dir.Path("key.der") + " 2>&1";
  std::string output;
  ASSERT_EQ(test::RunCommand(command, &output), 0) << output;
  EXPECT_EQ(test::ReadFileBytes(dir.Path("key.der")), v.privateKeyInfo);
  output.clear();
  ASSERT_EQ(test::RunCommand("openssl pkey -inform DER -in " + dir.Path("key.der") + " -check -noout 2>&1", &output), 0);
  EXPECT_NE(output.find("Key is valid"), std::string::npos) << output;
}

TEST(PrivateKeyEncryption, RefusesDamagedOrForeignEnvelopes) {
  const Vector& v = LoadVector();
  for (std::size_t size = 0; size < v.encrypted.size(); size += 7)
    EXPECT_FALSE(DecryptPrivateKeyNumbers(test::Slice(v.encrypted, 0, size), v.password)) << size;
  // The envelope: 30 82 02a0 | 30 1a | 06 09 <oid> | 30 0d 04 08 <salt> 02 01 03 | 04 82 0288 <data>
  const struct { const char* why; std::size_t offset; std::uint8_t value; } kTests[] = {
      {"pbeWithMD5AndDES-CBC is another algorithm", 16, 0x03},
      {"the algorithm identifier must be an OID", 6, 0x04},
      {"an iteration count of zero", 32, 0x00},
      {"a negative iteration count", 32, 0x80},
      {"a salt of seven bytes", 20, 0x07},
      {"the encrypted data length overruns", 35, 0x89},
      {"a changed last ciphertext byte breaks the padding", v.encrypted.size() - 1, static_cast<std::uint8_t>(v.encrypted.back() ^ 0x40)},
  };
  for (const auto& c : kTests) {
    Bytes bad = v.encrypted;
    bad[c.offset] = c.value;
    EXPECT_FALSE(DecryptPrivateKeyNumbers(bad, v.password)) << c.why;
  }
}

TEST(ProtectedData, MatchesTheIndependentVectorAndRoundTrips) {
  const Vector& v = LoadVector();
  for (const auto& [plain, sealed] : v.protectedData) {
    SCOPED_TRACE(plain.size());
    SecureBytes out;
    ASSERT_EQ(EncryptProtectedData(plain, v.password, out), 0);
    EXPECT_EQ(Plain(out), sealed);
    ASSERT_EQ(DecryptProtectedData(sealed, v.password, out), 0);
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
