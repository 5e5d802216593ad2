#include "crypto/random/random_md5.h"

#include <cstring>

#include "base/secure_memory.h"

namespace kcertadm {

Md5RandomGenerator::~Md5RandomGenerator() {
  SecureWipe(state_, sizeof state_);
  SecureWipe(output_, sizeof output_);
  SecureWipe(step_, sizeof step_);
}

void Md5RandomGenerator::Seed(const std::uint8_t* data, std::size_t size) {
  if (warmup_ == 2) {
    // The step is the digest of the still empty context, made odd.
    running_.Final(step_);
    step_[kBlockSize - 1] |= 1;
  }
  if (warmup_ > 0) --warmup_;
  if (warmup_ == 0 && !pending_) running_.Update(state_, kBlockSize);
  if (size > 0) running_.Update(data, size);
  pending_ = true;
}

void Md5RandomGenerator::Advance() {
  unsigned carry = 0;
  for (std::size_t i = kBlockSize; i-- > 0;) {
    const unsigned addend = warmup_ != 0 ? (i == kBlockSize - 1 ? 1 : 0) : step_[i];
    const unsigned sum = state_[i] + addend + carry;
    state_[i] = static_cast<std::uint8_t>(sum);
    carry = sum >> 8;
  }
}

void Md5RandomGenerator::Generate(std::uint8_t* out, std::size_t count) {
  if (pending_) {
    pending_ = false;
    available_ = 0;
    running_.Final(state_);
  }
  while (count > available_) {
    if (available_ > 0) std::memcpy(out, output_ + (kBlockSize - available_), available_);
    out += available_;
    count -= available_;
    Md5Digest(state_, kBlockSize, output_);
    Advance();
    available_ = kBlockSize;
  }
  if (count > 0) std::memcpy(out, output_ + (kBlockSize - available_), count);
  available_ -= count;
}

}  // namespace kcertadm
