// AES with the x86 AES instructions (AES-NI): one instruction per round, in
// constant time. Only these functions are compiled for the instructions;
// callers check HaveAesNi() at run time first.
#include "crypto/cipher/aes_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

#define KCERTADM_AESNI __attribute__((target("aes,sse2")))

namespace kcertadm::aes_internal {
namespace {

KCERTADM_AESNI inline __m128i Load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

KCERTADM_AESNI inline void Store(std::uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// The eight ciphertexts of a decryption group go through the rounds side by
// side, so that the instructions overlap in the pipeline.
constexpr std::size_t kParallel = 8;

KCERTADM_AESNI void DecryptGroup(const AesKeySchedule& schedule, __m128i (&x)[kParallel]) {
  const std::uint32_t rounds = schedule.rounds;
  const __m128i first = Load(schedule.decrypt[0]);
#pragma GCC unroll 8
  for (auto& v : x) v = _mm_xor_si128(v, first);
  for (std::uint32_t round = 1; round < rounds; ++round) {
    const __m128i key = Load(schedule.decrypt[round]);
#pragma GCC unroll 8
    for (auto& v : x) v = _mm_aesdec_si128(v, key);
  }
  const __m128i last = Load(schedule.decrypt[rounds]);
#pragma GCC unroll 8
  for (auto& v : x) v = _mm_aesdeclast_si128(v, last);
}

KCERTADM_AESNI __m128i DecryptOne(const AesKeySchedule& schedule, __m128i v) {
  v = _mm_xor_si128(v, Load(schedule.decrypt[0]));
  for (std::uint32_t round = 1; round < schedule.rounds; ++round)
    v = _mm_aesdec_si128(v, Load(schedule.decrypt[round]));
  return _mm_aesdeclast_si128(v, Load(schedule.decrypt[schedule.rounds]));
}

}  // namespace

bool HaveAesNi() {
  static const bool available = [] {
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_AES) != 0 && (d & bit_SSE2) != 0;
  }();
  return available;
}

// The equivalent inverse cipher: the encryption keys in reverse order, the
// inner ones passed through InvMixColumns.
KCERTADM_AESNI void NiPrepareDecryptKeys(AesKeySchedule& schedule) {
  const std::uint32_t rounds = schedule.rounds;
  Store(schedule.decrypt[0], Load(schedule.encrypt[rounds]));
  for (std::uint32_t i = 1; i < rounds; ++i)
    Store(schedule.decrypt[i], _mm_aesimc_si128(Load(schedule.encrypt[rounds - i])));
  Store(schedule.decrypt[rounds], Load(schedule.encrypt[0]));
}

KCERTADM_AESNI void NiCbcEncrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                                 const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  const std::uint32_t rounds = schedule.rounds;
  __m128i chain = Load(iv);
  for (; blocks > 0; --blocks, in += kAesBlockSize, out += kAesBlockSize) {
    __m128i v = _mm_xor_si128(_mm_xor_si128(Load(in), chain), Load(schedule.encrypt[0]));
    for (std::uint32_t round = 1; round < rounds; ++round)
      v = _mm_aesenc_si128(v, Load(schedule.encrypt[round]));
    chain = _mm_aesenclast_si128(v, Load(schedule.encrypt[rounds]));
    Store(out, chain);
  }
  Store(iv, chain);
}

KCERTADM_AESNI void NiCbcDecrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                                 const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  __m128i chain = Load(iv);
  for (; blocks >= kParallel;
       blocks -= kParallel, in += kParallel * kAesBlockSize, out += kParallel * kAesBlockSize) {
    __m128i cipher[kParallel], x[kParallel];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kParallel; ++i) x[i] = cipher[i] = Load(in + i * kAesBlockSize);
    DecryptGroup(schedule, x);
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kParallel; ++i) {
      Store(out + i * kAesBlockSize, _mm_xor_si128(x[i], chain));
      chain = cipher[i];
    }
  }
  for (; blocks > 0; --blocks, in += kAesBlockSize, out += kAesBlockSize) {
    const __m128i cipher = Load(in);
    Store(out, _mm_xor_si128(DecryptOne(schedule, cipher), chain));
    chain = cipher;
  }
  Store(iv, chain);
}

}  // namespace kcertadm::aes_internal

#else  // not x86: the portable kernel only

namespace kcertadm::aes_internal {
bool HaveAesNi() { return false; }
void NiPrepareDecryptKeys(AesKeySchedule&) {}
void NiCbcEncrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                  const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  PortableCbcEncrypt(schedule, iv, in, out, blocks);
}
void NiCbcDecrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                  const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  PortableCbcDecrypt(schedule, iv, in, out, blocks);
}
}  // namespace kcertadm::aes_internal

#endif
