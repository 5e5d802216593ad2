// Helpers of the key ring tests; the fixture also serves the certificate tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cert/der_util.h"
#include "keyring/keyring.h"

namespace kcertadm::test {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// The in-memory key ring starts and ends empty; a private directory.
class KeyRingTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyRingClear(); }
  void TearDown() override { KeyRingClear(); }
  TempDir dir_;
};

inline Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// Runs a command line through the shell; its exit status, and its standard
// output in *output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// A certificate entry with the given label and arbitrary byte fields.
KeyRingEntry SampleEntry(const std::string& label, std::uint8_t seed);

// A structurally valid certificate (its signature is not real) for the
// subject common name and RSA key; the modulus may carry a leading zero.
Bytes FakeCertificate(const std::string& commonName, const Bytes& modulus, const Bytes& exponent);

// The values named `name` in tests/data/keyring/private_key_vector.txt (the
// rest of each such line), in file order.
std::vector<std::string> VectorValues(const std::string& name);
// The vector's sealed private key; it opens with kVectorPassword.
inline Bytes VectorPrivateKey() { return Hex(VectorValues("encrypted").at(0)); }
inline constexpr char kVectorPassword[] = "Vector password 1";

}  // namespace kcertadm::test
