// MD2 message digest (RFC 1319, with the checksum as corrected in the errata:
// the checksum byte is XORed with S[c ^ L], not assigned).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

class Md2 {
 public:
  static constexpr std::size_t kDigestSize = 16;
  static constexpr std::size_t kBlockSize = 16;

  Md2();   // ready for Update
  ~Md2();  // wipes its state
  Md2(const Md2&) = default;
  Md2& operator=(const Md2&) = default;

  void Update(const void* data, std::size_t size);
  // Writes kDigestSize bytes to out, then starts a fresh message.
  void Final(std::uint8_t* out);

 private:
  void Reset();
  void Compress(const std::uint8_t* block);

  std::uint8_t state_[48];
  std::uint8_t checksum_[16];
  std::uint8_t buffer_[kBlockSize];
  std::size_t buffered_;
};

void Md2Digest(const void* data, std::size_t size, std::uint8_t* out);

}  // namespace kcertadm
