// Helpers shared by the RSA, signature and key-generation tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/rsa_keygen.h"

namespace kcertadm::testing {

BigNum FromHex(const std::string& hex);
std::string ToHex(const BigNum& x);
std::string BytesToHex(const std::uint8_t* data, std::size_t size);

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

// DER RSAPrivateKey and PEM for handing a key to openssl.
std::vector<std::uint8_t> RsaPrivateKeyDer(const RsaKeyMaterial& key);
std::string RsaPrivateKeyPem(const RsaKeyMaterial& key);

// Runs a command through the shell; returns its exit status.
int RunCommand(const std::string& command);
std::string TempPath(const std::string& name);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data);
void WriteFile(const std::string& path, const std::string& data);
std::vector<std::uint8_t> ReadFile(const std::string& path);

}  // namespace kcertadm::testing
