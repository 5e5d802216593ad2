// SHA-1 with the x86 SHA extensions: four rounds per instruction, the
// message schedule in vector registers.
#include "crypto/digest/sha1_compress.h"

#include <cstdint>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)

#pragma GCC push_options
#pragma GCC target("sha,ssse3,sse4.1")
#include <cpuid.h>
#include <immintrin.h>

namespace kcertadm::sha1_internal {
namespace {

// Four rounds with message words M_G (G = 0..19). `message` is a ring of
// M_G .. M_G+3; M_G+4 is computed as soon as M_G+3 is known.
template <int G>
inline void FourRounds(__m128i& abcd, __m128i& previous, __m128i* message, __m128i e_start) {
  __m128i& m = message[G % 4];
  if constexpr (G >= 4) {
    // M_G = msg2(msg1(M_G-4, M_G-3) ^ M_G-2, M_G-1)
    m = _mm_sha1msg2_epu32(
        _mm_xor_si128(_mm_sha1msg1_epu32(m, message[(G + 1) % 4]), message[(G + 2) % 4]),
        message[(G + 3) % 4]);
  }
  __m128i e;
  if constexpr (G == 0)
    e = _mm_add_epi32(e_start, m);
  else
    e = _mm_sha1nexte_epu32(previous, m);
  previous = abcd;
  abcd = _mm_sha1rnds4_epu32(abcd, e, G / 5);
}

template <int... G>
inline void AllRounds(__m128i& abcd, __m128i& previous, __m128i* message, __m128i e_start,
                      std::integer_sequence<int, G...>) {
  (FourRounds<G>(abcd, previous, message, e_start), ...);
}

}  // namespace

bool HaveShaExtensions() {
  static const bool available = [] {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c & bit_SSSE3) != 0, sse41 = (c & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & bit_SHA) != 0;
  }();
  return available;
}

void CompressShaExtensions(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks) {
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1b);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abcd_saved = abcd, e_saved = e;
    __m128i message[4];
    for (int i = 0; i < 4; ++i)
      message[i] = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byte_swap);
    __m128i previous = abcd;
    AllRounds(abcd, previous, message, e_saved, std::make_integer_sequence<int, 20>());
    e = _mm_sha1nexte_epu32(previous, e_saved);
    abcd = _mm_add_epi32(abcd, abcd_saved);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1b));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e, 3));
}

}  // namespace kcertadm::sha1_internal

#pragma GCC pop_options

#else  // not x86

namespace kcertadm::sha1_internal {
bool HaveShaExtensions() { return false; }
void CompressShaExtensions(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks) {
  CompressPortable(state, data, blocks);
}
}  // namespace kcertadm::sha1_internal

#endif
