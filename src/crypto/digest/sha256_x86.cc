// SHA-256 with the x86 SHA extensions: two rounds per instruction, the
// state held as the register pair ABEF / CDGH, the message schedule in
// vector registers.
#include "crypto/digest/sha256_compress.h"

#include <cstdint>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)

#pragma GCC push_options
#pragma GCC target("sha,ssse3,sse4.1")
#include <immintrin.h>

namespace kcertadm::sha256_internal {
namespace {

// Four rounds with message words M_G (words 4G .. 4G+3, G = 0..15). The
// ring `message` holds M_G-4 .. M_G-1 in slots G % 4 ...; M_G replaces M_G-4.
template <int G>
inline void FourRounds(__m128i& abef, __m128i& cdgh, __m128i* message) {
  __m128i& m = message[G % 4];
  if constexpr (G >= 4) {
    // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16]
    const __m128i previous = message[(G + 3) % 4];
    const __m128i sum = _mm_add_epi32(_mm_sha256msg1_epu32(m, message[(G + 1) % 4]),
                                      _mm_alignr_epi8(previous, message[(G + 2) % 4], 4));
    m = _mm_sha256msg2_epu32(sum, previous);
  }
  __m128i k =
      _mm_add_epi32(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * G)));
  cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
  abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0e));
}

template <int... G>
inline void AllRounds(__m128i& abef, __m128i& cdgh, __m128i* message,
                      std::integer_sequence<int, G...>) {
  (FourRounds<G>(abef, cdgh, message), ...);
}

}  // namespace

void CompressShaExtensions(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  // state words a..h to ABEF and CDGH (highest lane first).
  const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);
  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abef_saved = abef, cdgh_saved = cdgh;
    __m128i message[4];
    for (int i = 0; i < 4; ++i)
      message[i] = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byte_swap);
    AllRounds(abef, cdgh, message, std::make_integer_sequence<int, 16>());
    abef = _mm_add_epi32(abef, abef_saved);
    cdgh = _mm_add_epi32(cdgh, cdgh_saved);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xf0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace kcertadm::sha256_internal

#pragma GCC pop_options

#else  // not x86

namespace kcertadm::sha256_internal {
void CompressShaExtensions(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  CompressPortable(state, data, blocks);
}
}  // namespace kcertadm::sha256_internal

#endif
