// Key entries, the key ring password and its change.
#include "keyring/certificate_parts.h"
#include "keyring/keyring_test_util.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using namespace test;
using KeyRingPasswordTest = KeyRingTest;

// A small RSA key whose numbers need not be consistent: only encrypted and its public half used.
RsaPrivateNumbers SampleNumbers(std::uint8_t seed) {
  auto bytes = [&](std::size_t n, std::uint8_t fill) { return SecureBytes(n, static_cast<std::uint8_t>(fill + seed)); };
  return {bytes(64, 0xC0), SecureBytes{1, 0, 1}, bytes(64, 3),  bytes(32, 5),
          bytes(32, 7),    bytes(32, 9),         bytes(32, 11), bytes(32, 13)};
}

Bytes Sealed(std::uint8_t seed, std::string_view password) {
  std::uint8_t salt[8] = {seed, 1, 2, 3, 4, 5, 6, 7};
  SecureBytes s = EncryptPrivateKeyNumbers(SampleNumbers(seed), password, salt);
  return Bytes(s.begin(), s.end());
}

Bytes PrivateKeyOf(const char* label) {
  auto e = KeyRingFindEntry(label);
  return Bytes(e->privateKey.begin(), e->privateKey.end());
}

TEST_F(KeyRingPasswordTest, AddKeyEntrySettlesThePassword) {
  const Bytes subject = CnName("Server");
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), std::nullopt, "server"), 4) << "no password anywhere";
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), "other", "server"), 4) << "key sealed under another";
  EXPECT_FALSE(KeyRingHasPassword()) << "a refused add adopts nothing";
  ASSERT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), "pw", "server"), 0);
  EXPECT_TRUE(KeyRingHasPassword());
  EXPECT_EQ(KeyRingAddKeyEntry(CnName("B"), Sealed(2, "pw"), "PW", "b"), 4) << "differs from the ring's";
  EXPECT_EQ(KeyRingAddKeyEntry(CnName("B"), Sealed(2, "pw"), std::nullopt, "b"), 0) << "the ring's is used";
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(3, "pw"), "pw", "elsewhere"), 14);

  auto entry = KeyRingFindEntry("server");
  const RsaPrivateNumbers n = SampleNumbers(1);
  EXPECT_EQ(std::tuple(entry->publicKey, entry->subjectName, entry->HasCertificates()),
            std::tuple(CanonicalPublicKey(n.modulus, n.publicExponent), subject, false));

  // The same label again replaces the entry, and puts it first.
  ASSERT_EQ(KeyRingAddKeyEntry(subject, Sealed(4, "pw"), "pw", "server"), 0);
  KeyRingCursor cursor;
  EXPECT_EQ(KeyRingNextEntry(cursor)->LabelText(), "server");
  EXPECT_EQ(KeyRingEntryCount(), 2u);
  EXPECT_EQ(PrivateKeyOf("server"), Sealed(4, "pw"));

  // A damaged private key does not open the ring: the password is right, the file is damaged.
  ASSERT_EQ(KeyRingWrite(dir_.Path("ring.kyr"), std::nullopt), 0);
  Bytes bad = ReadFileBytes(dir_.Path("ring.kyr"));
  bad[bad.size() - 40] ^= 0x10;  // inside the last key entry's private key, the last field present
  WriteFileBytes(dir_.Path("bad.kyr"), bad);
  EXPECT_EQ(KeyRingOpen(dir_.Path("bad.kyr"), "pw"), 3);
  EXPECT_EQ(std::pair(KeyRingEntryCount(), KeyRingHasPassword()), std::pair(std::size_t{0}, false));
}

// (Wrong old passwords and the new one opening the ring: the ChangePassword command tests.)
TEST_F(KeyRingPasswordTest, ChangeReEncryptsEveryKey) {
  const std::string ring = dir_.Path("ring.kyr");
  ASSERT_EQ(KeyRingAddKeyEntry(CnName("A"), Sealed(1, "old"), "old", "a"), 0);
  ASSERT_EQ(KeyRingAddKeyEntry(CnName("B"), Sealed(2, "old"), "old", "b"), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("root", 3)), 0);
  EXPECT_EQ(KeyRingChangePassword(std::nullopt, "new", 0), 4) << "the ring has a password";
  EXPECT_EQ(std::pair(*KeyRingPasswordCopy(), PrivateKeyOf("a")), std::pair(SecureString("old"), Sealed(1, "old")));
  ASSERT_EQ(KeyRingChangePassword("old", "new", 0), 0);
  EXPECT_TRUE(DecryptPrivateKeyNumbers(PrivateKeyOf("a"), "new") && DecryptPrivateKeyNumbers(PrivateKeyOf("b"), "new"));
  // The empty password checks like none, but private keys still need it.
  ASSERT_EQ(KeyRingChangePassword("new", "", 0), 0);
  ASSERT_EQ(KeyRingWrite(ring, std::nullopt), 0);
  EXPECT_EQ(KeyRingOpen(ring, std::nullopt), 4);
  EXPECT_EQ(KeyRingOpen(ring, ""), 0);
  // A ring without password adopts the new one, and the header word.
  KeyRingClear();
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("root", 3)), 0);
  ASSERT_EQ(KeyRingChangePassword(std::nullopt, "first", 7), 0);
  EXPECT_EQ(std::pair(*KeyRingPasswordCopy(), KeyRingHeaderWord()), std::pair(SecureString("first"), 7u));
  ASSERT_EQ(KeyRingChangePassword("first", "first", 0), 0) << "same password: nothing to re-encrypt";
  EXPECT_EQ(KeyRingHeaderWord(), 0u);
}

}  // namespace
}  // namespace kcertadm
