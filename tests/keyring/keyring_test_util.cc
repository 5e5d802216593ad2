#include "keyring/keyring_test_util.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

namespace kcertadm::test {

int RunCommand(const std::string& command, std::string* output) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    if (output) output->append(buffer, n);
  const int status = ::pclose(pipe);
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

Bytes FakeCertificate(const std::string& commonName, const Bytes& modulus, const Bytes& exponent) {
  const Bytes key = Tlv(0x30, Cat({Tlv(0x02, modulus), Tlv(0x02, exponent)}));
  const Bytes spki = Tlv(0x30, Cat({Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00"), Tlv(0x03, Cat({{0}, key}))}));
  return Signed(Cat({Hex("A0 03 02 01 02 02 01 01"), kMd5WithRsa, CnName("Issuer"), kValidity, CnName(commonName), spki}),
                Hex("01 02 03"));
}

std::vector<std::string> VectorValues(const std::string& name) {
  std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/keyring/private_key_vector.txt");
  std::vector<std::string> values;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + " ", 0) == 0) values.push_back(line.substr(name.size() + 1));
  return values;
}

}  // namespace kcertadm::test
