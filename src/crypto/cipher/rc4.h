// RC4 stream cipher.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

inline constexpr std::size_t kRc4MaxKeySize = 256;

struct Rc4State {
  std::uint8_t s[256];
  std::uint8_t i, j;
};

// `key_size` 1..256 (callers check).
void Rc4SetKey(Rc4State& state, const std::uint8_t* key, std::size_t key_size);
// XORs the key stream into `size` bytes; `in` and `out` may be the same.
void Rc4Crypt(Rc4State& state, const std::uint8_t* in, std::uint8_t* out, std::size_t size);

}  // namespace kcertadm
