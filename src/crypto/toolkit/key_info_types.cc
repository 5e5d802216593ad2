// Key forms of the symmetric algorithms: KeyInfoItem (raw bytes) and the
// DES forms KeyInfoDes8, KeyInfoDesParity and KeyInfoDesEde3.
#include <cstring>

#include "base/secure_memory.h"
#include "crypto/cipher/des.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {
namespace {

// Stores {data, length} and the bytes in one block owned by the key.
int StoreItem(KeyObject& key, const KeyInfoType* type, const std::uint8_t* data,
              std::uint32_t length, void** stored = nullptr) {
  void* block = key.blocks.Allocate(sizeof(ByteItem) + length);
  if (block == nullptr) return TkErrNoMemory;
  auto* item = static_cast<ByteItem*>(block);
  auto* bytes = static_cast<std::uint8_t*>(block) + sizeof(ByteItem);
  if (length > 0) std::memcpy(bytes, data, length);
  *item = ByteItem{bytes, length};
  if (stored != nullptr) {
    *stored = item;
    return TkOk;
  }
  if (key.AddInfo(type, item) != TkOk) {
    key.blocks.Release(block);
    return TkErrNoMemory;
  }
  return TkOk;
}

// Stores `size` bytes as the record of `type`.
int StoreBytes(KeyObject& key, const KeyInfoType* type, const std::uint8_t* data, std::size_t size,
               void** stored = nullptr) {
  void* copy = key.blocks.AllocateCopy(data, size);
  if (copy == nullptr) return TkErrNoMemory;
  if (stored != nullptr) {
    *stored = copy;
    return TkOk;
  }
  if (key.AddInfo(type, copy) != TkOk) {
    key.blocks.Release(copy);
    return TkErrNoMemory;
  }
  return TkOk;
}

// The raw bytes of the key, which must be exactly `size` long.
int ItemOfSize(const ToolkitLockHeld& lock, KeyObject& key, std::uint32_t size,
               const std::uint8_t** bytes) {
  const void* record = nullptr;
  if (int status = KeyGetInfo(lock, &record, &key, KeyInfoItem()).code()) return status;
  const auto* item = static_cast<const ByteItem*>(record);
  if (item->length != size) return TkErrBadKeyForm;
  *bytes = item->data;
  return TkOk;
}

class ItemKeyInfo final : public KeyInfoType {
 public:
  int AddInfo(KeyObject& key, const void* material) const override {
    const auto* item = static_cast<const ByteItem*>(material);
    if (item == nullptr || (item->data == nullptr && item->length > 0)) return TkErrBadParameter;
    return StoreItem(key, this, item->data, item->length);
  }
  int MakeInfo(const ToolkitLockHeld&, void**, KeyObject&) const override {
    return TkErrBadKeyForm;
  }
};

// A fixed-size key form recorded together with its KeyInfoItem, and derived
// from an item of exactly that size.
template <std::size_t kSize>
class FixedKeyInfo : public KeyInfoType {
 public:
  int AddInfo(KeyObject& key, const void* material) const override {
    if (material == nullptr) return TkErrBadParameter;
    std::uint8_t bytes[kSize];
    std::memcpy(bytes, material, kSize);
    Prepare(bytes);
    int status = StoreBytes(key, this, bytes, kSize);
    if (status == TkOk) status = StoreItem(key, KeyInfoItem(), bytes, kSize);
    SecureWipe(bytes, kSize);
    return status;
  }
  int MakeInfo(const ToolkitLockHeld& lock, void** record, KeyObject& key) const override {
    const std::uint8_t* bytes = nullptr;
    if (int status = Source(lock, key, &bytes)) return status;
    return StoreBytes(key, this, bytes, kSize, record);
  }

 protected:
  ~FixedKeyInfo() = default;
  virtual void Prepare(std::uint8_t* /*bytes*/) const {}
  virtual int Source(const ToolkitLockHeld& lock, KeyObject& key,
                     const std::uint8_t** bytes) const {
    return ItemOfSize(lock, key, kSize, bytes);
  }
};

class Des8KeyInfo final : public FixedKeyInfo<8> {};

class DesEde3KeyInfo final : public FixedKeyInfo<24> {};

// Parity is forced when the key is set; derived keys must already have it.
class DesParityKeyInfo final : public FixedKeyInfo<8> {
 protected:
  void Prepare(std::uint8_t* bytes) const override { DesSetOddParity(bytes); }
  int Source(const ToolkitLockHeld& lock, KeyObject& key,
             const std::uint8_t** bytes) const override {
    const void* record = nullptr;
    if (int status = KeyGetInfo(lock, &record, &key, KeyInfoDes8()).code()) return status;
    *bytes = static_cast<const std::uint8_t*>(record);
    return DesHasOddParity(*bytes) ? TkOk : TkErrBadKeyForm;
  }
};

const ItemKeyInfo kItemInfo;
const Des8KeyInfo kDes8Info;
const DesParityKeyInfo kDesParityInfo;
const DesEde3KeyInfo kDesEde3Info;

}  // namespace

const KeyInfoType* KeyInfoItem() { return &kItemInfo; }
const KeyInfoType* KeyInfoDes8() { return &kDes8Info; }
const KeyInfoType* KeyInfoDesParity() { return &kDesParityInfo; }
const KeyInfoType* KeyInfoDesEde3() { return &kDesEde3Info; }

}  // namespace kcertadm
