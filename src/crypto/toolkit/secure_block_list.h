// SecureBlockList: the memory owner of every toolkit object. Each block is
// overwritten with zeros before it goes back to the allocator (or handed to
// its own release function). Allocation failures are reported as null
// pointers, never as exceptions, so that the toolkit can answer 518.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

class SecureBlockList {
 public:
  using ReleaseFunction = void (*)(void* data);

  struct Block {
    void* data;
    std::uint32_t size;
    ReleaseFunction release;  // null: wipe `size` bytes and free
  };

  SecureBlockList() = default;
  ~SecureBlockList() {
    ReleaseAll();
    FreeArray();
  }
  SecureBlockList(const SecureBlockList&) = delete;
  SecureBlockList& operator=(const SecureBlockList&) = delete;

  // A new zero-filled block of `size` bytes owned by the list; null if
  // memory is short.
  void* Allocate(std::size_t size);
  // A new owned block holding a copy of `size` bytes at `source`.
  void* AllocateCopy(const void* source, std::size_t size);
  // Takes ownership of a block allocated elsewhere (with std::malloc when
  // `release` is null). False, with nothing taken, if memory is short.
  bool Adopt(void* data, std::size_t size, ReleaseFunction release);
  // Grows or shrinks an owned block, keeping its leading bytes; the old
  // block is wiped. Returns the new address, or null (old block untouched)
  // when memory is short or `data` is not owned by the list.
  void* Resize(void* data, std::size_t new_size);
  // Releases one owned block; blocks the list does not own are ignored.
  void Release(void* data);
  // Releases every block; the list stays usable.
  void ReleaseAll();

  std::uint32_t count() const { return count_; }
  std::uint32_t capacity() const { return capacity_; }
  bool Owns(const void* data) const { return Find(data) != nullptr; }

 private:
  Block* Find(const void* data) const;
  bool Reserve();  // room for one more entry
  void FreeArray();
  static void ReleaseBlock(Block& block);

  std::uint32_t count_ = 0;
  std::uint32_t capacity_ = 0;
  Block* blocks_ = nullptr;
};

}  // namespace kcertadm
