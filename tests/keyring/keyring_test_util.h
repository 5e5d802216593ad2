// Shared helpers of the key ring tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "keyring/keyring_entry.h"
#include "support/test_files.h"

namespace kcertadm::test {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
Bytes Md5Of(const Bytes& bytes);
Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length);
Bytes FromHex(const std::string& hex);
std::string ToHex(const Bytes& bytes);

// Runs a command line through the shell; returns its exit status and
// collects its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// A certificate entry with the given label and arbitrary byte fields.
KeyRingEntry SampleEntry(const std::string& label, std::uint8_t seed);

// The values named `name` in tests/data/keyring/private_key_vector.txt (the
// rest of each such line), in file order.
std::vector<std::string> VectorValues(const std::string& name);
// The vector's sealed private key; it opens with kVectorPassword.
Bytes VectorPrivateKey();
inline constexpr char kVectorPassword[] = "Vector password 1";

}  // namespace kcertadm::test

namespace kcertadm::test {

// DER TLV with a definite length.
Bytes Tlv(std::uint8_t tag, const Bytes& content);
// A structurally valid certificate (its signature is not real) for the
// subject common name and RSA key; the modulus may carry a leading zero.
Bytes FakeCertificate(const std::string& commonName, const Bytes& modulus, const Bytes& exponent);
// DER Name with one common name.
Bytes NameOf(const std::string& commonName);

}  // namespace kcertadm::test
