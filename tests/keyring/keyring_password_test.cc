// Key entries, the key ring password and its change, through the file.
// (Protected data in the file is checked by the independent layout script.)
#include <tuple>

#include <gtest/gtest.h>

#include "keyring/certificate_parts.h"
#include "keyring/keyring.h"
#include "keyring/keyring_test_util.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// A small RSA key (the numbers need not be consistent for these tests: only
// the encryption and the key's public half are used).
RsaPrivateNumbers SampleNumbers(std::uint8_t seed) {
  auto bytes = [&](std::size_t n, std::uint8_t fill) { return SecureBytes(n, static_cast<std::uint8_t>(fill + seed)); };
  return {bytes(64, 0xC0), SecureBytes{1, 0, 1}, bytes(64, 3), bytes(32, 5), bytes(32, 7),
          bytes(32, 9),    bytes(32, 11),        bytes(32, 13)};
}

Bytes Sealed(std::uint8_t seed, std::string_view password) {
  std::uint8_t salt[8] = {seed, 1, 2, 3, 4, 5, 6, 7};
  SecureBytes s = EncryptPrivateKeyNumbers(SampleNumbers(seed), password, salt);
  return Bytes(s.begin(), s.end());
}

class KeyRingPasswordTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyRingClear(); }
  void TearDown() override { KeyRingClear(); }
  std::string Path(const char* name) { return dir_.Path(name); }
  TempDir dir_;
};

TEST_F(KeyRingPasswordTest, AddKeyEntrySettlesThePassword) {
  Bytes subject = test::NameOf("Server");
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), std::nullopt, "server"), 4) << "no password anywhere";
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), "other", "server"), 4) << "key sealed under another";
  EXPECT_FALSE(KeyRingHasPassword()) << "a refused add adopts nothing";
  ASSERT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), "pw", "server"), 0);
  EXPECT_TRUE(KeyRingHasPassword());
  EXPECT_EQ(KeyRingAddKeyEntry(test::NameOf("B"), Sealed(2, "pw"), "PW", "b"), 4) << "differs from the ring's";
  EXPECT_EQ(KeyRingAddKeyEntry(test::NameOf("B"), Sealed(2, "pw"), std::nullopt, "b"), 0) << "the ring's is used";
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(3, "pw"), "pw", "elsewhere"), 14);

  auto entry = KeyRingFindEntry("server");
  ASSERT_TRUE(entry);
  RsaPrivateNumbers n = SampleNumbers(1);
  EXPECT_EQ(std::tuple(entry->publicKey, entry->subjectName, entry->HasCertificates()),
            std::tuple(CanonicalPublicKey(n.modulus, n.publicExponent), subject, false));

  // The same label again replaces the entry, and puts it first.
  ASSERT_EQ(KeyRingAddKeyEntry(subject, Sealed(4, "pw"), "pw", "server"), 0);
  EXPECT_EQ(KeyRingEntryCount(), 2u);
  KeyRingCursor cursor;
  auto first = KeyRingNextEntry(cursor);
  ASSERT_EQ(first->LabelText(), "server");
  EXPECT_EQ(Bytes(first->privateKey.begin(), first->privateKey.end()), Sealed(4, "pw"));
}

TEST_F(KeyRingPasswordTest, ADamagedPrivateKeyDoesNotOpen) {
  ASSERT_EQ(KeyRingAddKeyEntry(test::NameOf("S"), Sealed(1, "secret"), "secret", "server"), 0);
  ASSERT_EQ(KeyRingWrite(Path("ring.kyr"), std::nullopt), 0);
  // A damaged private key does not open with the password.
  Bytes bad = ReadFileBytes(Path("ring.kyr"));
  bad[bad.size() - 40] ^= 0x10;  // inside the private key, the last field present
  test::WriteFileBytes(Path("bad.kyr"), bad);
  EXPECT_EQ(KeyRingOpen(Path("bad.kyr"), "secret"), 4);
  EXPECT_EQ(KeyRingEntryCount(), 0u);
  EXPECT_FALSE(KeyRingHasPassword());
}

TEST_F(KeyRingPasswordTest, ChangeReEncryptsEveryKey) {
  ASSERT_EQ(KeyRingAddKeyEntry(test::NameOf("A"), Sealed(1, "old"), "old", "a"), 0);
  ASSERT_EQ(KeyRingAddKeyEntry(test::NameOf("B"), Sealed(2, "old"), "old", "b"), 0);
  ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("root", 3)), 0);
  auto privateKeyOf = [](const char* label) {
    auto e = KeyRingFindEntry(label);
    return Bytes(e->privateKey.begin(), e->privateKey.end());
  };
  const Bytes keyA = privateKeyOf("a");

  EXPECT_EQ(KeyRingChangePassword("wrong", "new", 0), 4);
  EXPECT_EQ(KeyRingChangePassword(std::nullopt, "new", 0), 4);
  EXPECT_EQ(*KeyRingPasswordCopy(), SecureString("old"));
  EXPECT_EQ(privateKeyOf("a"), keyA);

  ASSERT_EQ(KeyRingChangePassword("old", "new", 0), 0);
  auto a = KeyRingFindEntry("a");
  EXPECT_NE(Bytes(a->privateKey.begin(), a->privateKey.end()), keyA);
  EXPECT_TRUE(DecryptPrivateKeyNumbers(a->privateKey, "new"));
  ASSERT_EQ(KeyRingWrite(Path("ring.kyr"), std::nullopt), 0);
  EXPECT_EQ(KeyRingOpen(Path("ring.kyr"), "old"), 4);
  EXPECT_EQ(KeyRingOpen(Path("ring.kyr"), "new"), 0);
  EXPECT_EQ(KeyRingEntryCount(), 3u);

  // The empty password checks like none, but private keys still need it.
  ASSERT_EQ(KeyRingChangePassword("new", "", 0), 0);
  ASSERT_EQ(KeyRingWrite(Path("ring.kyr"), std::nullopt), 0);
  EXPECT_EQ(KeyRingOpen(Path("ring.kyr"), std::nullopt), 4);
  EXPECT_EQ(KeyRingOpen(Path("ring.kyr"), ""), 0);
  // A ring without password adopts the new one, and the header word.
  KeyRingClear();
  ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("root", 3)), 0);
  ASSERT_EQ(KeyRingChangePassword(std::nullopt, "first", 7), 0);
  EXPECT_EQ(*KeyRingPasswordCopy(), SecureString("first"));
  EXPECT_EQ(KeyRingHeaderWord(), 7u);
  ASSERT_EQ(KeyRingChangePassword("first", "first", 0), 0) << "same password: nothing to re-encrypt";
  EXPECT_EQ(KeyRingHeaderWord(), 0u);
}

}  // namespace
}  // namespace kcertadm
