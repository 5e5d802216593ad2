// Passwords leave no copy in memory the library releases: this program
// replaces operator new and delete to search every released block, and
// checks that the wiping allocator releases only zeroed blocks.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crypto/secure_memory.h"
#include "password_source.h"
#include "run_command.h"
#include "support/test_files.h"

namespace {

// A long password lives in an allocated block, a short one inside the string.
constexpr const char* kSecrets[] = {"Long-Secret-Of-The-Old-Ring-7Qx", "Zq9!kT"};
std::atomic<bool> scanning{false};
std::atomic<int> blocksWithSecrets{0}, wipedBlocks{0}, unwipedBlocks{0};

void ObserveWipe(const void* block, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(block);
  ++(std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; }) ? wipedBlocks : unwipedBlocks);
}

// Every released block is searched while scanning.
void* Allocate(std::size_t n) noexcept { return std::malloc(n == 0 ? 1 : n); }
void Release(void* block) noexcept {
  if (block != nullptr && scanning.load(std::memory_order_relaxed)) {
    for (const char* secret : kSecrets)
      if (memmem(block, malloc_usable_size(block), secret, std::strlen(secret)) != nullptr) ++blocksWithSecrets;
  }
  std::free(block);
}

}  // namespace

void* operator new(std::size_t n) {
  if (void* block = Allocate(n)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }

namespace kcertadm {
namespace {

// Creating a ring, making a request, changing the password, opening with
// the stash and listing: every path that takes, stores or reads a password.
TEST(ReleasedSecrets, CommandsLeaveNoPasswordInReleasedMemory) {
  testing::TempDir dir;
  ::setenv("KCERTADM_DATA_DIR", dir.path().c_str(), 1);
  const SecureString ring = SecureString("KeyFile=") + dir.path().c_str() + "/ring.kyr;";
  const SecureString oldPassword = SecureString("Password=") + kSecrets[0] + ";";
  SetSecureReleaseObserverForTesting(ObserveWipe);
  scanning = true;
  delete new std::string(kSecrets[0]);
  ASSERT_EQ(blocksWithSecrets.exchange(0), 1) << "the scan misses a plain copy";
  const std::uint32_t messages[] = {
      RunCommand("CreateKeyFile", ring + oldPassword + "KeyName=k;CommonName=k;KeySize=512"),
      RunCommand("CreateCertReq", ring + oldPassword + "KeyName=k;CertReqFile=" + dir.path().c_str() + "/r.pem"),
      RunCommand("ChangePassword", ring + oldPassword + "NewPassword=" + kSecrets[1]),
      RunCommand("GetEntries", ring + "UseStash;ShowPrivateKey;EntriesFile=" + dir.path().c_str() + "/e.txt"),
  };
  scanning = false;
  SetSecureReleaseObserverForTesting(nullptr);
  EXPECT_EQ(std::vector<std::uint32_t>(std::begin(messages), std::end(messages)),
            (std::vector<std::uint32_t>{30020, 30044, 30060, 30053}));
  EXPECT_EQ(blocksWithSecrets, 0) << "released blocks held a password";
  EXPECT_GT(wipedBlocks, 0);
  EXPECT_EQ(unwipedBlocks, 0);
}

// The tool's pass:TEXT source holds the password until it is read.
TEST(ReleasedSecrets, TextPasswordSourceLeavesNoPlainCopy) {
  scanning = true;
  {
    std::string problem;
    const auto source = cli::ParsePasswordSource("pass:Long-Secret-Of-The-Old-Ring-7Qx", problem);
    ASSERT_TRUE(source.has_value()) << problem;
    cli::PasswordReader reader;
    EXPECT_EQ(reader.Read(*source, problem), SecureString(kSecrets[0]));
  }
  scanning = false;
  EXPECT_EQ(blocksWithSecrets, 0) << "released blocks held the password";
}

}  // namespace
}  // namespace kcertadm
