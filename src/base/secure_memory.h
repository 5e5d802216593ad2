// Memory that holds secrets: passwords, private keys, derived keys and
// random state. Everything here overwrites itself with zeros before the
// memory goes back to the allocator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace kcertadm {

// Overwrites n bytes at p with zeros in a way the optimiser keeps.
void SecureWipe(void* p, std::size_t n) noexcept;

// For tests: an observer called with every block the wiping allocator
// releases, after the wipe and before the block is freed. None by default.
using SecureReleaseObserver = void (*)(const void* block, std::size_t size);
void SetSecureReleaseObserverForTesting(SecureReleaseObserver observer) noexcept;
void NoteSecureRelease(const void* block, std::size_t size) noexcept;

// For tests: the nth allocation of secret memory from now on (the wiping
// allocator and the toolkit's block lists) fails, as when memory runs out;
// the others succeed. 0 turns it off.
void FailSecureAllocationForTesting(std::uint32_t nth) noexcept;
// True while the failure armed above has not happened yet.
bool SecureAllocationFailurePending() noexcept;
// Asked by every allocator of secret memory: true when this allocation is
// the one to fail. False unless a test armed a failure.
bool SecureAllocationRefused() noexcept;

// Allocator that wipes every block before releasing it.
template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() noexcept = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (SecureAllocationRefused()) throw std::bad_alloc();
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    SecureWipe(p, n * sizeof(T));
    NoteSecureRelease(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const noexcept {
    return true;
  }
};

// Byte buffer for secrets.
using SecureBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;
// Text buffer for secrets (passwords). A short text lives inside the string
// object itself, where the allocator never sees it, so the destructor wipes
// the storage in use (inline or allocated) as well.
using SecureStringBase = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;
class SecureString : public SecureStringBase {
 public:
  using SecureStringBase::SecureStringBase;
  SecureString() noexcept = default;
  SecureString(const SecureStringBase& other) : SecureStringBase(other) {}
  SecureString(SecureStringBase&& other) noexcept : SecureStringBase(std::move(other)) {}
  SecureString(const SecureString&) = default;
  SecureString(SecureString&& other) noexcept : SecureStringBase(std::move(other)) {}
  SecureString& operator=(const SecureString&) = default;
  SecureString& operator=(SecureString&& other) noexcept {
    SecureStringBase::operator=(std::move(other));
    return *this;
  }
  using SecureStringBase::operator=;
  ~SecureString() { SecureWipe(data(), capacity() + 1); }
};

// Wipes a fixed-size object (a key schedule, a digest context) when it goes
// out of scope.
template <typename T>
class WipeOnExit {
 public:
  explicit WipeOnExit(T& object) noexcept : object_(object) {}
  ~WipeOnExit() { SecureWipe(&object_, sizeof(T)); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  T& object_;
};

}  // namespace kcertadm
