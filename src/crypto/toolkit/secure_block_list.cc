#include "crypto/toolkit/secure_block_list.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/secure_memory.h"

namespace kcertadm {

void SecureBlockList::ReleaseBlock(Block& block) {
  if (block.release != nullptr) {
    block.release(block.data);
  } else if (block.data != nullptr) {
    SecureWipe(block.data, block.size);
    std::free(block.data);
  }
  block = Block{nullptr, 0, nullptr};
}

SecureBlockList::Block* SecureBlockList::Find(const void* data) const {
  if (data == nullptr) return nullptr;
  for (std::uint32_t i = 0; i < count_; ++i)
    if (blocks_[i].data == data) return &blocks_[i];
  return nullptr;
}

// A full array is replaced by one with count + 10 entries.
bool SecureBlockList::Reserve() {
  if (count_ + 1 <= capacity_) return true;
  if (SecureAllocationRefused()) return false;
  const std::uint32_t new_capacity = count_ + 10;
  auto* grown = static_cast<Block*>(std::calloc(new_capacity, sizeof(Block)));
  if (grown == nullptr) return false;
  if (count_ > 0) std::memcpy(grown, blocks_, count_ * sizeof(Block));
  FreeArray();
  blocks_ = grown;
  capacity_ = new_capacity;
  return true;
}

void SecureBlockList::FreeArray() {
  if (blocks_ == nullptr) return;
  SecureWipe(blocks_, capacity_ * sizeof(Block));
  std::free(blocks_);
  blocks_ = nullptr;
  capacity_ = 0;
}

bool SecureBlockList::Adopt(void* data, std::size_t size, ReleaseFunction release) {
  if (size > std::numeric_limits<std::uint32_t>::max() || !Reserve()) return false;
  blocks_[count_++] = Block{data, static_cast<std::uint32_t>(size), release};
  return true;
}

void* SecureBlockList::Allocate(std::size_t size) {
  if (size > std::numeric_limits<std::uint32_t>::max() || SecureAllocationRefused()) return nullptr;
  void* data = std::calloc(size == 0 ? 1 : size, 1);
  if (data == nullptr) return nullptr;
  if (!Adopt(data, size, nullptr)) {
    std::free(data);
    return nullptr;
  }
  return data;
}

void* SecureBlockList::AllocateCopy(const void* source, std::size_t size) {
  void* data = Allocate(size);
  if (data != nullptr && size > 0) std::memcpy(data, source, size);
  return data;
}

void* SecureBlockList::Resize(void* data, std::size_t new_size) {
  Block* block = Find(data);
  if (block == nullptr || block->release != nullptr ||
      new_size > std::numeric_limits<std::uint32_t>::max() || SecureAllocationRefused())
    return nullptr;
  void* grown = std::calloc(new_size == 0 ? 1 : new_size, 1);
  if (grown == nullptr) return nullptr;
  std::memcpy(grown, data, block->size < new_size ? block->size : new_size);
  SecureWipe(data, block->size);
  std::free(data);
  block->data = grown;
  block->size = static_cast<std::uint32_t>(new_size);
  return grown;
}

void SecureBlockList::Release(void* data) {
  Block* block = Find(data);
  if (block == nullptr) return;
  ReleaseBlock(*block);
  *block = blocks_[count_ - 1];  // keep the array dense
  blocks_[--count_] = Block{nullptr, 0, nullptr};
}

void SecureBlockList::ReleaseAll() {
  for (std::uint32_t i = 0; i < count_; ++i) ReleaseBlock(blocks_[i]);
  count_ = 0;
}

}  // namespace kcertadm
