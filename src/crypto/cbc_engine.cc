#include "crypto/cbc_engine.h"

#include <cstring>

#include "crypto/secure_memory.h"

namespace kcertadm {

CbcEngine::~CbcEngine() {
  SecureWipe(iv_, sizeof(iv_));
  SecureWipe(pending_, sizeof(pending_));
}

void CbcEngine::Start(const CbcImplementation* implementation, const void* context, const std::uint8_t* iv,
                      bool encrypt, bool padding) {
  implementation_ = implementation;
  context_ = context;
  encrypt_ = encrypt;
  padding_ = padding;
  std::memcpy(iv_, iv, sizeof(iv_));
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
  const std::uint64_t produce =
      hold_last_block ? (total == 0 ? 0 : (total - 1) / kCbcBlockSize * kCbcBlockSize)
                      : total / kCbcBlockSize * kCbcBlockSize;
  if (produce > out_size || (produce > 0 && out == nullptr)) return TkErrOutputTooSmall;

  std::uint64_t done = 0;
  if (pending_length_ > 0 && produce > 0) {
    const std::uint32_t take = kCbcBlockSize - pending_length_;
    std::memcpy(pending_ + pending_length_, in, take);
    in += take;
    in_length -= take;
    Process(pending_, out, 1);
    SecureWipe(pending_, sizeof(pending_));
    pending_length_ = 0;
    done = kCbcBlockSize;
  }
  const std::size_t blocks = static_cast<std::size_t>((produce - done) / kCbcBlockSize);
  Process(in, out + done, blocks);
  in += blocks * kCbcBlockSize;
  in_length -= static_cast<std::uint32_t>(blocks * kCbcBlockSize);
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
  if (out == nullptr || out_size < kCbcBlockSize) return TkErrOutputTooSmall;
  const auto pad = static_cast<std::uint8_t>(kCbcBlockSize - pending_length_);
  std::memset(pending_ + pending_length_, pad, pad);
  Process(pending_, out, 1);
  SecureWipe(pending_, sizeof(pending_));
  pending_length_ = 0;
  *out_length = kCbcBlockSize;
  return TkOk;
}

int CbcEngine::FinalDecryptPadded(std::uint8_t* out, std::uint32_t* out_length, std::uint32_t out_size) {
  if (pending_length_ != kCbcBlockSize) return TkErrInputTooLong;
  std::uint8_t last[kCbcBlockSize];
  Process(pending_, last, 1);
  SecureWipe(pending_, sizeof(pending_));
  pending_length_ = 0;
  const std::uint8_t pad = last[kCbcBlockSize - 1];
  int status = TkOk;
  if (pad == 0 || pad > kCbcBlockSize) status = TkErrBadData;
  for (std::uint32_t i = kCbcBlockSize - pad; status == TkOk && i < kCbcBlockSize; ++i)
    if (last[i] != pad) status = TkErrBadData;
  const std::uint32_t keep = kCbcBlockSize - pad;
  if (status == TkOk && keep > 0 && (out == nullptr || keep > out_size)) status = TkErrOutputTooSmall;
  if (status == TkOk) {
    if (keep > 0) std::memcpy(out, last, keep);
    *out_length = keep;
  }
  SecureWipe(last, sizeof(last));
  return status;
}

}  // namespace kcertadm
