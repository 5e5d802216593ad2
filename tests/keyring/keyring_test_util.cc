#include "keyring/keyring_test_util.h"

#include <dirent.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "crypto/md5.h"

namespace kcertadm::test {

Bytes Md5Of(const Bytes& bytes) {
  Bytes digest(Md5::kDigestSize);
  Md5Digest(bytes.data(), bytes.size(), digest.data());
  return digest;
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const Bytes& bytes) {
  std::string out;
  for (auto b : bytes) out += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
  return out;
}

int RunCommand(const std::string& command, std::string* output) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    if (output) output->append(buffer, n);
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

KeyRingEntry SampleEntry(const std::string& label, std::uint8_t seed) {
  KeyRingEntry e;
  e.label = LabelBytes(label);
  e.subjectName = {0x30, 0x03, 0x31, 0x01, seed};
  e.publicKey = Bytes(40, static_cast<std::uint8_t>(seed + 1));
  e.certificates = {0x30, 0x02, seed, seed};
  e.auxiliaryData = {seed, 0xAA};
  return e;
}

std::vector<std::string> VectorValues(const std::string& name) {
  std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/keyring/private_key_vector.txt");
  std::vector<std::string> values;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + " ", 0) == 0) values.push_back(line.substr(name.size() + 1));
  return values;
}

Bytes VectorPrivateKey() { return FromHex(VectorValues("encrypted").at(0)); }

}  // namespace kcertadm::test

namespace kcertadm::test {

Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  const auto n = static_cast<std::uint8_t>(content.size()), high = static_cast<std::uint8_t>(content.size() >> 8);
  Bytes out = content.size() < 0x80 ? Bytes{tag, n} : content.size() < 0x100 ? Bytes{tag, 0x81, n} : Bytes{tag, 0x82, high, n};
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

namespace {
Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
}  // namespace

Bytes NameOf(const std::string& commonName) {
  Bytes attribute = Join({Tlv(0x06, {0x55, 0x04, 0x03}), Tlv(0x13, Bytes(commonName.begin(), commonName.end()))});
  return Tlv(0x30, Tlv(0x31, Tlv(0x30, attribute)));
}

Bytes FakeCertificate(const std::string& commonName, const Bytes& modulus, const Bytes& exponent) {
  Bytes md5Rsa = FromHex("300d06092a864886f70d0101040500");
  Bytes rsaAlg = FromHex("300d06092a864886f70d0101010500");
  Bytes rsaKey = Tlv(0x30, Join({Tlv(0x02, modulus), Tlv(0x02, exponent)}));
  Bytes bits{0x00};
  bits.insert(bits.end(), rsaKey.begin(), rsaKey.end());
  Bytes spki = Tlv(0x30, Join({rsaAlg, Tlv(0x03, bits)}));
  Bytes validity = Tlv(0x30, Join({Tlv(0x17, FromHex("3230303130313030303030305a")),
                                   Tlv(0x17, FromHex("3439313233313233353935395a"))}));
  Bytes tbs = Tlv(0x30, Join({Tlv(0xA0, Tlv(0x02, {0x02})), Tlv(0x02, {0x01}), md5Rsa, NameOf("Issuer"),
                              validity, NameOf(commonName), spki}));
  return Tlv(0x30, Join({tbs, md5Rsa, Tlv(0x03, {0x00, 0x01, 0x02, 0x03})}));
}

}  // namespace kcertadm::test
