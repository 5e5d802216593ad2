#include "crypto/digest/hmac.h"

#include <cstring>

#include "base/secure_memory.h"
#include "crypto/digest/digest_bytes.h"
#include "crypto/digest/sha1.h"
#include "crypto/digest/sha2.h"

namespace kcertadm {

template <typename Digest>
Hmac<Digest>::Hmac(const std::uint8_t* key, std::size_t size) {
  std::uint8_t block[Digest::kBlockSize] = {};
  if (size > Digest::kBlockSize) {
    Digest shorter;
    shorter.Update(key, size);
    shorter.Final(block);
  } else if (size > 0) {
    std::memcpy(block, key, size);
  }
  for (std::uint8_t& b : block) b ^= 0x36;
  inner_start_.Update(block, sizeof block);
  for (std::uint8_t& b : block) b ^= 0x36 ^ 0x5c;
  outer_start_.Update(block, sizeof block);
  SecureWipe(block, sizeof block);
  inner_ = inner_start_;
}

template <typename Digest>
void Hmac<Digest>::Final(std::uint8_t* out) {
  std::uint8_t inner[kMacSize];
  inner_.Final(inner);
  Digest outer = outer_start_;
  outer.Update(inner, sizeof inner);
  outer.Final(out);
  SecureWipe(inner, sizeof inner);
  inner_ = inner_start_;
}

template <typename Mac>
void Pbkdf2(Mac& mac, const std::uint8_t* salt, std::size_t salt_size, std::uint32_t iterations,
            std::uint8_t* out, std::size_t size) {
  constexpr std::size_t kSize = Mac::kMacSize;
  std::uint8_t u[kSize], t[kSize], index[4];
  for (std::uint32_t block = 1; size > 0; ++block) {
    bytes::StoreBe32(index, block);
    mac.Update(salt, salt_size);
    mac.Update(index, sizeof index);
    mac.Final(u);
    std::memcpy(t, u, kSize);
    for (std::uint32_t i = 1; i < iterations; ++i) {
      mac.Update(u, kSize);
      mac.Final(u);
      for (std::size_t j = 0; j < kSize; ++j) t[j] ^= u[j];
    }
    const std::size_t take = size < kSize ? size : kSize;
    std::memcpy(out, t, take);
    out += take;
    size -= take;
  }
  SecureWipe(u, sizeof u);
  SecureWipe(t, sizeof t);
}

template class Hmac<Sha1>;
template class Hmac<Sha256>;
template class Hmac<Sha384>;
template class Hmac<Sha512>;
template void Pbkdf2(Hmac<Sha1>&, const std::uint8_t*, std::size_t, std::uint32_t, std::uint8_t*,
                     std::size_t);
template void Pbkdf2(Hmac<Sha256>&, const std::uint8_t*, std::size_t, std::uint32_t, std::uint8_t*,
                     std::size_t);
template void Pbkdf2(Hmac<Sha384>&, const std::uint8_t*, std::size_t, std::uint32_t, std::uint8_t*,
                     std::size_t);
template void Pbkdf2(Hmac<Sha512>&, const std::uint8_t*, std::size_t, std::uint32_t, std::uint8_t*,
                     std::size_t);

}  // namespace kcertadm
