// The CBC part shared by the block cipher handlers and the password-based
// encryption: block implementations as methods, and the buffering, padding
// and final-call rules around them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/toolkit/toolkit_framework.h"

namespace kcertadm {

inline constexpr std::uint32_t kCbcBlockSize = 8;      // DES, triple DES, RC2
inline constexpr std::uint32_t kCbcMaxBlockSize = 16;  // AES

// What the CBC cipher methods point to. Codes are implementation codes.
class CbcImplementation : public MethodImplementation {
 public:
  virtual std::size_t ContextSize() const = 0;
  // 8 unless the cipher says otherwise; at most kCbcMaxBlockSize.
  virtual std::uint32_t BlockSize() const { return kCbcBlockSize; }
  // Key schedule into `context` from the record of the method's key form
  // and the algorithm's parameter record.
  virtual int Init(void* context, const void* key_record, const void* parameters) const = 0;
  // Whole blocks; `iv` becomes the last ciphertext block.
  virtual void Encrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t blocks) const = 0;
  virtual void Decrypt(const void* context, std::uint8_t* iv, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t blocks) const = 0;
};

// One direction of CBC over a bound implementation. Update outputs whole
// blocks and keeps the rest; with padding (PKCS #5) the encrypt Final adds
// 1..block size bytes of their count and the decrypt side keeps the last
// block back until Final checks and strips the padding, in constant time. Without padding a partial
// block at Final is 525. Input and output may be the same buffer only while nothing is pending from
// an earlier Update; otherwise they must not overlap.
class CbcEngine {
 public:
  CbcEngine() = default;
  ~CbcEngine();
  CbcEngine(const CbcEngine&) = delete;
  CbcEngine& operator=(const CbcEngine&) = delete;

  void Start(const CbcImplementation* implementation, const void* context, const std::uint8_t* iv,
             bool encrypt, bool padding);
  bool started() const { return implementation_ != nullptr; }
  std::uint32_t block_size() const { return block_size_; }

  int Update(std::uint8_t* out, std::uint32_t* out_length, std::uint32_t out_size,
             const std::uint8_t* in, std::uint32_t in_length);
  int Final(std::uint8_t* out, std::uint32_t* out_length, std::uint32_t out_size);

 private:
  void Process(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
  int FinalDecryptPadded(std::uint8_t* out, std::uint32_t* out_length, std::uint32_t out_size);

  const CbcImplementation* implementation_ = nullptr;
  const void* context_ = nullptr;
  bool encrypt_ = true;
  bool padding_ = false;
  std::uint32_t block_size_ = kCbcBlockSize;
  std::uint8_t iv_[kCbcMaxBlockSize] = {};
  std::uint8_t pending_[kCbcMaxBlockSize] = {};
  std::uint32_t pending_length_ = 0;
};

}  // namespace kcertadm
