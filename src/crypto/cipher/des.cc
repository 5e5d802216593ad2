// Table-driven DES: the S-boxes and P are combined into eight SP tables at
// compile time, and both halves are kept rotated left by one bit between the
// initial and final permutations, so that every S-box input is six adjacent
// bits of a word.
#include "crypto/cipher/des.h"

#include <array>
#include <bit>

#include "base/secure_memory.h"
#include "crypto/digest/digest_bytes.h"

namespace kcertadm {
namespace {

using bytes::LoadBe32;
using bytes::StoreBe32;

constexpr std::uint8_t kSBox[8][4][16] = {{{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
                                           {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
                                           {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
                                           {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
                                          {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
                                           {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
                                           {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
                                           {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
                                          {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
                                           {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
                                           {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
                                           {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
                                          {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
                                           {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
                                           {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
                                           {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
                                          {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
                                           {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
                                           {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
                                           {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
                                          {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
                                           {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
                                           {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
                                           {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
                                          {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
                                           {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
                                           {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
                                           {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
                                          {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
                                           {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
                                           {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
                                           {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};

// Permutation P applied to the S-box outputs (bit numbers 1..32, MSB first).
constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

// Permuted choice 1 (key bits 1..64, MSB first) and 2 (bits of C‖D, 1..56).
constexpr std::uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                   10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                   63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                   14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr std::uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr bool RowsArePermutations() {
  for (const auto& box : kSBox)
    for (const auto& row : box) {
      unsigned seen = 0;
      for (std::uint8_t v : row) seen |= 1u << v;
      if (seen != 0xffff) return false;
    }
  return true;
}
static_assert(RowsArePermutations(), "every S-box row holds 0..15 once");

using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;

// SP[i][v]: S-box i of the six input bits v (first bit as MSB), put through
// P and rotated left by one like the halves.
constexpr SpTables MakeSpTables() {
  SpTables sp{};
  for (int box = 0; box < 8; ++box) {
    for (int v = 0; v < 64; ++v) {
      const int row = ((v >> 4) & 2) | (v & 1);
      const int column = (v >> 1) & 15;
      const std::uint32_t s_out = std::uint32_t{kSBox[box][row][column]} << (28 - 4 * box);
      std::uint32_t permuted = 0;
      for (int j = 0; j < 32; ++j)
        if ((s_out >> (32 - kP[j])) & 1) permuted |= 1u << (31 - j);
      sp[box][v] = std::rotl(permuted, 1);
    }
  }
  return sp;
}

constexpr SpTables kSp = MakeSpTables();

// One Feistel round pair on the rotated halves.
inline std::uint32_t F(std::uint32_t right, std::uint32_t k0, std::uint32_t k1) {
  std::uint32_t work = std::rotr(right, 4) ^ k0;
  std::uint32_t f = kSp[6][work & 0x3f] ^ kSp[4][(work >> 8) & 0x3f] ^ kSp[2][(work >> 16) & 0x3f] ^
                    kSp[0][(work >> 24) & 0x3f];
  work = right ^ k1;
  f ^= kSp[7][work & 0x3f] ^ kSp[5][(work >> 8) & 0x3f] ^ kSp[3][(work >> 16) & 0x3f] ^
       kSp[1][(work >> 24) & 0x3f];
  return f;
}

// Sixteen rounds: on entry (left, right) = (L0, R0), on exit (L16, R16).
inline void Rounds(const std::uint32_t* keys, std::uint32_t& left, std::uint32_t& right) {
  for (int i = 0; i < 32; i += 4) {
    left ^= F(right, keys[i], keys[i + 1]);
    right ^= F(left, keys[i + 2], keys[i + 3]);
  }
}

// Initial permutation by exchanging bit groups between the halves; leaves
// both halves rotated left by one bit.
inline void InitialPermutation(std::uint32_t& left, std::uint32_t& right) {
  std::uint32_t work = ((left >> 4) ^ right) & 0x0f0f0f0f;
  right ^= work;
  left ^= work << 4;
  work = ((left >> 16) ^ right) & 0x0000ffff;
  right ^= work;
  left ^= work << 16;
  work = ((right >> 2) ^ left) & 0x33333333;
  left ^= work;
  right ^= work << 2;
  work = ((right >> 8) ^ left) & 0x00ff00ff;
  left ^= work;
  right ^= work << 8;
  right = std::rotl(right, 1);
  work = (left ^ right) & 0xaaaaaaaa;
  left ^= work;
  right ^= work;
  left = std::rotl(left, 1);
}

// Inverse of InitialPermutation, with the roles of the halves exchanged:
// given (L16, R16) it produces the output block with its first half in
// `right` and its second half in `left`.
inline void FinalPermutation(std::uint32_t& left, std::uint32_t& right) {
  right = std::rotr(right, 1);
  std::uint32_t work = (left ^ right) & 0xaaaaaaaa;
  left ^= work;
  right ^= work;
  left = std::rotr(left, 1);
  work = ((left >> 8) ^ right) & 0x00ff00ff;
  right ^= work;
  left ^= work << 8;
  work = ((left >> 2) ^ right) & 0x33333333;
  right ^= work;
  left ^= work << 2;
  work = ((right >> 16) ^ left) & 0x0000ffff;
  left ^= work;
  right ^= work << 16;
  work = ((right >> 4) ^ left) & 0x0f0f0f0f;
  left ^= work;
  right ^= work << 4;
}

// A full DES on a block in (left, right) word form.
inline void DesBlock(const std::uint32_t* keys, std::uint32_t& left, std::uint32_t& right) {
  InitialPermutation(left, right);
  Rounds(keys, left, right);
  // The output is R16 ‖ L16; the final permutation leaves its first half
  // in `right`.
  FinalPermutation(left, right);
  std::swap(left, right);
}

inline void DesEde3Block(const std::uint32_t* k1, const std::uint32_t* k2, const std::uint32_t* k3,
                         std::uint32_t& left, std::uint32_t& right) {
  InitialPermutation(left, right);
  Rounds(k1, left, right);
  Rounds(k2, right, left);  // the next stage starts from R16 ‖ L16
  Rounds(k3, left, right);
  FinalPermutation(left, right);
  std::swap(left, right);
}

template <typename Block>
void CbcEncrypt(std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                Block&& block) {
  std::uint32_t left = LoadBe32(iv), right = LoadBe32(iv + 4);
  for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
    left ^= LoadBe32(in);
    right ^= LoadBe32(in + 4);
    block(left, right);
    StoreBe32(out, left);
    StoreBe32(out + 4, right);
  }
  StoreBe32(iv, left);
  StoreBe32(iv + 4, right);
}

template <typename Block>
void CbcDecrypt(std::uint8_t* iv, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                Block&& block) {
  std::uint32_t chain_left = LoadBe32(iv), chain_right = LoadBe32(iv + 4);
  for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
    const std::uint32_t cipher_left = LoadBe32(in), cipher_right = LoadBe32(in + 4);
    std::uint32_t left = cipher_left, right = cipher_right;
    block(left, right);
    StoreBe32(out, left ^ chain_left);
    StoreBe32(out + 4, right ^ chain_right);
    chain_left = cipher_left;
    chain_right = cipher_right;
  }
  StoreBe32(iv, chain_left);
  StoreBe32(iv + 4, chain_right);
}

}  // namespace

void DesSetKey(DesKeySchedule& schedule, const std::uint8_t key[kDesKeySize]) {
  std::uint64_t key_bits = 0;
  for (int i = 0; i < 8; ++i) key_bits = key_bits << 8 | key[i];
  // C and D, 28 bits each, from permuted choice 1.
  std::uint32_t c = 0, d = 0;
  for (int i = 0; i < 28; ++i) {
    c = c << 1 | static_cast<std::uint32_t>((key_bits >> (64 - kPc1[i])) & 1);
    d = d << 1 | static_cast<std::uint32_t>((key_bits >> (64 - kPc1[i + 28])) & 1);
  }
  for (int round = 0; round < 16; ++round) {
    for (int s = 0; s < kShifts[round]; ++s) {
      c = ((c << 1) | (c >> 27)) & 0x0fffffff;
      d = ((d << 1) | (d >> 27)) & 0x0fffffff;
    }
    const std::uint64_t cd = std::uint64_t{c} << 28 | d;
    std::uint64_t subkey = 0;  // 48 bits
    for (int i = 0; i < 48; ++i) subkey = subkey << 1 | ((cd >> (56 - kPc2[i])) & 1);
    // Six-bit groups for S-boxes 1, 3, 5, 7 in the first word, 2, 4, 6, 8 in
    // the second, each at the byte position the round reads it from.
    std::uint32_t odd = 0, even = 0;
    for (int box = 0; box < 8; ++box) {
      const auto group = static_cast<std::uint32_t>((subkey >> (42 - 6 * box)) & 0x3f);
      std::uint32_t& word = (box % 2 == 0) ? odd : even;
      word |= group << (24 - 8 * (box / 2));
    }
    schedule.encrypt[2 * round] = odd;
    schedule.encrypt[2 * round + 1] = even;
    SecureWipe(&subkey, sizeof(subkey));
  }
  for (int round = 0; round < 16; ++round) {
    schedule.decrypt[2 * round] = schedule.encrypt[30 - 2 * round];
    schedule.decrypt[2 * round + 1] = schedule.encrypt[31 - 2 * round];
  }
  SecureWipe(&key_bits, sizeof(key_bits));
  SecureWipe(&c, sizeof(c));
  SecureWipe(&d, sizeof(d));
}

void DesEde3SetKey(DesEde3KeySchedule& schedule, const std::uint8_t key[kDesEde3KeySize]) {
  DesSetKey(schedule.k1, key);
  DesSetKey(schedule.k2, key + 8);
  DesSetKey(schedule.k3, key + 16);
}

void DesCbcEncrypt(const DesKeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  CbcEncrypt(iv, in, out, blocks,
             [&](std::uint32_t& l, std::uint32_t& r) { DesBlock(schedule.encrypt, l, r); });
}

void DesCbcDecrypt(const DesKeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  CbcDecrypt(iv, in, out, blocks,
             [&](std::uint32_t& l, std::uint32_t& r) { DesBlock(schedule.decrypt, l, r); });
}

void DesEde3CbcEncrypt(const DesEde3KeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                       const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  CbcEncrypt(iv, in, out, blocks, [&](std::uint32_t& l, std::uint32_t& r) {
    DesEde3Block(schedule.k1.encrypt, schedule.k2.decrypt, schedule.k3.encrypt, l, r);
  });
}

void DesEde3CbcDecrypt(const DesEde3KeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                       const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  CbcDecrypt(iv, in, out, blocks, [&](std::uint32_t& l, std::uint32_t& r) {
    DesEde3Block(schedule.k3.decrypt, schedule.k2.encrypt, schedule.k1.decrypt, l, r);
  });
}

void DesSetOddParity(std::uint8_t key[kDesKeySize]) {
  for (int i = 0; i < 8; ++i) {
    const std::uint8_t upper = key[i] & 0xfe;
    key[i] = static_cast<std::uint8_t>(upper | ((std::popcount(upper) & 1) ^ 1));
  }
}

bool DesHasOddParity(const std::uint8_t key[kDesKeySize]) {
  for (int i = 0; i < 8; ++i)
    if ((std::popcount(key[i]) & 1) == 0) return false;
  return true;
}

}  // namespace kcertadm
