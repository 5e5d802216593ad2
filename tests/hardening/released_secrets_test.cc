// Passwords and private keys leave no copy in memory the library releases:
// this program searches every block released while it scans, whether it
// goes back through operator delete or straight through free() (the DER
// builder's blocks, the C library's stdio buffers), for the passwords as
// they are typed and as a stash file holds them and for the private key,
// and checks that the wiping allocator releases only zeroed blocks.
#include <malloc.h>
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/secure_memory.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"
#include "keyring/stash.h"
#include "password_source.h"
#include "run_command.h"
#include "support/replaced_operator_new.h"
#include "support/status_numbers.h"
#include "support/test_files.h"

// The C library's own release, which this program's free() passes blocks
// on to; a sanitizer's when the program is built with one.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" void __interceptor_free(void* block);
#define KCERTADM_RELEASE_BLOCK __interceptor_free
#else
extern "C" void __libc_free(void* block);
#define KCERTADM_RELEASE_BLOCK __libc_free
#endif

namespace {

// A long password lives in an allocated block, a short one inside the string.
constexpr const char* kSecrets[] = {"Long-Secret-Of-The-Old-Ring-7Qx", "Zq9!kT"};
// Read by free() with the atomic builtins: it runs before the address
// sanitizer is ready, when no instrumented code may run.
bool scanning = false;
void Scan(bool on) { __atomic_store_n(&scanning, on, __ATOMIC_RELAXED); }
std::atomic<int> blocksWithSecrets{0}, wipedBlocks{0}, unwipedBlocks{0};

// Each password as typed and masked as in a stash file, in fixed storage:
// the search runs inside free(), where nothing may be allocated.
struct Pattern {
  char bytes[40] = {};
  std::size_t size = 0;
};
constexpr Pattern MakePattern(std::string_view text, unsigned char mask) {
  Pattern pattern;
  for (char c : text) pattern.bytes[pattern.size++] = static_cast<char>(c ^ mask);
  return pattern;
}
constexpr Pattern kPatterns[] = {
    MakePattern(kSecrets[0], 0), MakePattern(kSecrets[0], kcertadm::kStashMask),
    MakePattern(kSecrets[1], 0), MakePattern(kSecrets[1], kcertadm::kStashMask)};

void ObserveWipe(const void* block, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(block);
  ++(std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; }) ? wipedBlocks
                                                                              : unwipedBlocks);
}

// 32 bytes from the middle of the ring's private exponent, once it is known.
Pattern privateKeyPattern;
std::atomic<int> blocksWithKey{0};

void Search(void* block) {
  for (const Pattern& pattern : kPatterns)
    if (memmem(block, malloc_usable_size(block), pattern.bytes, pattern.size) != nullptr)
      ++blocksWithSecrets;
  if (privateKeyPattern.size > 0 &&
      memmem(block, malloc_usable_size(block), privateKeyPattern.bytes, privateKeyPattern.size) !=
          nullptr) {
    ++blocksWithKey;
  }
}

}  // namespace

// Every released block is searched while scanning.
extern "C" __attribute__((no_sanitize_address)) void free(void* block) noexcept {
  if (block != nullptr && __atomic_load_n(&scanning, __ATOMIC_RELAXED)) Search(block);
  KCERTADM_RELEASE_BLOCK(block);
}

void* TestAllocate(std::size_t n) noexcept { return std::malloc(n == 0 ? 1 : n); }

namespace kcertadm {
namespace {

// Takes the private key pattern from the ring's key "k": 32 bytes from the
// middle of its private exponent.
void LearnPrivateKey(const std::string& ringPath) {
  ASSERT_EQ(KeyRingOpen(ringPath, kSecrets[0]), kKeyRingOk);
  std::optional<KeyRingEntry> key = KeyRingFindEntry(std::string_view("k"));
  ASSERT_TRUE(key.has_value());
  const std::optional<RsaPrivateNumbers> numbers = DecryptPrivateKeyNumbers(
      ByteView(key->privateKey.data(), key->privateKey.size()), kSecrets[0]);
  KeyRingEntryFree(key);
  KeyRingClear();
  ASSERT_TRUE(numbers.has_value() && numbers->privateExponent.size() >= 48);
  std::memcpy(privateKeyPattern.bytes, numbers->privateExponent.data() + 8, 32);
  privateKeyPattern.size = 32;
}

// Creating a ring, making a request, saving with the stashed password,
// changing the password, opening with the stash and listing: every path
// that takes, stores or reads a password, and after the creation every
// path that decrypts, uses or re-encrypts the private key.
TEST(ReleasedSecrets, CommandsLeaveNoPasswordOrKeyInReleasedMemory) {
  test_support::TempDir dir;
  ::setenv("KCERTADM_DATA_DIR", dir.path().c_str(), 1);
  const SecureString ring = SecureString("KeyFile=") + dir.path().c_str() + "/ring.kyr;";
  const SecureString oldPassword = SecureString("Password=") + kSecrets[0] + ";";
  const std::string probeRing = dir.path() + "/probe.kyr";
  ASSERT_EQ(StashWrite(probeRing, kSecrets[0]), 0);
  SetSecureReleaseObserverForTesting(ObserveWipe);
  Scan(true);
  delete new std::string(kSecrets[0]);
  ASSERT_EQ(blocksWithSecrets.exchange(0), 1) << "the scan misses a plain copy";
  void* volatile copy = strdup(kSecrets[0]);
  std::free(copy);
  ASSERT_EQ(blocksWithSecrets.exchange(0), 1) << "the scan misses a block released with free()";
  FILE* stdioStash = std::fopen(StashFileName(probeRing).c_str(), "rb");
  ASSERT_NE(stdioStash, nullptr);
  ASSERT_NE(std::fgetc(stdioStash), EOF);
  std::fclose(stdioStash);
  ASSERT_GE(blocksWithSecrets.exchange(0), 1)
      << "the scan misses a stdio buffer that read a stash file";
  const char* root = KCERTADM_SOURCE_DIR "/tests/data/cert/vector_ca.pem";
  const std::uint32_t created =
      RunCommand("CreateKeyFile", ring + oldPassword + "KeyName=k;CommonName=k;KeySize=512");
  Scan(false);
  ASSERT_EQ(created, 30020u);
  ASSERT_NO_FATAL_FAILURE(LearnPrivateKey(dir.path() + "/ring.kyr"));
  Scan(true);
  void* volatile keyCopy = std::malloc(privateKeyPattern.size);
  std::memcpy(keyCopy, privateKeyPattern.bytes, privateKeyPattern.size);
  std::free(keyCopy);
  ASSERT_EQ(blocksWithKey.exchange(0), 1) << "the scan misses a copy of the private key";
  const std::uint32_t messages[] = {
      created,
      RunCommand("CreateCertReq",
                 ring + oldPassword + "KeyName=k;CertReqFile=" + dir.path().c_str() + "/r.pem"),
      // Saved with the stashed password: the stash is read, written and read back.
      RunCommand("ReceiveRootCert", ring + "UseStash;EntryLabel=root;CertReqFile=" + root),
      RunCommand("ChangePassword", ring + oldPassword + "NewPassword=" + kSecrets[1]),
      RunCommand("GetEntries",
                 ring + "UseStash;ShowPrivateKey;EntriesFile=" + dir.path().c_str() + "/e.txt"),
  };
  Scan(false);
  SetSecureReleaseObserverForTesting(nullptr);
  EXPECT_EQ(std::vector<std::uint32_t>(std::begin(messages), std::end(messages)),
            (std::vector<std::uint32_t>{30020, 30044, 30030, 30060, 30053}));
  EXPECT_EQ(blocksWithSecrets, 0) << "released blocks held a password";
  EXPECT_EQ(blocksWithKey, 0) << "released blocks held the private key";
  EXPECT_GT(wipedBlocks, 0);
  EXPECT_EQ(unwipedBlocks, 0);
}

// The tool's pass:TEXT source holds the password until it is read.
TEST(ReleasedSecrets, TextPasswordSourceLeavesNoPlainCopy) {
  blocksWithSecrets = 0;
  Scan(true);
  {
    std::string problem;
    const auto source = cli::ParsePasswordSource("pass:Long-Secret-Of-The-Old-Ring-7Qx", problem);
    ASSERT_TRUE(source.has_value()) << problem;
    cli::PasswordReader reader;
    EXPECT_EQ(reader.Read(*source, problem), SecureString(kSecrets[0]));
  }
  Scan(false);
  EXPECT_EQ(blocksWithSecrets, 0) << "released blocks held the password";
}

}  // namespace
}  // namespace kcertadm
