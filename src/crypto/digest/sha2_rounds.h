// The portable SHA-2 block function, shared by SHA-256 (32-bit words, 64
// rounds) and SHA-512 (64-bit words, 80 rounds). Family supplies Word,
// kRounds, kConstants, Load and the four sigma functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/secure_memory.h"

namespace kcertadm::sha2_internal {

// Message word I of the expanded schedule, kept in a 16-word ring.
template <typename Family, int I>
inline typename Family::Word ScheduleWord(typename Family::Word* w) {
  if constexpr (I < 16) {
    return w[I];
  } else {
    const typename Family::Word v = Family::LowerSigma1(w[(I - 2) & 15]) + w[(I - 7) & 15] +
                                    Family::LowerSigma0(w[(I - 15) & 15]) + w[I & 15];
    w[I & 15] = v;
    return v;
  }
}

// One round; the caller rotates the roles of the eight variables.
template <typename Family, int I, typename Word = typename Family::Word>
inline void Round(Word a, Word b, Word c, Word& d, Word e, Word f, Word g, Word& h, Word* w) {
  const Word t1 = h + Family::UpperSigma1(e) + (g ^ (e & (f ^ g))) + Family::kConstants[I] +
                  ScheduleWord<Family, I>(w);
  const Word t2 = Family::UpperSigma0(a) + ((a & b) | (c & (a | b)));
  d += t1;
  h = t1 + t2;
}

// Eight rounds; afterwards the roles are back where they started.
template <typename Family, int I, typename Word = typename Family::Word>
inline void EightRounds(Word* v, Word* w) {
  Round<Family, I + 0>(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], w);
  Round<Family, I + 1>(v[7], v[0], v[1], v[2], v[3], v[4], v[5], v[6], w);
  Round<Family, I + 2>(v[6], v[7], v[0], v[1], v[2], v[3], v[4], v[5], w);
  Round<Family, I + 3>(v[5], v[6], v[7], v[0], v[1], v[2], v[3], v[4], w);
  Round<Family, I + 4>(v[4], v[5], v[6], v[7], v[0], v[1], v[2], v[3], w);
  Round<Family, I + 5>(v[3], v[4], v[5], v[6], v[7], v[0], v[1], v[2], w);
  Round<Family, I + 6>(v[2], v[3], v[4], v[5], v[6], v[7], v[0], v[1], w);
  Round<Family, I + 7>(v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[0], w);
}

template <typename Family, int... Group>
inline void AllRounds(typename Family::Word* v, typename Family::Word* w,
                      std::integer_sequence<int, Group...>) {
  (EightRounds<Family, Group * 8>(v, w), ...);
}

template <typename Family>
void CompressPortable(typename Family::Word state[8], const std::uint8_t* data,
                      std::size_t blocks) {
  using Word = typename Family::Word;
  Word w[16], v[8];
  for (; blocks > 0; --blocks, data += 16 * sizeof(Word)) {
    for (int i = 0; i < 16; ++i) w[i] = Family::Load(data + i * sizeof(Word));
    for (int i = 0; i < 8; ++i) v[i] = state[i];
    AllRounds<Family>(v, w, std::make_integer_sequence<int, Family::kRounds / 8>());
    for (int i = 0; i < 8; ++i) state[i] += v[i];
  }
  SecureWipe(w, sizeof(w));
  SecureWipe(v, sizeof(v));
}

}  // namespace kcertadm::sha2_internal
