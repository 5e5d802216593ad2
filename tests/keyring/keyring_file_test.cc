// The key ring file: password rules, damage and record limits (layout: the peer test).
#include <sys/stat.h>
#include <unistd.h>

#include "crypto/digest/md5.h"
#include "crypto/random/random_md5.h"
#include "crypto/random/random_shared.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using namespace test;

Bytes Md5Of(const Bytes& bytes) {
  Bytes digest(Md5::kDigestSize);
  Md5Digest(bytes.data(), bytes.size(), digest.data());
  return digest;
}

class KeyRingFileTest : public KeyRingTest {
 protected:
  void ExpectEmptyRing() {
    EXPECT_EQ(std::tuple(KeyRingEntryCount(), KeyRingHasPassword(), KeyRingHeaderWord()),
              std::tuple(0u, false, 0u));
  }
  const std::string path_ = dir_.Path("ring.kyr");
};

TEST_F(KeyRingFileTest, PasswordRules) {
  const std::string plain = dir_.Path("plain.kyr"), locked = dir_.Path("locked.kyr"),
                    later = dir_.Path("later.kyr");
  ASSERT_EQ(KeyRingWrite(plain, std::nullopt), 0);
  ASSERT_EQ(KeyRingWrite(path_, ""), 0);
  EXPECT_EQ(ReadFileBytes(plain), ReadFileBytes(path_)) << "none writes as the empty one";
  EXPECT_EQ(KeyRingWrite(dir_.Path("nodir/x.kyr"), std::nullopt), 2);
  KeyRingClear();
  ASSERT_EQ(KeyRingWrite(locked, "secret"), 0);  // adopts the password
  ASSERT_EQ(KeyRingWrite(later, "another"), 0);  // keeps the adopted one
  const struct {
    const char* name;
    std::string path;
    OptionalPassword password;
    int status;
  } kTests[] = {
      {"no password, opened without", plain, std::nullopt, 0},
      {"no password, opened with empty", plain, "", 0},
      {"no password, opened with one", plain, "secret", 4},
      {"password, opened without", locked, std::nullopt, 4},
      {"password, opened with it", locked, "secret", 0},
      {"password, opened with a prefix", locked, "secre", 4},
      {"a later write keeps the first password", later, "secret", 0},
      {"missing file", dir_.Path("missing.kyr"), std::nullopt, 2},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(KeyRingOpen(c.path, c.password), c.status);
    if (c.status != 0) ExpectEmptyRing();
  }
}

// Any damage leaves the ring empty; the status names the class of damage.
TEST_F(KeyRingFileTest, EveryDamagedOrTruncatedFileIsRefused) {
  KeyRingEntry newer = SampleEntry("newer", 2);
  newer.flags = kKeyRingTrustedRoot | 0x80;
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("older", 1)), 0);
  ASSERT_EQ(KeyRingInsertEntry(newer), 0);
  ASSERT_EQ(KeyRingWrite(path_, std::nullopt), 0);
  const Bytes good = ReadFileBytes(path_);
  // Bit 0 flipped at each offset; the first record: lengths at 16, flags at 30, body at 32.
  const struct {
    std::size_t offset;
    int status;
    const char* why;
  } kFlips[] = {
      {1, 3, "magic"},
      {7, 4, "header word is under the check value"},
      {30, 3, "flags"},
      {31, 3, "reserved byte"},
      {44, 3, "record bytes are under the trailer"},
      {good.size() - 20, 1, "end marker becomes a record longer than the file"},
      {good.size() - 1, 3, "trailer"},
  };
  for (const auto& flip : kFlips) {
    Bytes bad = good;
    bad[flip.offset] ^= 0x01;
    WriteFileBytes(path_, bad);
    EXPECT_EQ(KeyRingOpen(path_, std::nullopt), flip.status) << flip.why;
    ExpectEmptyRing();
  }
  for (std::size_t size = 0; size < good.size(); ++size) {
    WriteFileBytes(path_, Slice(good, 0, size));
    const KeyRingStatus status = KeyRingOpen(path_, std::nullopt);
    EXPECT_TRUE(status == 1 || status == 3) << size << ": " << status;
    ExpectEmptyRing();
  }
  WriteFileBytes(path_, Cat({good, {0x55}}));  // bytes after the trailer are not read
  EXPECT_EQ(KeyRingOpen(path_, std::nullopt), 0);
  EXPECT_EQ(KeyRingEntryCount(), 2u);
}

TEST_F(KeyRingFileTest, RecordsAreLimitedTo8000BytesAnd16BitFields) {
  const Bytes header = {0x37, 0x48, 0x01, 0x01, 0, 0, 0, 0},
              recordHead = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0};  // no password
  // A body over the record buffer is refused before it is read.
  for (const auto& [bodyLength, status] : {std::pair<std::size_t, int>{8000, 0}, {8001, 1}}) {
    SCOPED_TRACE(bodyLength);
    // A label of one zero byte; the rest of the body is certificates; the end marker and the
    // trailer.
    const std::size_t n = bodyLength - 1;
    Bytes file = Cat({header,
                      Slice(Md5Of(header), 0, 8),
                      recordHead,
                      {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n), 0, 0, 0, 0},
                      {0},
                      Bytes(n, 0x42),
                      Bytes(16, 0)});
    WriteFileBytes(path_, Cat({file, Md5Of(file)}));
    EXPECT_EQ(KeyRingOpen(path_, std::nullopt), status);
  }
  KeyRingClear();
  KeyRingEntry tooLong = SampleEntry("long", 3), tooBig = SampleEntry("big", 3);
  tooLong.auxiliaryData.assign(kKeyRingFieldMax + 1, 1);
  tooBig.certificates.assign(8000, 1);
  EXPECT_EQ(std::pair(KeyRingStatusNumber(KeyRingInsertEntry(tooLong)),
                      KeyRingStatusNumber(KeyRingInsertEntry(tooBig))),
            std::pair(3, 7));
  EXPECT_EQ(KeyRingEntryCount(), 0u);
}

TEST_F(KeyRingFileTest, ALinkedRingIsReplacedWhereItLies) {
  const std::string link = dir_.Path("link.kyr");
  ASSERT_EQ(KeyRingWrite(path_, std::nullopt), 0);
  ASSERT_EQ(::symlink(path_.c_str(), link.c_str()), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("new", 1)), 0);
  ASSERT_EQ(KeyRingWrite(link, std::nullopt), 0);
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(KeyRingOpen(path_, std::nullopt), 0);
  EXPECT_EQ(KeyRingEntryCount(), 1u);
}

// Opening a ring, right password or wrong, takes no random bytes: such commands must not seed it.
TEST_F(KeyRingFileTest, OpeningTakesNoRandomBytes) {
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("one", 1)), 0);
  ASSERT_EQ(KeyRingWrite(path_, std::nullopt), 0);
  const std::uint8_t seed[] = "fixed seed of the test generator";
  AlgorithmObject* random = nullptr;
  {
    ToolkitLockHeld lock;
    ASSERT_TRUE(AlgCreate(lock, &random) == 0 &&
                AlgSetInfo(lock, random, AlgInfoRandomMd5(), nullptr) == 0 &&
                RandomInit(lock, random, RandomMethods, nullptr) == 0 &&
                RandomSeed(lock, random, seed, sizeof seed, nullptr) == 0);
  }
  InstallSharedRandomForTesting(OwnedAlgorithm(random));
  EXPECT_EQ(KeyRingOpen(path_, std::nullopt), kKeyRingOk);
  EXPECT_EQ(KeyRingOpen(path_, "not-the-password"), kKeyRingWrongPassword);
  Bytes got(16), want(16);
  ASSERT_EQ(GetRandomBytes(got.data(), got.size()), 0);
  Md5RandomGenerator mirror;
  mirror.Seed(seed, sizeof seed);
  mirror.Generate(want.data(), want.size());
  EXPECT_EQ(got, want) << "the generator gives what it gave before the opening";
  InstallSharedRandomForTesting(nullptr);
}

}  // namespace
}  // namespace kcertadm
