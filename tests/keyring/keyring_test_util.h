// Helpers of the key ring tests; the fixture also serves the certificate tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cert/der_util.h"
#include "keyring/keyring.h"
#include "support/status_numbers.h"

namespace kcertadm::test {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

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

// Runs a command line through the shell: its exit status, its output in *output.
inline int RunCommand(const std::string& command, std::string* output = nullptr) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    if (output) output->append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A certificate entry with the given label and arbitrary byte fields.
inline KeyRingEntry SampleEntry(const std::string& label, std::uint8_t seed) {
  KeyRingEntry e;
  e.label = LabelBytes(label);
  e.subjectName = {0x30, 0x03, 0x31, 0x01, seed};
  e.publicKey = Bytes(40, static_cast<std::uint8_t>(seed + 1));
  e.certificates = {0x30, 0x02, seed, seed};
  e.auxiliaryData = {seed, 0xAA};
  return e;
}

// A well-formed certificate, its signature not real, of the common name and RSA key.
inline Bytes FakeCertificate(const std::string& commonName, const Bytes& modulus,
                             const Bytes& exponent) {
  const Bytes key = Tlv(0x30, Cat({Tlv(0x02, modulus), Tlv(0x02, exponent)}));
  const Bytes spki = Tlv(
      0x30, Cat({Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00"), Tlv(0x03, Cat({{0}, key}))}));
  return Signed(Cat({Hex("A0 03 02 01 02 02 01 01"), kMd5WithRsa, CnName("Issuer"), kValidity,
                     CnName(commonName), spki}),
                Hex("01 02 03"));
}

// The rest of each line of tests/data/keyring/private_key_vector.txt that starts with `name`.
inline std::vector<std::string> VectorValues(const std::string& name) {
  std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/keyring/private_key_vector.txt");
  std::vector<std::string> values;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + " ", 0) == 0) values.push_back(line.substr(name.size() + 1));
  return values;
}
// The vector's sealed private key; it opens with kVectorPassword.
inline Bytes VectorPrivateKey() { return Hex(VectorValues("encrypted").at(0)); }
inline constexpr char kVectorPassword[] = "Vector password 1";

}  // namespace kcertadm::test
