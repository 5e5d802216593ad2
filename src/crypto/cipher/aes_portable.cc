// Portable constant-time AES, bitsliced: the state of four blocks (64
// bytes) is held as eight 64-bit planes, plane k holding bit k of every
// byte; lane n of a plane is byte n of the four blocks, so a block's byte at
// row r and column c is lane 16 * block + 4 * c + r. SubBytes computes the
// inverse in GF(2^8) as x^254 with plane-wise AND and XOR, ShiftRows and
// MixColumns move lanes with fixed shifts and masks: nothing depends on the
// data or the key but the values themselves.
#include <cstring>

#include "base/secure_memory.h"
#include "crypto/cipher/aes_kernels.h"

namespace kcertadm::aes_internal {
namespace {

constexpr std::size_t kLanes = 64;  // bytes per set of planes: four blocks
constexpr std::size_t kBlocksPerSlice = kLanes / kAesBlockSize;

struct Planes {
  std::uint64_t bit[8];
};

// ------------------------------------------------------------ slicing

std::uint64_t LoadLe64(const std::uint8_t* p) {
  std::uint64_t v = 0;
#pragma GCC unroll 8
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

void StoreLe64(std::uint8_t* p, std::uint64_t v) {
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The 8x8 bit matrix of eight bytes transposed: bit 8j+i <-> bit 8i+j.
std::uint64_t Transpose8x8(std::uint64_t x) {
  std::uint64_t t = (x ^ (x >> 7)) & 0x00aa00aa00aa00aaull;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000cccc0000ccccull;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000f0f0f0f0ull;
  x ^= t ^ (t << 28);
  return x;
}

void Slice(const std::uint8_t bytes[kLanes], Planes& planes) {
  planes = Planes{};
#pragma GCC unroll 8
  for (int group = 0; group < 8; ++group) {
    const std::uint64_t t = Transpose8x8(LoadLe64(bytes + 8 * group));
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) planes.bit[k] |= ((t >> (8 * k)) & 0xff) << (8 * group);
  }
}

void Unslice(const Planes& planes, std::uint8_t bytes[kLanes]) {
#pragma GCC unroll 8
  for (int group = 0; group < 8; ++group) {
    std::uint64_t t = 0;
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) t |= ((planes.bit[k] >> (8 * group)) & 0xff) << (8 * k);
    StoreLe64(bytes + 8 * group, Transpose8x8(t));
  }
}

// ------------------------------------------------------ GF(2^8) planes

// Reduces a product of 15 planes modulo x^8 + x^4 + x^3 + x + 1.
void Reduce(std::uint64_t c[15], Planes& out) {
#pragma GCC unroll 8
  for (int k = 14; k >= 8; --k) {
    c[k - 4] ^= c[k];
    c[k - 5] ^= c[k];
    c[k - 7] ^= c[k];
    c[k - 8] ^= c[k];
  }
  std::memcpy(out.bit, c, sizeof(out.bit));
}

Planes Multiply(const Planes& a, const Planes& b) {
  std::uint64_t c[15] = {};
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i)
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) c[i + j] ^= a.bit[i] & b.bit[j];
  Planes out;
  Reduce(c, out);
  return out;
}

// Squaring is linear: bit i moves to bit 2i before the reduction.
Planes Square(const Planes& a) {
  std::uint64_t c[15] = {};
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) c[2 * i] = a.bit[i];
  Planes out;
  Reduce(c, out);
  return out;
}

// x^254, the multiplicative inverse (0 stays 0).
Planes Invert(const Planes& x) {
  const Planes x2 = Square(x);
  const Planes x3 = Multiply(x2, x);
  const Planes x12 = Square(Square(x3));
  Planes x240 = Multiply(x12, x3);  // x^15
#pragma GCC unroll 8
  for (int i = 0; i < 4; ++i) x240 = Square(x240);
  return Multiply(Multiply(x240, x12), x2);
}

constexpr std::uint64_t kAll = ~std::uint64_t{0};

// b_i ^ b_i+4 ^ b_i+5 ^ b_i+6 ^ b_i+7 ^ bit i of 0x63.
void SubBytes(Planes& state) {
  const Planes b = Invert(state);
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i)
    state.bit[i] = b.bit[i] ^ b.bit[(i + 4) % 8] ^ b.bit[(i + 5) % 8] ^ b.bit[(i + 6) % 8] ^
                   b.bit[(i + 7) % 8] ^ ((0x63 >> i & 1) ? kAll : 0);
}

// The inverse affine map s_i+2 ^ s_i+5 ^ s_i+7 ^ bit i of 0x05, then the inverse.
void InvSubBytes(Planes& state) {
  Planes b;
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i)
    b.bit[i] = state.bit[(i + 2) % 8] ^ state.bit[(i + 5) % 8] ^ state.bit[(i + 7) % 8] ^
               ((0x05 >> i & 1) ? kAll : 0);
  state = Invert(b);
}

// ----------------------------------------------------- lane movements

constexpr std::uint64_t kEvery16 = 0x0001000100010001ull;

// The bits of row r in each 16-bit block: lanes 4c + r.
constexpr std::uint64_t RowMask(int r) { return (0x1111ull << r) * kEvery16; }
// Columns first..last of each block.
constexpr std::uint64_t ColumnMask(int first, int last) {
  std::uint64_t mask = 0;
#pragma GCC unroll 8
  for (int c = first; c <= last; ++c) mask |= 0xfull << (4 * c);
  return mask * kEvery16;
}

// Row r of each block moved `s` columns to the left (column c takes c + s).
std::uint64_t RotateRow(std::uint64_t x, int r, int s) {
  const std::uint64_t v = x & RowMask(r);
  return ((v >> (4 * s)) & ColumnMask(0, 3 - s)) | ((v << (16 - 4 * s)) & ColumnMask(4 - s, 3));
}

void ShiftRows(Planes& state, bool inverse) {
#pragma GCC unroll 8
  for (auto& plane : state.bit) {
    std::uint64_t moved = plane & RowMask(0);
#pragma GCC unroll 8
    for (int r = 1; r < 4; ++r) moved |= RotateRow(plane, r, inverse ? 4 - r : r);
    plane = moved;
  }
}

// Each column rotated so that row r takes row r + k.
std::uint64_t RotateColumn(std::uint64_t x, int k) {
  const std::uint64_t low = (0xfull >> k) * 0x1111111111111111ull;
  return ((x >> k) & low) | ((x << (4 - k)) & ~low);
}

Planes RotateColumns(const Planes& a, int k) {
  Planes out;
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) out.bit[i] = RotateColumn(a.bit[i], k);
  return out;
}

// Multiplication by x: a shift of planes, reduced by 0x1b.
Planes Xtime(const Planes& a) {
  const std::uint64_t top = a.bit[7];
  return Planes{{top, a.bit[0] ^ top, a.bit[1], a.bit[2] ^ top, a.bit[3] ^ top, a.bit[4], a.bit[5],
                 a.bit[6]}};
}

Planes Xor(const Planes& a, const Planes& b) {
  Planes out;
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) out.bit[i] = a.bit[i] ^ b.bit[i];
  return out;
}

// b_r = 2 a_r ^ 3 a_r+1 ^ a_r+2 ^ a_r+3 = 2 (a_r ^ a_r+1) ^ a_r+1 ^ a_r+2 ^ a_r+3.
void MixColumns(Planes& state) {
  const Planes r1 = RotateColumns(state, 1), r2 = RotateColumns(state, 2),
               r3 = RotateColumns(state, 3);
  state = Xor(Xor(Xtime(Xor(state, r1)), r1), Xor(r2, r3));
}

// The inverse matrix is MixColumns times (4 x^2 + 5): a_r ^ 4 (a_r ^ a_r+2) first.
void InvMixColumns(Planes& state) {
  state = Xor(state, Xtime(Xtime(Xor(state, RotateColumns(state, 2)))));
  MixColumns(state);
}

void AddRoundKey(Planes& state, const std::uint64_t key[8]) {
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) state.bit[i] ^= key[i];
}

// ------------------------------------------------------------ rounds

void EncryptSlice(const AesKeySchedule& schedule, Planes& state) {
  AddRoundKey(state, schedule.sliced[0]);
  for (std::uint32_t round = 1; round <= schedule.rounds; ++round) {
    SubBytes(state);
    ShiftRows(state, false);
    if (round != schedule.rounds) MixColumns(state);
    AddRoundKey(state, schedule.sliced[round]);
  }
}

void DecryptSlice(const AesKeySchedule& schedule, Planes& state) {
  AddRoundKey(state, schedule.sliced[schedule.rounds]);
  for (std::uint32_t round = schedule.rounds; round-- > 0;) {
    ShiftRows(state, true);
    InvSubBytes(state);
    AddRoundKey(state, schedule.sliced[round]);
    if (round != 0) InvMixColumns(state);
  }
}

void XorBlock(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b) {
  for (std::size_t i = 0; i < kAesBlockSize; ++i) out[i] = a[i] ^ b[i];
}

}  // namespace

void SubWordPortable(std::uint8_t word[4]) {
  std::uint8_t bytes[kLanes] = {};
  std::memcpy(bytes, word, 4);
  Planes planes;
  Slice(bytes, planes);
  SubBytes(planes);
  Unslice(planes, bytes);
  std::memcpy(word, bytes, 4);
  SecureWipe(bytes, sizeof(bytes));
  SecureWipe(&planes, sizeof(planes));
}

// Every round key repeated over the four blocks of a slice.
void PortableSliceRoundKeys(AesKeySchedule& schedule) {
  std::uint8_t bytes[kLanes];
  Planes planes;
  for (std::uint32_t round = 0; round <= schedule.rounds; ++round) {
    for (std::size_t b = 0; b < kBlocksPerSlice; ++b)
      std::memcpy(bytes + b * kAesBlockSize, schedule.encrypt[round], kAesBlockSize);
    Slice(bytes, planes);
    std::memcpy(schedule.sliced[round], planes.bit, sizeof(planes.bit));
  }
  SecureWipe(bytes, sizeof(bytes));
  SecureWipe(&planes, sizeof(planes));
}

// Chaining allows one block at a time: three lanes of four stay idle.
void PortableCbcEncrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                        const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  std::uint8_t bytes[kLanes] = {};
  Planes state;
  for (; blocks > 0; --blocks, in += kAesBlockSize, out += kAesBlockSize) {
    XorBlock(bytes, in, iv);
    Slice(bytes, state);
    EncryptSlice(schedule, state);
    Unslice(state, bytes);
    std::memcpy(out, bytes, kAesBlockSize);
    std::memcpy(iv, bytes, kAesBlockSize);
  }
  SecureWipe(bytes, sizeof(bytes));
  SecureWipe(&state, sizeof(state));
}

// Four blocks at a time; the ciphertext is kept before `out` (possibly the
// same buffer) is written.
void PortableCbcDecrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                        const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  std::uint8_t cipher[kLanes], bytes[kLanes];
  Planes state;
  while (blocks > 0) {
    const std::size_t n = blocks < kBlocksPerSlice ? blocks : kBlocksPerSlice;
    std::memset(cipher, 0, sizeof(cipher));
    std::memcpy(cipher, in, n * kAesBlockSize);
    Slice(cipher, state);
    DecryptSlice(schedule, state);
    Unslice(state, bytes);
    XorBlock(out, bytes, iv);
    for (std::size_t b = 1; b < n; ++b)
      XorBlock(out + b * kAesBlockSize, bytes + b * kAesBlockSize,
               cipher + (b - 1) * kAesBlockSize);
    std::memcpy(iv, cipher + (n - 1) * kAesBlockSize, kAesBlockSize);
    in += n * kAesBlockSize, out += n * kAesBlockSize, blocks -= n;
  }
  SecureWipe(bytes, sizeof(bytes));
  SecureWipe(&state, sizeof(state));
}

}  // namespace kcertadm::aes_internal
