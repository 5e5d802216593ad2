// HMAC (RFC 2104) over the SHA digests, and PBKDF2 (RFC 8018, 5.2) over
// HMAC.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

template <typename Digest>
class Hmac {
 public:
  static constexpr std::size_t kMacSize = Digest::kDigestSize;

  // Ready for Update under the key (any length; longer than a block is
  // digested first).
  Hmac(const std::uint8_t* key, std::size_t size);

  void Update(const void* data, std::size_t size) { inner_.Update(data, size); }
  // Writes kMacSize bytes, then starts a fresh message under the same key.
  void Final(std::uint8_t* out);

 private:
  Digest inner_start_, outer_start_;  // after the key blocks; wiped by Digest
  Digest inner_;
};

// Writes size bytes of PBKDF2 of the password and salt to out, with
// iterations (at least 1) rounds of the pseudorandom function mac, an
// HMAC keyed with the password: anything with kMacSize, Update and a Final
// that restarts under the same key.
template <typename Mac>
void Pbkdf2(Mac& mac, const std::uint8_t* salt, std::size_t salt_size, std::uint32_t iterations,
            std::uint8_t* out, std::size_t size);

}  // namespace kcertadm
