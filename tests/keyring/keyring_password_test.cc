// Key entries, the key ring password and its change.
#include <chrono>

#include "keyring/certificate_parts.h"
#include "keyring/keyring_test_util.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using namespace test;
using KeyRingPasswordTest = KeyRingTest;

// A small RSA key whose numbers need not be consistent: only encrypted and its public half used.
RsaPrivateNumbers SampleNumbers(std::uint8_t seed) {
  auto bytes = [&](std::size_t n, std::uint8_t fill) {
    return SecureBytes(n, static_cast<std::uint8_t>(fill + seed));
  };
  return {bytes(64, 0xC0), SecureBytes{1, 0, 1}, bytes(64, 3),  bytes(32, 5),
          bytes(32, 7),    bytes(32, 9),         bytes(32, 11), bytes(32, 13)};
}

Bytes Sealed(std::uint8_t seed, std::string_view password) {
  std::uint8_t salt[8] = {seed, 1, 2, 3, 4, 5, 6, 7};
  SecureBytes s = EncryptPrivateKeyNumbers(SampleNumbers(seed), password, salt);
  return Bytes(s.begin(), s.end());
}

// Every entry's fields and the password, to tell whether the ring changed.
std::vector<Bytes> RingContents() {
  std::vector<Bytes> out;
  KeyRingCursor cursor;
  do {
    auto e = KeyRingNextEntry(cursor);
    if (!e) break;
    for (const auto* field :
         {&e->label, &e->subjectName, &e->publicKey, &e->certificates, &e->auxiliaryData})
      out.push_back(*field);
    out.emplace_back(e->privateKey.begin(), e->privateKey.end());
    out.emplace_back(e->protectedData.begin(), e->protectedData.end());
    out.push_back({e->flags});
  } while (!cursor.AtEnd());
  auto password = KeyRingPasswordCopy();
  out.emplace_back(password ? Bytes(password->begin(), password->end()) : Bytes{0xFF});
  return out;
}

Bytes PrivateKeyOf(const char* label) {
  auto e = KeyRingFindEntry(label);
  return Bytes(e->privateKey.begin(), e->privateKey.end());
}

TEST_F(KeyRingPasswordTest, AddKeyEntrySettlesThePassword) {
  const Bytes subject = CnName("Server");
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), std::nullopt, "server"), 4)
      << "no password anywhere";
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), "other", "server"), 4)
      << "key sealed under another";
  EXPECT_FALSE(KeyRingHasPassword()) << "a refused add adopts nothing";
  ASSERT_EQ(KeyRingAddKeyEntry(subject, Sealed(1, "pw"), "pw", "server"), 0);
  EXPECT_TRUE(KeyRingHasPassword());
  EXPECT_EQ(KeyRingAddKeyEntry(CnName("B"), Sealed(2, "pw"), "PW", "b"), 4)
      << "differs from the ring's";
  EXPECT_EQ(KeyRingAddKeyEntry(CnName("B"), Sealed(2, "pw"), std::nullopt, "b"), 0)
      << "the ring's is used";
  EXPECT_EQ(KeyRingAddKeyEntry(subject, Sealed(3, "pw"), "pw", "elsewhere"), 14);

  auto entry = KeyRingFindEntry("server");
  const RsaPrivateNumbers n = SampleNumbers(1);
  EXPECT_EQ(std::tuple(entry->publicKey, entry->subjectName, entry->HasCertificates()),
            std::tuple(CanonicalPublicKey(PublicNumbersOf(n)), subject, false));

  // The same label again replaces the entry, and puts it first.
  ASSERT_EQ(KeyRingAddKeyEntry(subject, Sealed(4, "pw"), "pw", "server"), 0);
  KeyRingCursor cursor;
  EXPECT_EQ(KeyRingNextEntry(cursor)->LabelText(), "server");
  EXPECT_EQ(KeyRingEntryCount(), 2u);
  EXPECT_EQ(PrivateKeyOf("server"), Sealed(4, "pw"));

  // A damaged private key does not open the ring with the password: the
  // trailer finds the change before any key is tried.
  ASSERT_EQ(KeyRingWrite(dir_.Path("ring.kyr"), std::nullopt), 0);
  Bytes bad = ReadFileBytes(dir_.Path("ring.kyr"));
  bad[bad.size() - 40] ^= 0x10;  // inside the last key entry's private key, the last field present
  WriteFileBytes(dir_.Path("bad.kyr"), bad);
  EXPECT_EQ(KeyRingOpen(dir_.Path("bad.kyr"), "pw"), 3);
  EXPECT_EQ(std::pair(KeyRingEntryCount(), KeyRingHasPassword()), std::pair(std::size_t{0}, false));
}

// An EncryptedPrivateKeyInfo of the sample key with the given iteration
// count (INTEGER contents); its data is sealed with countForData
// iterations, 0 for the count itself.
Bytes SealedWithCount(const Bytes& countDigits, std::string_view password,
                      std::uint32_t countForData = 0) {
  if (countForData == 0)
    for (std::uint8_t b : countDigits) countForData = countForData << 8 | b;
  const std::uint8_t salt[8] = {9, 8, 7, 6, 5, 4, 3, 2};
  PbeKey key;
  DerivePbeKey(password, salt, countForData, key);
  const SecureBytes data = PbeEncrypt(key, EncodePrivateKeyInfo(SampleNumbers(1)));
  const Bytes parameters =
      Tlv(0x30, Cat({Tlv(0x04, Bytes(salt, salt + 8)), Tlv(0x02, countDigits)}));
  const Bytes algorithm = Tlv(0x30, Cat({Hex("06 09 2A 86 48 86 F7 0D 01 05 01"), parameters}));
  return Tlv(0x30, Cat({algorithm, Tlv(0x04, Bytes(data.begin(), data.end()))}));
}

// A ring file under "pw" holding one key entry with the given private key.
void WriteRingWithKey(const std::string& path, const Bytes& privateKey) {
  KeyRingClear();
  KeyRingEntry entry = SampleEntry("server", 1);
  entry.certificates.clear();
  entry.privateKey.assign(privateKey.begin(), privateKey.end());
  ASSERT_EQ(KeyRingInsertEntry(std::move(entry)), 0);
  ASSERT_EQ(KeyRingWrite(path, "pw"), 0);
  KeyRingClear();
}

// A stored key's iteration count costs one MD2 run each: counts beyond the
// bound are a damaged field (3), refused before any is run; a count near
// 2^32 once held the ring for a day.
TEST_F(KeyRingPasswordTest, OpeningRefusesIterationCountsBeyondTheBound) {
  struct Case {
    const char* why;
    Bytes count;
    std::uint32_t countForData;
    int status;
  };
  const Case kTests[] = {
      {"the count this system writes", {3}, 0, 0},
      {"the bound itself still opens", {0x08, 0x00}, 0, 0},
      {"one above the bound", {0x08, 0x01}, 0, 3},
      {"2^32 - 1", {0x00, 0xFF, 0xFF, 0xFF, 0xFF}, 3, 3},
      {"beyond 32 bits", {0x01, 0x00, 0x00, 0x00, 0x00}, 3, 3},
      {"beyond 64 bits", Bytes(12, 0x7F), 3, 3},
  };
  const std::string ring = dir_.Path("ring.kyr");
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    WriteRingWithKey(ring, SealedWithCount(c.count, "pw", c.countForData));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(KeyRingOpen(ring, "pw"), c.status);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  // The bound holds wherever a key is decrypted, not only on opening.
  EXPECT_FALSE(DecryptPrivateKeyNumbers(SealedWithCount({0x08, 0x01}, "pw"), "pw"));
}

// The trailer is checked before any private key is tried: a record copied in
// from another ring (its key sealed under another password) without a
// matching trailer is a damaged file and costs no decryption. With the
// trailer matching, the header has accepted the password, so a key that
// does not open under it is a damaged field too.
TEST_F(KeyRingPasswordTest, OpeningChecksTheTrailerBeforeTheKeys) {
  const std::string ring = dir_.Path("ring.kyr");
  WriteRingWithKey(ring, Sealed(2, "another password"));
  EXPECT_EQ(KeyRingOpen(ring, "pw"), 3) << "the trailer matches: the key decides";
  Bytes file = ReadFileBytes(ring);
  file.back() ^= 0x01;
  WriteFileBytes(ring, file);
  EXPECT_EQ(KeyRingOpen(ring, "pw"), 3);
}

// (Wrong old passwords and the new one opening the ring: the ChangePassword command tests.)
TEST_F(KeyRingPasswordTest, ChangeReEncryptsEveryKey) {
  const std::string ring = dir_.Path("ring.kyr");
  ASSERT_EQ(KeyRingAddKeyEntry(CnName("A"), Sealed(1, "old"), "old", "a"), 0);
  ASSERT_EQ(KeyRingAddKeyEntry(CnName("B"), Sealed(2, "old"), "old", "b"), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("root", 3)), 0);
  EXPECT_EQ(KeyRingChangePassword(std::nullopt, "new", 0), 4) << "the ring has a password";
  EXPECT_EQ(std::pair(*KeyRingPasswordCopy(), PrivateKeyOf("a")),
            std::pair(SecureString("old"), Sealed(1, "old")));
  ASSERT_EQ(KeyRingChangePassword("old", "new", 0), 0);
  EXPECT_TRUE(DecryptPrivateKeyNumbers(PrivateKeyOf("a"), "new") &&
              DecryptPrivateKeyNumbers(PrivateKeyOf("b"), "new"));
  // The empty password checks like none, but private keys still need it.
  ASSERT_EQ(KeyRingChangePassword("new", "", 0), 0);
  ASSERT_EQ(KeyRingWrite(ring, std::nullopt), 0);
  EXPECT_EQ(KeyRingOpen(ring, std::nullopt), 4);
  EXPECT_EQ(KeyRingOpen(ring, ""), 0);
  // A ring without password adopts the new one, and the header word.
  KeyRingClear();
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("root", 3)), 0);
  ASSERT_EQ(KeyRingChangePassword(std::nullopt, "first", 7), 0);
  EXPECT_EQ(std::pair(*KeyRingPasswordCopy(), KeyRingHeaderWord()),
            std::pair(SecureString("first"), 7u));
  ASSERT_EQ(KeyRingChangePassword("first", "first", 0), 0)
      << "same password: nothing to re-encrypt";
  EXPECT_EQ(KeyRingHeaderWord(), 0u);
}

// Memory running out at any allocation of a change (the toolkit's included)
// either leaves the ring exactly as it was and reports the failure, or the
// change completes with every key sealed under the new password. A key
// whose re-encryption failed was once dropped from the ring with status 0.
TEST_F(KeyRingPasswordTest, ChangeRunningOutOfMemoryLosesNoKey) {
  bool completed = false;
  for (std::uint32_t nth = 1; !completed && nth < 5000; ++nth) {
    SCOPED_TRACE("allocation " + std::to_string(nth) + " fails");
    KeyRingClear();
    ASSERT_EQ(KeyRingAddKeyEntry(CnName("A"), Sealed(1, "old"), "old", "a"), 0);
    ASSERT_EQ(KeyRingInsertEntry(SampleEntry("root", 3)), 0);
    ASSERT_EQ(KeyRingAddKeyEntry(CnName("B"), Sealed(2, "old"), "old", "b"), 0);
    const std::vector<Bytes> before = RingContents();
    FailSecureAllocationForTesting(nth);
    const KeyRingStatus status = KeyRingChangePassword("old", "new", 0);
    completed = SecureAllocationFailurePending();
    FailSecureAllocationForTesting(0);
    if (status != 0) {
      EXPECT_EQ(RingContents(), before);
      continue;
    }
    EXPECT_EQ(*KeyRingPasswordCopy(), SecureString("new"));
    EXPECT_TRUE(DecryptPrivateKeyNumbers(PrivateKeyOf("a"), "new")) << "key a kept";
    EXPECT_TRUE(DecryptPrivateKeyNumbers(PrivateKeyOf("b"), "new")) << "key b kept";
  }
  EXPECT_TRUE(completed) << "the change never got past its allocations";
}

}  // namespace
}  // namespace kcertadm
