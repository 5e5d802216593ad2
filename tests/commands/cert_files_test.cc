// Reading certificate files as text or as binary DER.
#include "commands/cert_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using cmdtest::TempDir;
using cmdtest::WriteFileText;

TEST(CertFiles, ReadsTextOrBinary) {
  TempDir dir;
  struct Case {
    const char* why;
    std::string contents;
    bool binary;
    std::uint32_t slot;
    std::string der;
  } const kTests[] = {
      {"armoured text", "-----BEGIN CERTIFICATE-----\nQUJD\n-----END CERTIFICATE-----", false, 0, "ABC"},
      {"bare Base64", "QUJD", false, 0, "ABC"},
      {"binary bytes are the DER", std::string("\x30\x00\x0a", 3), true, 0, std::string("\x30\x00\x0a", 3)},
      // Nothing to read is a read failure, not an empty certificate.
      {"empty binary file", "", true, kMsgCertFileReadFailed, ""},
      // No certificate is that large: the file is not read into memory.
      {"too large", std::string(kMaxCertificateFileSize + 1, 'A'), true, kMsgCertFileReadFailed, ""},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    WriteFileText(dir / "f", c.contents);
    std::FILE* file = std::fopen((dir / "f").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    CertData cert{};
    std::uint32_t slot = 0;
    EXPECT_EQ(ReadCertificateFile(&cert, file, c.binary, false, &slot), c.slot == 0 ? 0 : -1);
    std::fclose(file);
    EXPECT_EQ(slot, c.slot);
    const char* der = reinterpret_cast<char*>(cert.der.data);
    EXPECT_EQ(der != nullptr ? std::string(der, cert.der.length) : "", c.der);
    EXPECT_EQ(cert.fileText.data, nullptr) << "the raw text is released after reading";
    std::free(cert.der.data);
    std::free(cert.certText.data);
  }
}

}  // namespace
}  // namespace kcertadm
