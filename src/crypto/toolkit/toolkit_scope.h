// Scoped helpers for callers of the toolkit: the lock every toolkit call
// runs under, and owners that destroy toolkit objects on every path.
//
//   ToolkitScope lock;                  // first: released last
//   ScopedAlgorithm digest;
//   ScopedKey key;
//   if (int status = digest.Create()) return status;
//   ... AlgSetInfo(digest.get(), AlgInfoMd5(), nullptr) ...
//
// Objects must be destroyed under the lock too, so declare the scope before
// the owners (members are destroyed in reverse order).
#pragma once

#include <utility>

#include "base/locks.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {

// Holds ToolkitLock for its lifetime.
class ToolkitScope {
 public:
  ToolkitScope() = default;
  ToolkitScope(const ToolkitScope&) = delete;
  ToolkitScope& operator=(const ToolkitScope&) = delete;

 private:
  ToolkitGuard guard_;
};

// Runs `call` while holding ToolkitLock and returns its result.
template <typename Call>
auto WithToolkitLock(Call&& call) {
  ToolkitScope scope;
  return std::forward<Call>(call)();
}

// Owns an AlgorithmObject; AlgDestroy on scope exit.
class ScopedAlgorithm {
 public:
  ScopedAlgorithm() = default;
  ~ScopedAlgorithm() { AlgDestroy(&object_); }
  ScopedAlgorithm(const ScopedAlgorithm&) = delete;
  ScopedAlgorithm& operator=(const ScopedAlgorithm&) = delete;

  // AlgCreate into this owner (destroying any object it held).
  int Create() {
    AlgDestroy(&object_);
    return AlgCreate(&object_);
  }
  AlgorithmObject* get() const { return object_; }
  // Gives up ownership.
  AlgorithmObject* release() { return std::exchange(object_, nullptr); }

 private:
  AlgorithmObject* object_ = nullptr;
};

// Owns a KeyObject; KeyDestroy on scope exit.
class ScopedKey {
 public:
  ScopedKey() = default;
  explicit ScopedKey(KeyObject* key) : key_(key) {}
  ~ScopedKey() { KeyDestroy(&key_); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  int Create() {
    KeyDestroy(&key_);
    return KeyCreate(&key_);
  }
  KeyObject* get() const { return key_; }
  KeyObject* release() { return std::exchange(key_, nullptr); }

 private:
  KeyObject* key_ = nullptr;
};

}  // namespace kcertadm
