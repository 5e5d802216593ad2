// Reading certificate files and converting between DER and Base64 text.
#include "commands/cert_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using cmdtest::TempDir;
using cmdtest::WriteFileText;

struct Read {
  int status;
  std::uint32_t slot;
  std::string der;
};

Read ReadFile(const std::string& path, bool binary) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  EXPECT_NE(file, nullptr);
  CertData cert{};
  Read out{};
  out.status = ReadCertificateFile(&cert, file, binary, false, &out.slot);
  std::fclose(file);
  if (cert.der.data != nullptr) out.der.assign(reinterpret_cast<char*>(cert.der.data), cert.der.length);
  EXPECT_EQ(cert.fileText.data, nullptr) << "the raw text is released after reading";
  std::free(cert.der.data);
  std::free(cert.certText.data);
  return out;
}

TEST(CertFiles, ReadsTextOrBinary) {
  TempDir dir;
  struct Case {
    const char* why;
    std::string contents;
    bool binary;
    int status;
    std::uint32_t slot;
    std::string der;
  } const kTests[] = {
      {"armoured text", "-----BEGIN CERTIFICATE-----\nQUJD\n-----END CERTIFICATE-----", false, 0, 0, "ABC"},
      {"bare Base64", "QUJD", false, 0, 0, "ABC"},
      {"binary bytes are the DER", std::string("\x30\x00\x0a", 3), true, 0, 0, std::string("\x30\x00\x0a", 3)},
      {"empty file", "", false, -1, kMsgCertFileReadFailed, ""},
      {"empty binary file", "", true, -1, kMsgCertFileReadFailed, ""},
      {"not Base64", "QU*D", false, -1, kMsgDecodeFailed, ""},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    WriteFileText(dir / "f", c.contents);
    const Read got = ReadFile(dir / "f", c.binary);
    EXPECT_EQ(got.status, c.status);
    EXPECT_EQ(got.slot, c.slot);
    EXPECT_EQ(got.der, c.der);
  }
}

TEST(CertFiles, RefusesFilesTooLargeToBeCertificates) {
  TempDir dir;
  WriteFileText(dir / "big", std::string(kMaxCertificateFileSize + 1, 'A'));
  EXPECT_EQ(ReadFile(dir / "big", true).slot, kMsgCertFileReadFailed);
}

TEST(CertFiles, EncodeAndDecodeText) {
  std::uint8_t* der = static_cast<std::uint8_t*>(std::malloc(3));
  std::memcpy(der, "ABC", 3);
  CertData cert{};
  cert.der = Asn1Item{der, 3};
  std::uint32_t slot = 0;
  ASSERT_EQ(EncodeCertificateText(&cert, true, &slot), 0);
  ASSERT_NE(cert.reqText.data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(cert.reqText.data), cert.reqText.length), "QUJD");
  EXPECT_EQ(cert.certText.data, nullptr);

  std::free(cert.der.data);
  cert.der = Asn1Item{nullptr, 0};
  ASSERT_EQ(DecodeCertificateText(&cert, true, &slot), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(cert.der.data), cert.der.length), "ABC");
  EXPECT_EQ(DecodeCertificateText(&cert, false, &slot), -1) << "no certificate text";
  EXPECT_EQ(slot, kMsgDecodeFailed);

  CertData empty{};
  EXPECT_EQ(EncodeCertificateText(&empty, false, &slot), -1);
  EXPECT_EQ(slot, kMsgBase64EncodeFailed);
  std::free(cert.der.data);
  std::free(cert.reqText.data);
}

}  // namespace
}  // namespace kcertadm
