#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <type_traits>
#include <vector>

#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {
namespace {

// Only taking the lock gives a proof of holding it.
static_assert(!std::is_copy_constructible_v<ToolkitLockHeld>);
static_assert(!std::is_move_constructible_v<ToolkitLockHeld>);
static_assert(!std::is_copy_assignable_v<ToolkitLockHeld>);
// One owner per object.
static_assert(!std::is_copy_constructible_v<OwnedKey>);
static_assert(!std::is_copy_assignable_v<OwnedAlgorithm>);
static_assert(std::is_nothrow_move_constructible_v<OwnedKey>);
static_assert(std::is_nothrow_move_assignable_v<OwnedAlgorithm>);

// A stand-in object kind that records every release and how it was made.
struct Fake {
  int id;
};
std::vector<int> released;
std::vector<bool> releasedUnderLock;
int nextId = 0;

ToolkitStatus FakeCreate(const ToolkitLockHeld& /*lock*/, Fake** handle) {
  *handle = new Fake{++nextId};
  return 0;
}

void FakeDestroy(const ToolkitLockHeld& /*lock*/, Fake** handle) {
  if (*handle == nullptr) return;
  released.push_back((*handle)->id);
  releasedUnderLock.push_back(ToolkitLockHeld::OnThisThread());
  delete *handle;
  *handle = nullptr;
}

using FakeOwner = ToolkitOwner<Fake, FakeCreate, FakeDestroy>;

class ToolkitOwnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    released.clear();
    releasedUnderLock.clear();
    nextId = 0;
  }
  static int Made(FakeOwner& owner) {
    ToolkitLockHeld lock;
    EXPECT_EQ(owner.Create(lock), 0);
    return owner.get()->id;
  }
};

TEST_F(ToolkitOwnerTest, EachObjectIsReleasedExactlyOnceWhateverItsPath) {
  {
    FakeOwner first;
    Made(first);
    FakeOwner moved(std::move(first));
    EXPECT_FALSE(first) << "a moved-from owner holds nothing";
    FakeOwner assigned;
    Made(assigned);  // 2, released when 1 is moved over it
    assigned = std::move(moved);
    EXPECT_EQ(released, std::vector<int>({2}));
    auto& self = assigned;
    assigned = std::move(self);
    EXPECT_EQ(released, std::vector<int>({2})) << "moving onto itself keeps the object";
    Made(assigned);  // Create releases 1 first, then holds 3
    EXPECT_EQ(released, std::vector<int>({2, 1}));
  }
  EXPECT_EQ(released, std::vector<int>({2, 1, 3}));
  FakeOwner given;
  Made(given);
  Fake* raw = given.release();
  given.reset();
  EXPECT_EQ(released.size(), 3u) << "released objects are the caller's";
  FakeOwner adopted(raw);
  adopted.reset();
  adopted.reset();
  EXPECT_EQ(released, std::vector<int>({2, 1, 3, 4}));
}

// An owner can die with or without the lock held on its thread: it takes
// the lock when it must and never takes it twice.
TEST_F(ToolkitOwnerTest, ReleasesUnderTheLockWithoutDeadlocking) {
  auto run = std::async(std::launch::async, [] {
    FakeOwner outside;
    Made(outside);
    outside.reset();
    ToolkitLockHeld lock;
    FakeOwner inside;
    EXPECT_EQ(inside.Create(lock), 0);
    inside.reset();
  });
  ASSERT_EQ(run.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "deadlock";
  EXPECT_EQ(releasedUnderLock, std::vector<bool>({true, true}));
  EXPECT_FALSE(ToolkitLockHeld::OnThisThread());
}

// While another thread holds the lock, an owner's release waits for it.
TEST_F(ToolkitOwnerTest, ReleaseWaitsForAnotherThreadHoldingTheLock) {
  FakeOwner owner;
  Made(owner);
  std::future<void> release;
  {
    ToolkitLockHeld lock;
    release = std::async(std::launch::async, [&owner] { owner.reset(); });
    EXPECT_EQ(release.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    EXPECT_TRUE(released.empty());
  }
  release.wait();
  EXPECT_EQ(released, std::vector<int>({1}));
}

// The handlers' way to the proof of their caller: the live one of this
// thread, and none once it is gone.
TEST(ToolkitLockHeldDeathTest, CurrentStopsTheProcessWhenThisThreadHoldsNoLock) {
  {
    ToolkitLockHeld lock;
    EXPECT_EQ(&ToolkitLockHeld::Current(), &lock);
  }
  EXPECT_DEATH((void)ToolkitLockHeld::Current(), "toolkit call without ToolkitLock");
}

TEST(ToolkitOwner, RealObjectsAreValidUntilReleased) {
  OwnedKey key;
  OwnedAlgorithm algorithm;
  {
    ToolkitLockHeld lock;
    ASSERT_EQ(key.Create(lock), 0);
    ASSERT_EQ(algorithm.Create(lock), 0);
    EXPECT_TRUE(IsValidKeyObject(key.get()));
    EXPECT_TRUE(IsValidAlgorithmObject(algorithm.get()));
  }
  key.reset();
  algorithm.reset();
  EXPECT_EQ(key.get(), nullptr);
  EXPECT_EQ(algorithm.get(), nullptr);
}

}  // namespace
}  // namespace kcertadm
