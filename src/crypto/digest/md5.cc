#include "crypto/digest/md5.h"

#include <cstring>

#include "base/secure_memory.h"
#include "crypto/cipher/block_buffer.h"
#include "crypto/digest/digest_bytes.h"

namespace kcertadm {
namespace {

using bytes::LoadLe32;
using bytes::Rotl32;

inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return z ^ (x & (y ^ z));
}
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

// Message words are read straight from the block, so no copy of the
// (possibly secret) input is left on the stack.
template <std::uint32_t (*Fn)(std::uint32_t, std::uint32_t, std::uint32_t), int S>
inline void Step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                 const std::uint8_t* word, std::uint32_t constant) {
  a = b + Rotl32(a + Fn(b, c, d) + LoadLe32(word) + constant, S);
}

// The second round's function (b & d) | (c & ~d) is a sum of two disjoint
// parts; adding the part without b first lets it run while b is still
// being computed by the step before.
template <int S>
inline void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  const std::uint8_t* word, std::uint32_t constant) {
  std::uint32_t sum = a + LoadLe32(word) + constant + (c & ~d);
  sum += b & d;
  a = b + Rotl32(sum, S);
}

void CompressBlock(std::uint32_t* state, const std::uint8_t* block) {
  const std::uint8_t* const x[16] = {block,      block + 4,  block + 8,  block + 12,
                                     block + 16, block + 20, block + 24, block + 28,
                                     block + 32, block + 36, block + 40, block + 44,
                                     block + 48, block + 52, block + 56, block + 60};
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

  Step<F, 7>(a, b, c, d, x[0], 0xd76aa478);
  Step<F, 12>(d, a, b, c, x[1], 0xe8c7b756);
  Step<F, 17>(c, d, a, b, x[2], 0x242070db);
  Step<F, 22>(b, c, d, a, x[3], 0xc1bdceee);
  Step<F, 7>(a, b, c, d, x[4], 0xf57c0faf);
  Step<F, 12>(d, a, b, c, x[5], 0x4787c62a);
  Step<F, 17>(c, d, a, b, x[6], 0xa8304613);
  Step<F, 22>(b, c, d, a, x[7], 0xfd469501);
  Step<F, 7>(a, b, c, d, x[8], 0x698098d8);
  Step<F, 12>(d, a, b, c, x[9], 0x8b44f7af);
  Step<F, 17>(c, d, a, b, x[10], 0xffff5bb1);
  Step<F, 22>(b, c, d, a, x[11], 0x895cd7be);
  Step<F, 7>(a, b, c, d, x[12], 0x6b901122);
  Step<F, 12>(d, a, b, c, x[13], 0xfd987193);
  Step<F, 17>(c, d, a, b, x[14], 0xa679438e);
  Step<F, 22>(b, c, d, a, x[15], 0x49b40821);

  StepG<5>(a, b, c, d, x[1], 0xf61e2562);
  StepG<9>(d, a, b, c, x[6], 0xc040b340);
  StepG<14>(c, d, a, b, x[11], 0x265e5a51);
  StepG<20>(b, c, d, a, x[0], 0xe9b6c7aa);
  StepG<5>(a, b, c, d, x[5], 0xd62f105d);
  StepG<9>(d, a, b, c, x[10], 0x02441453);
  StepG<14>(c, d, a, b, x[15], 0xd8a1e681);
  StepG<20>(b, c, d, a, x[4], 0xe7d3fbc8);
  StepG<5>(a, b, c, d, x[9], 0x21e1cde6);
  StepG<9>(d, a, b, c, x[14], 0xc33707d6);
  StepG<14>(c, d, a, b, x[3], 0xf4d50d87);
  StepG<20>(b, c, d, a, x[8], 0x455a14ed);
  StepG<5>(a, b, c, d, x[13], 0xa9e3e905);
  StepG<9>(d, a, b, c, x[2], 0xfcefa3f8);
  StepG<14>(c, d, a, b, x[7], 0x676f02d9);
  StepG<20>(b, c, d, a, x[12], 0x8d2a4c8a);

  Step<H, 4>(a, b, c, d, x[5], 0xfffa3942);
  Step<H, 11>(d, a, b, c, x[8], 0x8771f681);
  Step<H, 16>(c, d, a, b, x[11], 0x6d9d6122);
  Step<H, 23>(b, c, d, a, x[14], 0xfde5380c);
  Step<H, 4>(a, b, c, d, x[1], 0xa4beea44);
  Step<H, 11>(d, a, b, c, x[4], 0x4bdecfa9);
  Step<H, 16>(c, d, a, b, x[7], 0xf6bb4b60);
  Step<H, 23>(b, c, d, a, x[10], 0xbebfbc70);
  Step<H, 4>(a, b, c, d, x[13], 0x289b7ec6);
  Step<H, 11>(d, a, b, c, x[0], 0xeaa127fa);
  Step<H, 16>(c, d, a, b, x[3], 0xd4ef3085);
  Step<H, 23>(b, c, d, a, x[6], 0x04881d05);
  Step<H, 4>(a, b, c, d, x[9], 0xd9d4d039);
  Step<H, 11>(d, a, b, c, x[12], 0xe6db99e5);
  Step<H, 16>(c, d, a, b, x[15], 0x1fa27cf8);
  Step<H, 23>(b, c, d, a, x[2], 0xc4ac5665);

  Step<I, 6>(a, b, c, d, x[0], 0xf4292244);
  Step<I, 10>(d, a, b, c, x[7], 0x432aff97);
  Step<I, 15>(c, d, a, b, x[14], 0xab9423a7);
  Step<I, 21>(b, c, d, a, x[5], 0xfc93a039);
  Step<I, 6>(a, b, c, d, x[12], 0x655b59c3);
  Step<I, 10>(d, a, b, c, x[3], 0x8f0ccc92);
  Step<I, 15>(c, d, a, b, x[10], 0xffeff47d);
  Step<I, 21>(b, c, d, a, x[1], 0x85845dd1);
  Step<I, 6>(a, b, c, d, x[8], 0x6fa87e4f);
  Step<I, 10>(d, a, b, c, x[15], 0xfe2ce6e0);
  Step<I, 15>(c, d, a, b, x[6], 0xa3014314);
  Step<I, 21>(b, c, d, a, x[13], 0x4e0811a1);
  Step<I, 6>(a, b, c, d, x[4], 0xf7537e82);
  Step<I, 10>(d, a, b, c, x[11], 0xbd3af235);
  Step<I, 15>(c, d, a, b, x[2], 0x2ad7d2bb);
  Step<I, 21>(b, c, d, a, x[9], 0xeb86d391);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void Compress(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) CompressBlock(state, data);
}

}  // namespace

Md5::Md5() { Reset(); }

Md5::~Md5() { SecureWipe(this, sizeof(*this)); }

void Md5::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  length_ = 0;
  buffered_ = 0;
  std::memset(buffer_, 0, sizeof(buffer_));
}

void Md5::Update(const void* data, std::size_t size) {
  length_ += size;
  AbsorbBlocks(
      buffer_, buffered_, static_cast<const std::uint8_t*>(data), size,
      [this](const std::uint8_t* blocks, std::size_t count) { Compress(state_, blocks, count); });
}

void Md5::Final(std::uint8_t* out) {
  const std::uint64_t bit_length = length_ * 8;
  std::uint8_t pad[kBlockSize * 2] = {0x80};
  std::size_t pad_size = (buffered_ < 56 ? 56 : 120) - buffered_;
  bytes::StoreLe64(pad + pad_size, bit_length);
  Update(pad, pad_size + 8);
  for (int i = 0; i < 4; ++i) bytes::StoreLe32(out + 4 * i, state_[i]);
  Reset();
}

void Md5Digest(const void* data, std::size_t size, std::uint8_t* out) {
  Md5 md5;
  md5.Update(data, size);
  md5.Final(out);
}

}  // namespace kcertadm
