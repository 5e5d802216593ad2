// SHA-256, SHA-384 and SHA-512 message digests (FIPS 180-4): one message
// engine over the two block functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

// The three digests differ in word size, block function, initial state and
// how much of the state is output.
struct Sha256Variant {
  using Word = std::uint32_t;
  static constexpr std::size_t kDigestSize = 32;
  static constexpr std::size_t kBlockSize = 64;
  static const Word kInitialState[8];
  static void Compress(Word state[8], const std::uint8_t* data, std::size_t blocks);
};

struct Sha512Variant {
  using Word = std::uint64_t;
  static constexpr std::size_t kDigestSize = 64;
  static constexpr std::size_t kBlockSize = 128;
  static const Word kInitialState[8];
  static void Compress(Word state[8], const std::uint8_t* data, std::size_t blocks);
};

struct Sha384Variant : Sha512Variant {
  static constexpr std::size_t kDigestSize = 48;
  static const Word kInitialState[8];
};

template <typename Variant>
class Sha2 {
 public:
  static constexpr std::size_t kDigestSize = Variant::kDigestSize;
  static constexpr std::size_t kBlockSize = Variant::kBlockSize;

  Sha2();   // ready for Update
  ~Sha2();  // wipes its state
  Sha2(const Sha2&) = default;
  Sha2& operator=(const Sha2&) = default;

  void Update(const void* data, std::size_t size);
  // Writes kDigestSize bytes to out, then starts a fresh message.
  void Final(std::uint8_t* out);

 private:
  using Word = typename Variant::Word;
  void Reset();

  Word state_[8];
  std::uint64_t length_;  // bytes hashed so far
  std::uint8_t buffer_[kBlockSize];
  std::size_t buffered_;
};

extern template class Sha2<Sha256Variant>;
extern template class Sha2<Sha384Variant>;
extern template class Sha2<Sha512Variant>;

using Sha256 = Sha2<Sha256Variant>;
using Sha384 = Sha2<Sha384Variant>;
using Sha512 = Sha2<Sha512Variant>;

}  // namespace kcertadm
