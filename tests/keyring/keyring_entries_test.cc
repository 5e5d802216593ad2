// Entry lookups and changes of the in-memory key ring.
#include "crypto/random/entropy.h"
#include "keyring/certificate_parts.h"
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using namespace test;
using KeyRingEntriesTest = KeyRingTest;

TEST_F(KeyRingEntriesTest, LookupsMatchExactlyAndHandOutCopies) {
  EXPECT_EQ(KeyRingDeleteEntry("x"), 8) << "empty ring";
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("server", 1)), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("other", 2)), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("other", 3)), 0);
  for (const char* other : {"Server", "serve"})
    EXPECT_FALSE(KeyRingFindEntry(other)) << "case and length matter";
  EXPECT_FALSE(KeyRingFindEntry(std::nullopt));
  EXPECT_FALSE(KeyRingFindEntry(static_cast<const char*>(nullptr)))
      << "a context field that was not given";
  auto found = KeyRingFindEntry("server");
  found->certificates.clear();  // a copy: the key ring keeps its own
  EXPECT_TRUE(KeyRingFindEntry("server")->HasCertificates());

  Bytes shorter = SampleEntry("x", 1).publicKey;
  shorter.pop_back();
  EXPECT_FALSE(KeyRingFindByPublicKey(shorter)) << "no prefix match";

  EXPECT_EQ(KeyRingDeleteEntry("Other"), 8);
  EXPECT_EQ(KeyRingDeleteEntry("other"), 0) << "the first match only";
  EXPECT_EQ(KeyRingFindEntry("other")->certificates, SampleEntry("x", 2).certificates);
}

TEST_F(KeyRingEntriesTest, DefaultKeyEntryNeedsKeyAndCertificate) {
  KeyRingEntry keyOnly = SampleEntry("key only", 1), server = SampleEntry("server", 2);
  keyOnly.certificates.clear();
  keyOnly.privateKey = {1, 2, 3};
  server.privateKey = {4, 5, 6};
  ASSERT_EQ(KeyRingInsertEntry(server), 0);
  EXPECT_EQ(KeyRingDefaultKeyEntry()->LabelText(), "server") << "the only entry is the last one";
  ASSERT_EQ(KeyRingInsertEntry(keyOnly), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("root", 3)), 0);
  EXPECT_EQ(KeyRingDefaultKeyEntry()->LabelText(), "server");
  ASSERT_EQ(KeyRingDeleteEntry("server"), 0);
  EXPECT_FALSE(KeyRingDefaultKeyEntry());
}

TEST_F(KeyRingEntriesTest, MarkAndUnmarkEveryEntryWithTheKey) {
  KeyRingEntry twin = SampleEntry("twin", 1);
  twin.flags = 0x40;  // unused bits are carried
  ASSERT_EQ(KeyRingInsertEntry(twin), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("one", 1)), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("other", 2)), 0);
  const Bytes key = SampleEntry("x", 1).publicKey;
  auto flags = [] {
    return std::vector{KeyRingFindEntry("one")->flags, KeyRingFindEntry("twin")->flags,
                       KeyRingFindEntry("other")->flags};
  };
  EXPECT_EQ(KeyRingMarkRoot(key), 0);
  EXPECT_EQ(flags(), (std::vector<decltype(KeyRingEntry::flags)>{kKeyRingTrustedRoot, 0x41, 0}));
  EXPECT_EQ(KeyRingUnmarkRoot(key), 0);
  EXPECT_EQ(KeyRingFindEntry("twin")->flags, 0x40);
  EXPECT_EQ(KeyRingMarkRoot(Bytes{0x30, 0x00}), 8);
}

// (Which entry a certificate goes to is covered by ReceiveCert.)
TEST_F(KeyRingEntriesTest, AddCertificateStoresTheKeyCanonicallyAndReplaces) {
  const Bytes modulus = Hex("00c1d2e3f405060708090a0b0c0d0e0f");
  const Bytes first = FakeCertificate("Server", modulus, {1, 0, 1}),
              second = FakeCertificate("Renewed", modulus, {1, 0, 1});
  ASSERT_EQ(KeyRingAddCertificate(first, "server", nullptr), 0);
  // Without the modulus's leading zero.
  EXPECT_EQ(KeyRingFindEntry("server")->publicKey,
            CanonicalPublicKey({ByteView(modulus).subspan(1), Bytes{1, 0, 1}}));
  ASSERT_EQ(KeyRingAddCertificate(second, "ignored", nullptr), 0);
  auto entry = KeyRingFindEntry("server");
  EXPECT_EQ(std::tuple(KeyRingEntryCount(), entry->certificates, entry->subjectName),
            std::tuple(1u, second, CnName("Server")))
      << "the certificate replaced, not appended; the subject unchanged";
  EXPECT_EQ(KeyRingAddCertificate(FakeCertificate("No key", {}, {}), "nokey", nullptr), 3);
}

TEST_F(KeyRingEntriesTest, RandomSeedingSamplesTheSampledFieldsOnly) {
  KeyRingEntry entry;
  for (Bytes* field : {&entry.label, &entry.subjectName, &entry.publicKey, &entry.certificates})
    field->assign(40, 0xAB);
  entry.privateKey.assign(40, 0xAB);
  entry.protectedData.assign(40, 0x11);  // plain secret text: never sampled
  entry.auxiliaryData.assign(40, 0x22);
  ASSERT_EQ(KeyRingInsertEntry(entry), 0);  // registers the sampler
  Bytes fed;
  SeedFromKeyRingEntries([&](const std::uint8_t* data, std::size_t size) {
    fed.insert(fed.end(), data, data + size);
  });
  EXPECT_GE(fed.size(), 25u);  // five fields, one byte in eight of each
  EXPECT_EQ(fed, Bytes(fed.size(), 0xAB));
}

TEST(KeyRingEntryCertificates, SplitsWithinTheField) {
  KeyRingEntry entry;
  EXPECT_EQ(KeyRingEntryCertificates(entry)->size(), 0u) << "absent field";
  const Bytes two = Tlv(0x30, Bytes(300, 8));
  entry.certificates = Cat({Tlv(0x30, Bytes(200, 7)), two});
  auto parts = KeyRingEntryCertificates(entry);
  ASSERT_EQ(parts.value_or(std::vector<ByteView>{}).size(), 2u);
  EXPECT_EQ(Bytes((*parts)[1].begin(), (*parts)[1].end()), two);
  const struct {
    const char* why;
    Bytes field;
  } kHostile[] = {
      {"content runs past the field", {0x30, 0x05, 1, 2}},
      {"two-octet length runs past", {0x30, 0x82, 0xFF, 0xFF, 0}},
      {"length octets cut off", {0x30, 0x82, 0x01}},
      {"second element overruns", {0x30, 0x00, 0x30, 0x01}},
  };
  for (const auto& c : kHostile) {
    entry.certificates = c.field;
    EXPECT_FALSE(KeyRingEntryCertificates(entry)) << c.why;
  }
}

}  // namespace
}  // namespace kcertadm
