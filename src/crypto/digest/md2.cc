#include "crypto/digest/md2.h"

#include <cstring>

#include "base/secure_memory.h"
#include "crypto/cipher/block_buffer.h"

namespace kcertadm {
namespace {

// The substitution built from the digits of pi.
constexpr std::uint8_t kPiSubst[256] = {
    41,  46,  67,  201, 162, 216, 124, 1,   61,  54,  84,  161, 236, 240, 6,   19,  98,  167, 5,
    243, 192, 199, 115, 140, 152, 147, 43,  217, 188, 76,  130, 202, 30,  155, 87,  60,  253, 212,
    224, 22,  103, 66,  111, 24,  138, 23,  229, 18,  190, 78,  196, 214, 218, 158, 222, 73,  160,
    251, 245, 142, 187, 47,  238, 122, 169, 104, 121, 145, 21,  178, 7,   63,  148, 194, 16,  137,
    11,  34,  95,  33,  128, 127, 93,  154, 90,  144, 50,  39,  53,  62,  204, 231, 191, 247, 151,
    3,   255, 25,  48,  179, 72,  165, 181, 209, 215, 94,  146, 42,  172, 86,  170, 198, 79,  184,
    56,  210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116, 4,   241, 69,  157, 112, 89,  100,
    113, 135, 32,  134, 91,  207, 101, 230, 45,  168, 2,   27,  96,  37,  173, 174, 176, 185, 246,
    28,  70,  97,  105, 52,  64,  126, 15,  85,  71,  163, 35,  221, 81,  175, 58,  195, 92,  249,
    206, 186, 197, 234, 38,  44,  83,  13,  110, 133, 40,  132, 9,   211, 223, 205, 244, 65,  129,
    77,  82,  106, 220, 55,  200, 108, 193, 171, 250, 36,  225, 123, 8,   12,  189, 177, 74,  120,
    136, 149, 139, 227, 99,  232, 109, 233, 203, 213, 254, 59,  0,   29,  57,  242, 239, 183, 14,
    102, 88,  208, 228, 166, 119, 114, 248, 235, 117, 75,  10,  49,  68,  80,  180, 143, 237, 31,
    26,  219, 153, 141, 51,  159, 17,  131, 20};

}  // namespace

Md2::Md2() { Reset(); }

Md2::~Md2() { SecureWipe(this, sizeof(*this)); }

void Md2::Reset() {
  std::memset(state_, 0, sizeof(state_));
  std::memset(checksum_, 0, sizeof(checksum_));
  std::memset(buffer_, 0, sizeof(buffer_));
  buffered_ = 0;
}

void Md2::Compress(const std::uint8_t* block) {
  for (int i = 0; i < 16; ++i) {
    state_[16 + i] = block[i];
    state_[32 + i] = static_cast<std::uint8_t>(state_[i] ^ block[i]);
  }
  unsigned t = 0;
  for (int round = 0; round < 18; ++round) {
    for (int k = 0; k < 48; ++k) {
      state_[k] ^= kPiSubst[t];
      t = state_[k];
    }
    t = (t + round) & 0xff;
  }
  std::uint8_t last = checksum_[15];
  for (int i = 0; i < 16; ++i) {
    checksum_[i] ^= kPiSubst[block[i] ^ last];
    last = checksum_[i];
  }
}

void Md2::Update(const void* data, std::size_t size) {
  AbsorbBlocks(buffer_, buffered_, static_cast<const std::uint8_t*>(data), size,
               [this](const std::uint8_t* blocks, std::size_t count) {
                 for (; count > 0; --count, blocks += kBlockSize) Compress(blocks);
               });
}

void Md2::Final(std::uint8_t* out) {
  std::uint8_t pad[kBlockSize];
  const std::size_t pad_size = kBlockSize - buffered_;
  std::memset(pad, static_cast<int>(pad_size), pad_size);
  Update(pad, pad_size);
  std::uint8_t checksum[16];
  std::memcpy(checksum, checksum_, sizeof(checksum));
  Update(checksum, sizeof(checksum));
  std::memcpy(out, state_, kDigestSize);
  SecureWipe(checksum, sizeof(checksum));
  Reset();
}

void Md2Digest(const void* data, std::size_t size, std::uint8_t* out) {
  Md2 md2;
  md2.Update(data, size);
  md2.Final(out);
}

}  // namespace kcertadm
