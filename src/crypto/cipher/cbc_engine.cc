#include "crypto/cipher/cbc_engine.h"

#include <cstring>

#include "base/secure_memory.h"

namespace kcertadm {

CbcEngine::~CbcEngine() {
  SecureWipe(iv_, sizeof(iv_));
  SecureWipe(pending_, sizeof(pending_));
}

void CbcEngine::Start(const CbcImplementation* implementation, const void* context,
                      const std::uint8_t* iv, bool encrypt, bool padding) {
  implementation_ = implementation;
  context_ = context;
  encrypt_ = encrypt;
  padding_ = padding;
  block_size_ = implementation->BlockSize();
  std::memcpy(iv_, iv, block_size_);
  SecureWipe(pending_, sizeof(pending_));
  pending_length_ = 0;
}

void CbcEngine::Process(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  if (blocks == 0) return;
  if (encrypt_)
    implementation_->Encrypt(context_, iv_, in, out, blocks);
  else
    implementation_->Decrypt(context_, iv_, in, out, blocks);
}

int CbcEngine::Update(std::uint8_t* out, std::uint32_t* out_length, std::uint32_t out_size,
                      const std::uint8_t* in, std::uint32_t in_length) {
  if (in == nullptr && in_length > 0) return TkErrBadParameter;
  const std::uint64_t total = std::uint64_t{pending_length_} + in_length;
  // Padded decryption keeps the last block (complete or not) for Final.
  const bool hold_last_block = padding_ && !encrypt_;
  const std::uint64_t produce = hold_last_block
                                    ? (total == 0 ? 0 : (total - 1) / block_size_ * block_size_)
                                    : total / block_size_ * block_size_;
  if (produce > out_size || (produce > 0 && out == nullptr)) return TkErrOutputTooSmall;

  std::uint64_t done = 0;
  if (pending_length_ > 0 && produce > 0) {
    const std::uint32_t take = block_size_ - pending_length_;
    std::memcpy(pending_ + pending_length_, in, take);
    in += take;
    in_length -= take;
    Process(pending_, out, 1);
    SecureWipe(pending_, sizeof(pending_));
    pending_length_ = 0;
    done = block_size_;
  }
  const std::size_t blocks = static_cast<std::size_t>((produce - done) / block_size_);
  Process(in, out + done, blocks);
  in += blocks * block_size_;
  in_length -= static_cast<std::uint32_t>(blocks * block_size_);
  if (in_length > 0) {
    std::memcpy(pending_ + pending_length_, in, in_length);
    pending_length_ += in_length;
  }
  *out_length = static_cast<std::uint32_t>(produce);
  return TkOk;
}

int CbcEngine::Final(std::uint8_t* out, std::uint32_t* out_length, std::uint32_t out_size) {
  if (!padding_) {
    if (pending_length_ > 0) return TkErrInputTooLong;
    *out_length = 0;
    return TkOk;
  }
  if (!encrypt_) return FinalDecryptPadded(out, out_length, out_size);
  if (out == nullptr || out_size < block_size_) return TkErrOutputTooSmall;
  const auto pad = static_cast<std::uint8_t>(block_size_ - pending_length_);
  std::memset(pending_ + pending_length_, pad, pad);
  Process(pending_, out, 1);
  SecureWipe(pending_, sizeof(pending_));
  pending_length_ = 0;
  *out_length = block_size_;
  return TkOk;
}

// The padding is checked over the whole block without early exits or
// branches on its bytes, so that its timing tells nothing of where a bad
// byte sits; only the verdict decides what follows.
int CbcEngine::FinalDecryptPadded(std::uint8_t* out, std::uint32_t* out_length,
                                  std::uint32_t out_size) {
  if (pending_length_ != block_size_) return TkErrInputTooLong;
  std::uint8_t last[kCbcMaxBlockSize];
  Process(pending_, last, 1);
  SecureWipe(pending_, sizeof(pending_));
  pending_length_ = 0;
  const std::uint32_t pad = last[block_size_ - 1];
  std::uint32_t bad =
      ((pad - 1) >> 8) | ((block_size_ - pad) >> 8);  // pad 0 or above the block size
  for (std::uint32_t i = 0; i < block_size_; ++i) {
    const std::uint32_t in_padding = (block_size_ - 1 - i - pad) >> 8 & 1;  // i >= block size - pad
    bad |= in_padding & ((last[i] ^ pad) + 0xff) >> 8;
  }
  int status = (bad & 1) ? TkErrBadData : TkOk;
  const std::uint32_t keep = block_size_ - pad;
  if (status == TkOk && keep > 0 && (out == nullptr || keep > out_size))
    status = TkErrOutputTooSmall;
  if (status == TkOk) {
    if (keep > 0) std::memcpy(out, last, keep);
    *out_length = keep;
  }
  SecureWipe(last, sizeof(last));
  return status;
}

}  // namespace kcertadm
