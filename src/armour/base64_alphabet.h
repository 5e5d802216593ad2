// The Base64 alphabet and the encoding of one group, shared by the block
// encoder and the line writer.
#pragma once

#include <cstdint>

namespace kcertadm {

inline constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Encodes up to three octets (available of them, at least 1) into four
// characters, padding with "=".
inline void Base64EncodeGroup(const std::uint8_t* in, std::int64_t available, char* out) noexcept {
  const std::uint32_t b0 = in[0];
  const std::uint32_t b1 = available > 1 ? in[1] : 0;
  const std::uint32_t b2 = available > 2 ? in[2] : 0;
  out[0] = kBase64Alphabet[b0 >> 2];
  out[1] = kBase64Alphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
  out[2] = available > 1 ? kBase64Alphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
  out[3] = available > 2 ? kBase64Alphabet[b2 & 0x3F] : '=';
}

}  // namespace kcertadm
