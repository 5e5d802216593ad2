#include "crypto/random/random_shared.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "base/locks.h"
#include "crypto/random/entropy.h"
#include "crypto/random/random_md5.h"
#include "crypto/toolkit/toolkit_framework.h"
#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {
namespace {

TEST(ReseedSchedule, ReseedsOnThe301stCallOrAfter300Seconds) {
  ReseedSchedule schedule;
  schedule.Restart(1000);
  for (int call = 1; call <= 300; ++call)
    ASSERT_FALSE(schedule.RecordCall(1000 + call % 7)) << call;
  EXPECT_TRUE(schedule.RecordCall(1001));
  schedule.Restart(5000);
  EXPECT_FALSE(schedule.RecordCall(5300));  // 300 seconds: still within
  EXPECT_TRUE(schedule.RecordCall(5301));   // more than 300 seconds
  std::uint8_t table[1200];
  schedule.TableBytes(
      table);  // entry 0 rewritten after the restart, entry 1 left from the first round
  EXPECT_EQ(table[0] | table[1] << 8, 5300);
  EXPECT_EQ(table[4] | table[5] << 8, 1002);
}

std::uint32_t FixedClock() { return 123456; }

// GetRandomBytes serves 300 calls from the object, then reseeds it from its own 16 bytes and the
// call times.
TEST(SharedRandom, ThreeHundredCallsThenReseed) {
  SetRandomClockForTesting(&FixedClock);
  AlgorithmObject* random = nullptr;
  const std::uint8_t seed[] = {1, 2, 3};
  {
    ToolkitLockHeld lock;
    ASSERT_EQ(AlgCreate(lock, &random), 0);
    ASSERT_EQ(AlgSetInfo(lock, random, AlgInfoRandomMd5(), nullptr), 0);
    ASSERT_EQ(RandomInit(lock, random, RandomMethods, nullptr), 0);
    ASSERT_EQ(RandomSeed(lock, random, seed, 3, nullptr), 0);
  }
  InstallSharedRandomForTesting(OwnedAlgorithm(random));
  Md5RandomGenerator mirror;
  mirror.Seed(seed, 3);
  std::uint8_t got[3], want[3];
  for (int call = 1; call <= 300; ++call) {
    ASSERT_EQ(GetRandomBytes(got, 3), 0);
    mirror.Generate(want, 3);
    ASSERT_EQ(0, std::memcmp(got, want, 3)) << "call " << call;
  }
  // The 301st call reseeds first.
  std::uint8_t fresh[16];
  const std::vector<std::uint32_t> table(
      300, FixedClock());  // the call times, little-endian as the host
  mirror.Generate(fresh, 16);
  mirror.Seed(fresh, 16);
  mirror.Seed(reinterpret_cast<const std::uint8_t*>(table.data()), 1200);
  ASSERT_EQ(GetRandomBytes(got, 3), 0);
  mirror.Generate(want, 3);
  EXPECT_EQ(0, std::memcmp(got, want, 3));
  SetRandomClockForTesting(nullptr);
  InstallSharedRandomForTesting(nullptr);
}

// A random kind whose output is a fixed byte and whose seeding fails, as a
// generator in trouble would.
class UnseedableHandler final : public RandomHandler {
 public:
  explicit UnseedableHandler(AlgorithmObject& object) : RandomHandler(object) {}
  int RandomInit(MethodList, const ProgressCallback*) override { return TkOk; }
  int RandomSeed(const std::uint8_t*, std::uint32_t, const ProgressCallback*) override {
    return TkErrNoMemory;
  }
  int RandomGenerate(std::uint8_t* out, std::uint32_t count, const ProgressCallback*) override {
    std::memset(out, kStaleByte, count);
    return TkOk;
  }
  static constexpr std::uint8_t kStaleByte = 0xA5;
};

class UnseedableInfo final : public ParameterlessAlgInfoType {
 public:
  AlgorithmHandler* NewHandler(AlgorithmObject& object) const override {
    return NewHandlerFor<UnseedableHandler>(object);
  }
};
const UnseedableInfo kUnseedable;

// When the reseed fails the generator's unrefreshed output is not handed
// out: the bytes of that call come from the kernel, and the next call tries
// the reseed again.
TEST(SharedRandom, FailedReseedServesNoStaleBytes) {
  SetRandomClockForTesting(&FixedClock);
  OwnedAlgorithm random;
  {
    ToolkitLockHeld lock;
    ASSERT_EQ(random.Create(lock), 0);
    ASSERT_EQ(AlgSetInfo(lock, random.get(), &kUnseedable, nullptr), 0);
    ASSERT_EQ(RandomInit(lock, random.get(), RandomMethods, nullptr), 0);
  }
  InstallSharedRandomForTesting(std::move(random));
  const std::vector<std::uint8_t> stale(32, UnseedableHandler::kStaleByte);
  std::vector<std::uint8_t> got(32);
  for (int call = 1; call <= 300; ++call) ASSERT_EQ(GetRandomBytes(got.data(), got.size()), 0);
  EXPECT_EQ(got, stale) << "before the reseed the generator serves";
  for (int call = 301; call <= 303; ++call) {
    SCOPED_TRACE(call);
    ASSERT_EQ(GetRandomBytes(got.data(), got.size()), 0);
    EXPECT_NE(got, stale) << "served from a generator whose reseed failed";
  }
  SetRandomClockForTesting(nullptr);
  InstallSharedRandomForTesting(nullptr);
}

// A sampler that, like the key ring's, takes KeyRingLock per entry.
void LockingSampler(KeyRingFieldSample sample, void* context) {
  const std::uint8_t field[] = "entry field bytes";
  for (int entry = 0; entry < 3; ++entry) {
    KeyRingGuard guard;
    sample(context, field, sizeof field);
  }
}

// One thread holds KeyRingLock, then asks for random bytes while another creates SharedRandom from
// the key ring.
TEST(SharedRandom, FirstCreationDoesNotDeadlockAgainstKeyRingHolders) {
  SetKeyRingEntrySampler(&LockingSampler);
  for (int round = 0; round < 3; ++round) {
    InstallSharedRandomForTesting(nullptr);
    std::promise<void> holding;
    auto key_ring_user = std::async(std::launch::async, [&] {
      KeyRingGuard guard;
      holding.set_value();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::uint8_t salt[8];
      return GetRandomBytes(salt, sizeof salt);
    });
    holding.get_future().wait();
    auto creator = std::async(std::launch::async, [] {
      std::uint8_t bytes[8];
      return GetRandomBytes(bytes, 8);
    });
    for (auto* user : {&creator, &key_ring_user}) {
      ASSERT_EQ(user->wait_for(std::chrono::seconds(30)), std::future_status::ready) << "deadlock";
      EXPECT_EQ(user->get(), 0);
    }
  }
  SetKeyRingEntrySampler(nullptr);
}

// Two generators seeded from the machine differ.
TEST(SharedRandom, SeededFromTheMachine) {
  std::uint8_t a[16] = {}, b[16] = {};
  OwnedAlgorithm one = CreateSeededRandom(), two = CreateSeededRandom();
  ToolkitLockHeld lock;
  ASSERT_EQ(RandomGenerate(lock, one.get(), a, 16, nullptr), 0);
  ASSERT_EQ(RandomGenerate(lock, two.get(), b, 16, nullptr), 0);
  EXPECT_NE(0, std::memcmp(a, b, 16));
}

}  // namespace
}  // namespace kcertadm
