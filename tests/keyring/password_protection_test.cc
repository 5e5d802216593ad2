// Private-key encryption (PKCS #8, pbeWithMD2AndDES-CBC) and the protected
// data of entries, checked against vectors made independently with
// pycryptodome (tests/data/keyring/make_private_key_vector.py) and against
// the openssl command.
#include <fstream>
#include <map>
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

SecureBytes Secure(const Bytes& b) { return SecureBytes(b.begin(), b.end()); }
Bytes Plain(const SecureBytes& b) { return Bytes(b.begin(), b.end()); }

const Vector& LoadVector() {
  static const Vector vector = [] {
    Vector v;
    std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/keyring/private_key_vector.txt");
    std::map<std::string, Bytes> values;
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string name, value, sealed;
      fields >> name >> value;
      if (name == "password") {
        v.password = line.substr(9);
      } else if (name == "protected") {
        fields >> sealed;
        v.protectedData.emplace_back(value == "-" ? Bytes() : FromHex(value), FromHex(sealed));
      } else {
        values[name] = FromHex(value);
      }
    }
    v.salt = values["salt"];
    v.numbers = {Secure(values["modulus"]),   Secure(values["publicExponent"]), Secure(values["privateExponent"]),
                 Secure(values["prime1"]),    Secure(values["prime2"]),         Secure(values["exponent1"]),
                 Secure(values["exponent2"]), Secure(values["coefficient"])};
    v.privateKeyInfo = values["privateKeyInfo"];
    v.encrypted = values["encrypted"];
    return v;
  }();
  return vector;
}

Bytes Stripped(const SecureBytes& b) {
  auto first = std::find_if(b.begin(), b.end(), [](std::uint8_t x) { return x != 0; });
  return Bytes(first, b.end());
}

void ExpectSameNumbers(const RsaPrivateNumbers& a, const RsaPrivateNumbers& b) {
  EXPECT_EQ(Stripped(a.modulus), Stripped(b.modulus));
  EXPECT_EQ(Stripped(a.publicExponent), Stripped(b.publicExponent));
  EXPECT_EQ(Stripped(a.privateExponent), Stripped(b.privateExponent));
  EXPECT_EQ(Stripped(a.prime1), Stripped(b.prime1));
  EXPECT_EQ(Stripped(a.prime2), Stripped(b.prime2));
  EXPECT_EQ(Stripped(a.exponent1), Stripped(b.exponent1));
  EXPECT_EQ(Stripped(a.exponent2), Stripped(b.exponent2));
  EXPECT_EQ(Stripped(a.coefficient), Stripped(b.coefficient));
}

TEST(PrivateKeyEncryption, MatchesTheIndependentVector) {
  const Vector& v = LoadVector();
  ASSERT_EQ(v.salt.size(), 8u);
  EXPECT_EQ(Plain(EncodePrivateKeyInfo(v.numbers)), v.privateKeyInfo);
  EXPECT_EQ(Plain(EncryptPrivateKeyNumbers(v.numbers, v.password, v.salt.data())), v.encrypted);
  auto back = DecryptPrivateKeyNumbers(v.encrypted, v.password);
  ASSERT_TRUE(back);
  ExpectSameNumbers(*back, v.numbers);
}

TEST(PrivateKeyEncryption, FreshSaltsDifferAndBothOpen) {
  const Vector& v = LoadVector();
  const std::uint8_t otherSalt[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  Bytes a = Plain(EncryptPrivateKeyNumbers(v.numbers, "pw", v.salt.data()));
  Bytes b = Plain(EncryptPrivateKeyNumbers(v.numbers, "pw", otherSalt));
  EXPECT_NE(a, b);
  EXPECT_TRUE(DecryptPrivateKeyNumbers(a, "pw"));
  EXPECT_TRUE(DecryptPrivateKeyNumbers(b, "pw"));
  for (const char* wrong : {"", "PW", "pw ", "p"}) EXPECT_FALSE(DecryptPrivateKeyNumbers(a, wrong)) << wrong;
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
  for (std::size_t size = 0; size < v.encrypted.size(); size += 7) {
    EXPECT_FALSE(DecryptPrivateKeyNumbers(test::Slice(v.encrypted, 0, size), v.password)) << size;
  }
  // The envelope: 30 82 02a0 | 30 1a | 06 09 <oid> | 30 0d 04 08 <salt> 02 01 03 | 04 82 0288 <data>
  struct Case {
    const char* why;
    std::size_t offset;
    std::uint8_t value;
  } kTests[] = {
      {"pbeWithMD5AndDES-CBC is another algorithm", 16, 0x03},
      {"the algorithm identifier must be an OID", 6, 0x04},
      {"an iteration count of zero", 32, 0x00},
      {"a negative iteration count", 32, 0x80},
      {"a salt of seven bytes", 20, 0x07},
      {"the encrypted data length overruns", 35, 0x89},
      {"a changed last ciphertext byte breaks the padding", 0, 0},
  };
  for (const Case& c : kTests) {
    Bytes bad = v.encrypted;
    if (c.offset == 0) {
      bad.back() ^= 0x40;
    } else {
      bad[c.offset] = c.value;
    }
    EXPECT_FALSE(DecryptPrivateKeyNumbers(bad, v.password)) << c.why;
  }
}

TEST(PbeCipher, PadsToWholeBlocks) {
  PbeKey key;
  const std::uint8_t salt[8] = {};
  DerivePbeKey("pw", salt, 3, key);
  for (std::size_t size : {0, 1, 7, 8, 15, 16, 17}) {
    SCOPED_TRACE(size);
    Bytes data(size, 0x33);
    SecureBytes sealed = PbeEncrypt(key, data);
    EXPECT_EQ(sealed.size(), (size + 8) / 8 * 8);
    auto back = PbeDecrypt(key, sealed);
    ASSERT_TRUE(back);
    EXPECT_EQ(Plain(*back), data);
  }
  EXPECT_FALSE(PbeDecrypt(key, Bytes(12, 0))) << "not whole blocks";
  EXPECT_FALSE(PbeDecrypt(key, Bytes())) << "nothing to decrypt";
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
  SecureBytes none, empty;
  ASSERT_EQ(EncryptProtectedData(Bytes{1, 2, 3}, std::nullopt, none), 0);
  ASSERT_EQ(EncryptProtectedData(Bytes{1, 2, 3}, "", empty), 0);
  EXPECT_EQ(none, empty) << "no password protects like the empty one";
  SecureBytes out;
  EXPECT_NE(DecryptProtectedData(Bytes(9, 0), "pw", out), 0) << "not whole blocks";
}

}  // namespace
}  // namespace kcertadm
