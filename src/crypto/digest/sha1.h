// SHA-1 message digest (FIPS 180-1).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

class Sha1 {
 public:
  static constexpr std::size_t kDigestSize = 20;
  static constexpr std::size_t kBlockSize = 64;

  Sha1();   // ready for Update
  ~Sha1();  // wipes its state
  Sha1(const Sha1&) = default;
  Sha1& operator=(const Sha1&) = default;

  void Update(const void* data, std::size_t size);
  // Writes kDigestSize bytes to out, then starts a fresh message.
  void Final(std::uint8_t* out);

 private:
  void Reset();

  std::uint32_t state_[5];
  std::uint64_t length_;  // bytes hashed so far
  std::uint8_t buffer_[kBlockSize];
  std::size_t buffered_;
};

void Sha1Digest(const void* data, std::size_t size, std::uint8_t* out);

}  // namespace kcertadm
