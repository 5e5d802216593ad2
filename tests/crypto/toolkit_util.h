// Helpers shared by the toolkit tests: hex, vector files, the deterministic
// test keys and whole messages through a cipher object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/rsa_key_info.h"
#include "crypto/rsa_keygen.h"
#include "crypto/toolkit.h"

namespace kcertadm::testing {

std::vector<std::uint8_t> FromHex(std::string_view hex);
std::string ToHex(const std::uint8_t* data, std::size_t size);
inline std::string ToHex(const std::vector<std::uint8_t>& v) { return ToHex(v.data(), v.size()); }
// Big numbers in hex without leading zeros ("0" for zero).
BigNum BigNumFromHex(std::string_view hex);
std::string ToHex(const BigNum& x);

// Bytes of the text, without a terminating zero.
std::vector<std::uint8_t> TextBytes(std::string_view text);

// Lines of tests/data/<path> split on blanks; lines starting with '#' and
// empty lines are skipped.
std::vector<std::vector<std::string>> ReadVectorFile(const std::string& path);

// byte[i] = (i * 7 + 3) % 251, the input the vector scripts use.
std::vector<std::uint8_t> PatternBytes(std::size_t size);

// The 64-bit LCG of tests/data/rsa/make_keygen_vectors.py: each byte is the
// top byte of the next state.
class Lcg {
 public:
  explicit Lcg(std::uint64_t seed) : state_(seed) {}
  void Fill(std::uint8_t* out, std::size_t size);
  RandomFill AsRandomFill() {
    return [this](std::uint8_t* out, std::size_t size) {
      Fill(out, size);
      return 0;
    };
  }

 private:
  std::uint64_t state_;
};

// A key of the given size generated deterministically (cached per size).
const RsaKeyMaterial& TestKey(std::uint32_t bits);
// Its DER RSAPrivateKey, for handing it to the peers.
std::vector<std::uint8_t> RsaPrivateKeyDer(const RsaKeyMaterial& key);
// Its eight numbers as bytes, and the toolkit's private-key record over them.
struct PrivateKeyParts {
  explicit PrivateKeyParts(const RsaKeyMaterial& key);
  RsaPrivateKeyRecord Record() const;
  SecureBytes bytes[8];
};
// Key objects of the toolkit holding it (destroyed by the caller).
KeyObject* PrivateKeyObject(const RsaKeyMaterial& key);
KeyObject* PublicKeyObject(KeyObject* privateKey);

// A cipher as the toolkit is asked for it.
struct CipherSetup {
  const AlgorithmInfoType* type;
  const void* params;
  const KeyInfoType* keyForm;
  const void* keyMaterial;
  MethodList methods;
};

// Runs a whole message through a fresh object, fed in pieces of `piece`
// bytes (0: in one piece), into an output buffer of `room` bytes (0: the
// input's size + 16). Returns the first failing status (0 when all calls
// succeeded) and in `out` what was written.
int RunCipher(const CipherSetup& setup, bool encrypt, const std::vector<std::uint8_t>& in,
              std::vector<std::uint8_t>* out, std::size_t piece = 0, std::uint32_t room = 0);

std::vector<std::uint8_t> ReadFile(const std::string& path);

}  // namespace kcertadm::testing
