#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "armour/pem.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A temporary file holding text, positioned at its start.
File FileWith(const std::string& text) {
  File f(std::tmpfile());
  std::fwrite(text.data(), 1, text.size(), f.get());
  std::rewind(f.get());
  return f;
}

std::string Contents(std::FILE* f) {
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
  return out;
}

// Their Base64 is "AQgP" and "AQgPFh0k".
const Bytes kThree = {0x01, 0x08, 0x0F};
const Bytes kSix = {0x01, 0x08, 0x0F, 0x16, 0x1D, 0x24};

TEST(PemLines, ReadStripsLineEndsAndCutsLongLines) {
  File f = FileWith("first\r\n\nlast" + std::string(2500, 'x'));
  std::string line;
  std::vector<std::size_t> sizes;
  while (PemReadLine(f.get(), line)) sizes.push_back(line.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{5, 0, kPemLinePiece, 4 + 2500 - kPemLinePiece}));
}

// Base64 in lines of 64 characters between the BEGIN and END lines.
TEST(PemArmour, WritesBeginBase64AndEndWithoutFinalLineEnd) {
  const std::string line64(64, 'A');  // 48 zero octets
  struct Case {
    Bytes der;
    bool isRequest;
    std::string expected;
  } const kTests[] = {
      {kThree, false, "-----BEGIN CERTIFICATE-----\nAQgP\n-----END CERTIFICATE-----"},
      {kThree, true, "-----BEGIN NEW CERTIFICATE REQUEST-----\nAQgP\n-----END NEW CERTIFICATE REQUEST-----"},
      {Bytes(48, 0), false, "-----BEGIN CERTIFICATE-----\n" + line64 + "\n-----END CERTIFICATE-----"},
      {Bytes(49, 0), false, "-----BEGIN CERTIFICATE-----\n" + line64 + "\nAA==\n-----END CERTIFICATE-----"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.expected);
    Bytes der = c.der;
    CertData cert{};
    cert.der = Asn1Item{der.data(), static_cast<std::int32_t>(der.size())};
    File f(std::tmpfile());
    ASSERT_EQ(WriteArmouredObject(cert, f.get(), c.isRequest), 0);
    EXPECT_EQ(Contents(f.get()), c.expected);
  }
}

// The Base64 the lenient reader collects from a text; none when it refused
// the text with the decode failure.
std::optional<std::string> ParseText(const std::string& text) {
  CertData cert{};
  cert.fileText = Asn1Item{reinterpret_cast<std::uint8_t*>(const_cast<char*>(text.data())),
                           static_cast<std::int32_t>(text.size())};
  std::uint32_t error = 0;
  const int result = ParseCertificateText(&cert, false, &error);
  std::optional<std::string> collected;
  if (result == 0 && cert.der.length > 0) {
    collected.emplace(reinterpret_cast<char*>(cert.certText.data), cert.certText.length);
  } else {
    EXPECT_EQ(error, kMsgDecodeFailed);
  }
  std::free(cert.der.data);
  std::free(cert.certText.data);
  return collected;
}

TEST(PemArmour, LenientReaderTakesArmouredOrBareText) {
  const std::string line64(64, 'A');  // 48 zero octets
  struct Case {
    const char* why;
    std::string text;
    std::optional<std::string> collected;
  } const kTests[] = {
      {"armoured, lines joined, no line end after END",
       "-----BEGIN CERTIFICATE-----\n" + line64 + "\nAQgP\n-----END CERTIFICATE-----", line64 + "AQgP"},
      {"CR LF and blank lines", "\r\n-----BEGIN X509 CERTIFICATE-----\r\n\r\nAQgP\r\n-----END X509 CERTIFICATE-----\r\n",
       "AQgP"},
      {"999 characters are still a line", "x-BEGIN\n" + std::string(992, 'A') + "AQg=   \nEND-\n",
       std::string(992, 'A') + "AQg=   "},
      {"empty text", "", std::nullopt},
      {"only line ends", "\n\r\n", std::nullopt},
      {"only armour lines: nothing collected", "-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----",
       std::nullopt},
      {"a line of 1000 characters", "-BEGIN\n" + std::string(1000, 'A') + "\nEND-\n", std::nullopt},
      {"text that is not Base64", "-BEGIN\nnot*base64\n-END\n", std::nullopt},
      {"a PEM message is not armour",
       std::string(kPemMessageBegin) + "\nProc-Type: 4,MIC-ONLY\nContent-Domain: RFC822\n" + kPemMessageEnd,
       std::nullopt},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(ParseText(c.text), c.collected);
  }
}

TEST(PemSniff, TellsWhatTheFileHolds) {
  const std::string begin = std::string(kPemMessageBegin) + "\n";
  struct Case {
    std::string text;
    int result;
    std::string procType;
  } const kTests[] = {
      {begin + "proc-type:4,mic-only\r\n", kPemSniffMic, "proc-type:4,mic-only"},
      {"junk\n" + begin + "Proc-Type: 4,MIC-CLEAR\n", kPemSniffMic, "Proc-Type: 4,MIC-CLEAR"},
      {begin + "Proc-Type: 4,CRL\n", kPemSniffCrl, ""},
      {begin + "Proc-Type: 4,CRL-RETRIEVAL-REQUEST\n", kPemSniffCrlRetrievalRequest, ""},
      {begin + "-----BEGIN CERTIFICATE-----\n", kPemSniffArmouredCertificate, ""},
      {begin + "Proc-Type: 4,ENCRYPTED\n", kPemSniffNone, ""},  // encrypted messages are not taken
      {"AQgP\n", kPemSniffNone, ""},
      {"", kPemSniffNone, ""},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.text);
    File f = FileWith(c.text);
    std::string procType;
    EXPECT_EQ(SniffPemFile(f.get(), &procType), c.result);
    EXPECT_EQ(procType, c.procType);
  }
}

TEST(PemRequest, WrittenRequestHasTheExactLayout) {
  File f(std::tmpfile());
  ASSERT_EQ(WritePemRequestSigned(f.get(), kThree.data(), 3, kPemRequestBody, kSix), 0);
  EXPECT_EQ(Contents(f.get()),
            "\n-----BEGIN PRIVACY-ENHANCED MESSAGE-----\n"
            "Proc-Type: 4,MIC-ONLY\n"
            "Content-Domain: RFC822\n"
            "Originator-Certificate:\n"
            " AQgP\n"
            "MIC-Info: RSA-MD5,RSA,\n"
            " AQgPFh0k\n"
            "\n"
            "VGhpcyBpcyBhbiBSRkMtMTQyNCBDU1IuCg==\n"
            "-----END PRIVACY-ENHANCED MESSAGE-----\n");
}

TEST(PemRequest, ReaderStopsAtTheFirstWrongHeader) {
  const std::string domain = "Content-Domain:  RFC822\n";
  const std::string originator = "Originator-Certificate:\n AQgP\n";
  const std::string mic = "MIC-Info: RSA-MD2,RSA,\n AQgP\n\nAQgP\n";
  const std::string end = std::string(kPemMessageEnd) + "\n";
  struct Case {
    const char* why;
    std::string text;
    int result;
  } const kTests[] = {
      {"complete, MD2, lines after the end ignored", domain + originator + mic + end + "junk\n", kPemRequestOk},
      {"wrong domain", "Content-Domain: RFC1154\n" + originator + mic + end, kPemRequestBadDomain},
      {"no originator", domain + "Issuer-Certificate:\n AQgP\n" + mic + end, kPemRequestBadOriginator},
      {"other header after the certificate", domain + originator + "Key-Info: RSA,\n" + mic + end,
       kPemRequestUnexpectedHeader},
      {"MIC-Info with SHA-1", domain + originator + "MIC-Info: RSA-SHA1,RSA,\n AQgP\n\n" + end,
       kPemRequestUnexpectedHeader},
      {"no certificate text", domain + "Originator-Certificate:\n" + mic + end, kPemRequestNoCertificate},
      {"no MIC", domain + originator, kPemRequestNoMic},
      {"certificate not Base64", domain + "Originator-Certificate:\n A*gP\n" + mic + end, kPemRequestNotBase64},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    File f = FileWith(c.text);
    Bytes der;
    std::string micText;
    EXPECT_EQ(ReadPemRequest(f.get(), der, micText), c.result);
  }
  PemMic parts;
  EXPECT_TRUE(SplitPemMic(mic, parts));
  EXPECT_EQ(parts.digest, 1);
  EXPECT_FALSE(SplitPemMic("", parts));
  EXPECT_FALSE(SplitPemMic("MIC-Info: RSA-SHA1,RSA,\n AQgP\n\nAQgP\n", parts));
  EXPECT_FALSE(SplitPemMic("MIC-Info: RSA-MD5,RSA,\n\nAQgP\n", parts)) << "no signature";
  EXPECT_FALSE(SplitPemMic("MIC-Info: RSA-MD5,RSA,\n AQgP\n\n", parts)) << "no body";
}

TEST(PemCertificate, ImportTextNeedsACompleteCertificate) {
  Bytes der;
  struct Case {
    const char* why;
    std::string text;
    int result;
  } const kTests[] = {
      {"armour without final line end", "x\n-----BEGIN CERTIFICATE-----\nAQgP\n-----END CERTIFICATE-----", 0},
      {"armour cut inside", "-----BEGIN CERTIFICATE-----\nAQgP\n", kPemCertificateIncomplete},
      {"message ends inside the certificate lines",
       std::string(kPemMessageBegin) + "\noriginator-certificate:\n AQgP\n", kPemCertificateIncomplete},
      {"no begin line at all", "AQgP\n", kPemCertificateIncomplete},
      {"armour not Base64", "-----BEGIN CERTIFICATE-----\n*\n-----END CERTIFICATE-----\n",
       kPemCertificateNotBase64},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    File f = FileWith(c.text);
    EXPECT_EQ(ReadPemCertificateText(f.get(), der), c.result);
  }
}

}  // namespace
}  // namespace kcertadm
