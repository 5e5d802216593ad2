#include "crypto/cipher/rc4.h"

#include <utility>

namespace kcertadm {

void Rc4SetKey(Rc4State& state, const std::uint8_t* key, std::size_t key_size) {
  for (int n = 0; n < 256; ++n) state.s[n] = static_cast<std::uint8_t>(n);
  std::uint8_t j = 0;
  for (int n = 0; n < 256; ++n) {
    j = static_cast<std::uint8_t>(j + state.s[n] + key[n % key_size]);
    std::swap(state.s[n], state.s[j]);
  }
  state.i = 0;
  state.j = 0;
}

void Rc4Crypt(Rc4State& state, const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
  std::uint8_t i = state.i, j = state.j;
  std::uint8_t* s = state.s;
  for (std::size_t n = 0; n < size; ++n) {
    i = static_cast<std::uint8_t>(i + 1);
    j = static_cast<std::uint8_t>(j + s[i]);
    std::swap(s[i], s[j]);
    out[n] = in[n] ^ s[static_cast<std::uint8_t>(s[i] + s[j])];
  }
  state.i = i;
  state.j = j;
}

}  // namespace kcertadm
