#include "crypto/digest/sha1.h"

#include <cstring>

#include "base/secure_memory.h"
#include "crypto/cipher/block_buffer.h"
#include "crypto/digest/digest_bytes.h"
#include "crypto/digest/sha1_compress.h"

namespace kcertadm {
namespace {

using bytes::Rotl32;

struct Choose {
  static constexpr std::uint32_t kConstant = 0x5a827999;
  static std::uint32_t F(std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return d ^ (b & (c ^ d));
  }
};
struct Parity1 {
  static constexpr std::uint32_t kConstant = 0x6ed9eba1;
  static std::uint32_t F(std::uint32_t b, std::uint32_t c, std::uint32_t d) { return b ^ c ^ d; }
};
struct Majority {
  static constexpr std::uint32_t kConstant = 0x8f1bbcdc;
  static std::uint32_t F(std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return (b & c) | (d & (b | c));
  }
};
struct Parity2 {
  static constexpr std::uint32_t kConstant = 0xca62c1d6;
  static std::uint32_t F(std::uint32_t b, std::uint32_t c, std::uint32_t d) { return b ^ c ^ d; }
};

// Message word i of the expanded schedule, kept in a 16-word ring.
template <int I>
inline std::uint32_t Word(std::uint32_t* w) {
  if constexpr (I < 16) {
    return w[I];
  } else {
    std::uint32_t v = Rotl32(w[(I - 3) & 15] ^ w[(I - 8) & 15] ^ w[(I - 14) & 15] ^ w[I & 15], 1);
    w[I & 15] = v;
    return v;
  }
}

template <typename Round, int I>
inline void Step(std::uint32_t a, std::uint32_t& b, std::uint32_t c, std::uint32_t d,
                 std::uint32_t& e, std::uint32_t* w) {
  e += Rotl32(a, 5) + Round::F(b, c, d) + Round::kConstant + Word<I>(w);
  b = Rotl32(b, 30);
}

// Five steps; afterwards the roles of the five variables are back where they started.
template <typename Round, int I>
inline void FiveSteps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                      std::uint32_t& e, std::uint32_t* w) {
  Step<Round, I>(a, b, c, d, e, w);
  Step<Round, I + 1>(e, a, b, c, d, w);
  Step<Round, I + 2>(d, e, a, b, c, w);
  Step<Round, I + 3>(c, d, e, a, b, w);
  Step<Round, I + 4>(b, c, d, e, a, w);
}

template <typename Round, int I>
inline void TwentySteps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                        std::uint32_t& e, std::uint32_t* w) {
  FiveSteps<Round, I>(a, b, c, d, e, w);
  FiveSteps<Round, I + 5>(a, b, c, d, e, w);
  FiveSteps<Round, I + 10>(a, b, c, d, e, w);
  FiveSteps<Round, I + 15>(a, b, c, d, e, w);
}

void CompressBlock(std::uint32_t* state, const std::uint8_t* block, std::uint32_t* w) {
  for (int i = 0; i < 16; ++i) w[i] = bytes::LoadBe32(block + 4 * i);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  TwentySteps<Choose, 0>(a, b, c, d, e, w);
  TwentySteps<Parity1, 20>(a, b, c, d, e, w);
  TwentySteps<Majority, 40>(a, b, c, d, e, w);
  TwentySteps<Parity2, 60>(a, b, c, d, e, w);
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

void Compress(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
  if (sha1_internal::HaveShaExtensions())
    sha1_internal::CompressShaExtensions(state, data, blocks);
  else
    sha1_internal::CompressPortable(state, data, blocks);
}

}  // namespace

namespace sha1_internal {

void CompressPortable(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks) {
  std::uint32_t w[16];
  for (; blocks > 0; --blocks, data += 64) CompressBlock(state, data, w);
  SecureWipe(w, sizeof(w));
}

}  // namespace sha1_internal

Sha1::Sha1() { Reset(); }

Sha1::~Sha1() { SecureWipe(this, sizeof(*this)); }

void Sha1::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  state_[4] = 0xc3d2e1f0;
  length_ = 0;
  buffered_ = 0;
  std::memset(buffer_, 0, sizeof(buffer_));
}

void Sha1::Update(const void* data, std::size_t size) {
  length_ += size;
  AbsorbBlocks(
      buffer_, buffered_, static_cast<const std::uint8_t*>(data), size,
      [this](const std::uint8_t* blocks, std::size_t count) { Compress(state_, blocks, count); });
}

void Sha1::Final(std::uint8_t* out) {
  const std::uint64_t bit_length = length_ * 8;
  std::uint8_t pad[kBlockSize * 2] = {0x80};
  std::size_t pad_size = (buffered_ < 56 ? 56 : 120) - buffered_;
  bytes::StoreBe64(pad + pad_size, bit_length);
  Update(pad, pad_size + 8);
  for (int i = 0; i < 5; ++i) bytes::StoreBe32(out + 4 * i, state_[i]);
  Reset();
}

void Sha1Digest(const void* data, std::size_t size, std::uint8_t* out) {
  Sha1 sha1;
  sha1.Update(data, size);
  sha1.Final(out);
}

}  // namespace kcertadm
