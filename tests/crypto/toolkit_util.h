// Toolkit test helpers: hex, vector files, deterministic keys, whole cipher runs (Hex from
// asn1/hex_util.h).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "asn1/hex_util.h"
#include "crypto/bignum/bignum.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/rsa_keygen.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/keyring_entry.h"  // Bytes
#include "keyring/password_protection.h"

namespace kcertadm {

// Failed expectations show a toolkit status as its number.
inline void PrintTo(ToolkitStatus status, std::ostream* out) { *out << status.code(); }

}  // namespace kcertadm

namespace kcertadm::test_support {

inline std::string ToHex(const std::uint8_t* data, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i)
    out += {"0123456789abcdef"[data[i] >> 4], "0123456789abcdef"[data[i] & 15]};
  return out;
}
inline std::string ToHex(const std::vector<std::uint8_t>& v) { return ToHex(v.data(), v.size()); }
// Big numbers in hex without leading zeros ("0" for zero).
inline BigNum BigNumFromHex(const std::string& hex) {
  const auto bytes = Hex(hex.size() % 2 ? "0" + hex : hex);
  return BigNum::FromBytes(bytes.data(), bytes.size());
}
std::string ToHex(const BigNum& x);
// base^exponent mod modulus by square and multiply over BigNum::Mul and Mod: a reference that
// shares no code with the Montgomery kernels.
BigNum PlainModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus);
inline std::vector<std::uint8_t> TextBytes(std::string_view text) {
  return {text.begin(), text.end()};
}

// Lines of tests/data/<path> split on blanks, without comments and blank lines.
std::vector<std::vector<std::string>> ReadVectorFile(const std::string& path);

// byte[i] = (i * 7 + 3) % 251, the input the vector scripts use.
inline std::vector<std::uint8_t> PatternBytes(std::size_t size) {
  std::vector<std::uint8_t> out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>((i * 7 + 3) % 251);
  return out;
}

// The LCG of rsa/make_keygen_vectors.py: each byte is the top byte of the next state.
struct Lcg {
  std::uint64_t state;
  void Fill(std::uint8_t* out, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
      out[i] = (state = state * 6364136223846793005ull + 1442695040888963407ull) >> 56;
  }
  RandomFill AsRandomFill() {
    return [this](std::uint8_t* out, std::size_t size) { return Fill(out, size), 0; };
  }
};

// A key of the given size generated deterministically (cached per size; tests run on one thread).
const RsaKeyMaterial& TestKey(std::uint32_t bits);
// Key objects of the toolkit holding it (empty on failure).
OwnedKey PrivateKeyObject(const ToolkitLockHeld& lock, const RsaKeyMaterial& key);
OwnedKey PublicKeyObject(const ToolkitLockHeld& lock, KeyObject* privateKey);

// A cipher as the toolkit is asked for it.
struct CipherSetup {
  const AlgorithmInfoType* type;
  const void* params;
  const KeyInfoType* keyForm;
  const void* keyMaterial;
  MethodList methods;
};

// A message through a fresh object in pieces (0: whole) into `room` bytes (0: size + 16);
// the first failing status, and in `out` what was written.
int RunCipher(const CipherSetup& setup, bool encrypt, const std::vector<std::uint8_t>& in,
              std::vector<std::uint8_t>* out, std::size_t piece = 0, std::uint32_t room = 0);

}  // namespace kcertadm::test_support
