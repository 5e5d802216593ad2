// MD5 message digest (RFC 1321).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

class Md5 {
 public:
  static constexpr std::size_t kDigestSize = 16;
  static constexpr std::size_t kBlockSize = 64;

  Md5();   // ready for Update
  ~Md5();  // wipes its state
  Md5(const Md5&) = default;
  Md5& operator=(const Md5&) = default;

  void Update(const void* data, std::size_t size);
  // Writes kDigestSize bytes to out, then starts a fresh message.
  void Final(std::uint8_t* out);

 private:
  void Reset();

  std::uint32_t state_[4];
  std::uint64_t length_;  // bytes hashed so far
  std::uint8_t buffer_[kBlockSize];
  std::size_t buffered_;
};

void Md5Digest(const void* data, std::size_t size, std::uint8_t* out);

}  // namespace kcertadm
