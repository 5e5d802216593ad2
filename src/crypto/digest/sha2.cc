#include "crypto/digest/sha2.h"

#include <cstring>

#include "base/secure_memory.h"
#include "crypto/cipher/block_buffer.h"
#include "crypto/digest/digest_bytes.h"

namespace kcertadm {
namespace {

void StoreWord(std::uint8_t* out, std::uint32_t word) { bytes::StoreBe32(out, word); }
void StoreWord(std::uint8_t* out, std::uint64_t word) { bytes::StoreBe64(out, word); }

}  // namespace

const std::uint32_t Sha256Variant::kInitialState[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

const std::uint64_t Sha512Variant::kInitialState[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

const std::uint64_t Sha384Variant::kInitialState[8] = {
    0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
    0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};

template <typename Variant>
Sha2<Variant>::Sha2() {
  Reset();
}

template <typename Variant>
Sha2<Variant>::~Sha2() {
  SecureWipe(this, sizeof(*this));
}

template <typename Variant>
void Sha2<Variant>::Reset() {
  std::memcpy(state_, Variant::kInitialState, sizeof(state_));
  length_ = 0;
  buffered_ = 0;
  std::memset(buffer_, 0, sizeof(buffer_));
}

template <typename Variant>
void Sha2<Variant>::Update(const void* data, std::size_t size) {
  length_ += size;
  AbsorbBlocks(buffer_, buffered_, static_cast<const std::uint8_t*>(data), size,
               [this](const std::uint8_t* blocks, std::size_t count) {
                 Variant::Compress(state_, blocks, count);
               });
}

// Padding: 0x80, zeros, then the message length in bits over the last 8
// (SHA-256) or 16 (SHA-384, SHA-512) bytes of a block.
template <typename Variant>
void Sha2<Variant>::Final(std::uint8_t* out) {
  constexpr std::size_t kLengthField = 2 * sizeof(Word);
  constexpr std::size_t kLast = kBlockSize - kLengthField;
  std::uint8_t pad[kBlockSize * 2] = {0x80};
  const std::size_t pad_size = (buffered_ < kLast ? kLast : kBlockSize + kLast) - buffered_;
  bytes::StoreBe64(pad + pad_size + kLengthField - 8, length_ * 8);
  // A 128-bit length field takes the bits shifted out above.
  if constexpr (kLengthField == 16) pad[pad_size + 7] = static_cast<std::uint8_t>(length_ >> 61);
  Update(pad, pad_size + kLengthField);
  std::uint8_t full[sizeof(state_)];
  for (int i = 0; i < 8; ++i) StoreWord(full + i * sizeof(Word), state_[i]);
  std::memcpy(out, full, kDigestSize);
  SecureWipe(full, sizeof(full));
  Reset();
}

template class Sha2<Sha256Variant>;
template class Sha2<Sha384Variant>;
template class Sha2<Sha512Variant>;

}  // namespace kcertadm
