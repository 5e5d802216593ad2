// The MD5-based deterministic random generator behind AlgInfoRandomMd5.
//
// State: S (16 bytes, zero at start), the output block O, the step T, a
// running MD5 context and a warm-up counter starting at 2. Seeding feeds the
// running context (chaining S in first once warmed up and output was
// taken); output finishes the context into S when seed material is pending,
// and every new block is O = MD5(S), after which S advances by one (while
// warming up) or by the odd step T, as 128-bit big-endian numbers. Output
// bytes of a block are delivered in order; a request may be served from
// the rest of the previous block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digest/md5.h"

namespace kcertadm {

class Md5RandomGenerator {
 public:
  static constexpr std::size_t kBlockSize = Md5::kDigestSize;

  Md5RandomGenerator() = default;
  ~Md5RandomGenerator();
  Md5RandomGenerator(const Md5RandomGenerator&) = delete;
  Md5RandomGenerator& operator=(const Md5RandomGenerator&) = delete;

  void Seed(const std::uint8_t* data, std::size_t size);
  void Generate(std::uint8_t* out, std::size_t count);

 private:
  void Advance();

  bool pending_ = false;
  std::uint32_t warmup_ = 2;
  std::uint8_t state_[kBlockSize] = {};
  std::uint8_t output_[kBlockSize] = {};
  std::uint8_t step_[kBlockSize] = {};
  std::size_t available_ = 0;
  Md5 running_;
};

}  // namespace kcertadm
