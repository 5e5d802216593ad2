// The owners of toolkit objects, and the lock proof every toolkit call
// takes (crypto/toolkit/toolkit_lock.h).
//
//   OwnedAlgorithm digest;
//   ToolkitLockHeld lock;
//   if (int status = digest.Create(lock).code()) return status;
//   ... AlgSetInfo(lock, digest.get(), AlgInfoMd5(), nullptr) ...
//
// Owners never need the caller to hold the lock: an owner releases its
// object under ToolkitLock, taking it unless this thread holds it already.
// So an owner may outlive the scope its object was made in, be returned,
// stored or moved, and be declared before or after the lock.
#pragma once

#include <cstddef>
#include <utility>

#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_lock.h"

namespace kcertadm {

// Sole owner of one toolkit object: move-only, releases it exactly once.
template <typename Object, ToolkitStatus (*CreateObject)(const ToolkitLockHeld&, Object**),
          void (*DestroyObject)(const ToolkitLockHeld&, Object**)>
class ToolkitOwner {
 public:
  ToolkitOwner() = default;
  ToolkitOwner(std::nullptr_t) noexcept {}  // NOLINT: an empty owner, as from null
  // Takes over an object nobody else owns (null is fine).
  explicit ToolkitOwner(Object* adopted) noexcept : object_(adopted) {}
  ~ToolkitOwner() { reset(); }
  ToolkitOwner(const ToolkitOwner&) = delete;
  ToolkitOwner& operator=(const ToolkitOwner&) = delete;
  ToolkitOwner(ToolkitOwner&& other) noexcept : object_(other.release()) {}
  ToolkitOwner& operator=(ToolkitOwner&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = other.release();
    }
    return *this;
  }

  // A new object in this owner (releasing any it held).
  ToolkitStatus Create(const ToolkitLockHeld& lock) {
    DestroyObject(lock, &object_);
    return CreateObject(lock, &object_);
  }

  Object* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  // Gives up ownership.
  [[nodiscard]] Object* release() noexcept { return std::exchange(object_, nullptr); }

  // Releases the object, if any, under ToolkitLock.
  void reset() noexcept {
    if (object_ == nullptr) return;
    if (ToolkitLockHeld::OnThisThread()) {
      DestroyObject(ToolkitLockHeld::Current(), &object_);
    } else {
      ToolkitLockHeld lock;
      DestroyObject(lock, &object_);
    }
  }

 private:
  Object* object_ = nullptr;
};

using OwnedAlgorithm = ToolkitOwner<AlgorithmObject, AlgCreate, AlgDestroy>;
using OwnedKey = ToolkitOwner<KeyObject, KeyCreate, KeyDestroy>;

}  // namespace kcertadm
