#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "armour/base64.h"
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

// Base64 in lines of 64 characters between the BEGIN and END lines; a
// write that fails is reported.
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
  File readOnly(std::fopen("/dev/null", "r"));  // a failed write is reported
  EXPECT_EQ(PemWriteBase64(readOnly.get(), kSix.data(), 6, 0), -1);
  EXPECT_EQ(PemWriteBase64(nullptr, kSix.data(), 6, 0), -1);
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

// The strict readers: the sniffer tells what a file holds (and the
// Proc-Type line it saw); the request and certificate readers stop at the
// first line that is not what they expect.
TEST(PemStrictReaders, SniffAndStopAtTheFirstWrongLine) {
  const std::string begin = std::string(kPemMessageBegin) + "\n";
  const std::string domain = "Content-Domain:  RFC822\n";
  const std::string originator = "Originator-Certificate:\n AQgP\n";
  const std::string mic = "MIC-Info: RSA-MD2,RSA,\n AQgP\n\nAQgP\n";
  const std::string end = std::string(kPemMessageEnd) + "\n";
  const std::string armour = "-----BEGIN CERTIFICATE-----\n";
  enum Reader { kSniff, kRequest, kCertificate };
  struct Case {
    const char* why;
    Reader reader;
    std::string text;
    int result;
    std::string procType = "";
  } const kTests[] = {
      {"MIC-ONLY, lower case", kSniff, begin + "proc-type:4,mic-only\r\n", kPemSniffMic, "proc-type:4,mic-only"},
      {"MIC-CLEAR after junk", kSniff, "junk\n" + begin + "Proc-Type: 4,MIC-CLEAR\n", kPemSniffMic,
       "Proc-Type: 4,MIC-CLEAR"},
      {"CRL", kSniff, begin + "Proc-Type: 4,CRL\n", kPemSniffCrl},
      {"CRL retrieval", kSniff, begin + "Proc-Type: 4,CRL-RETRIEVAL-REQUEST\n", kPemSniffCrlRetrievalRequest},
      {"armour inside", kSniff, begin + armour, kPemSniffArmouredCertificate},
      {"encrypted messages are not taken", kSniff, begin + "Proc-Type: 4,ENCRYPTED\n", kPemSniffNone},
      {"bare Base64", kSniff, "AQgP\n", kPemSniffNone},
      {"complete, MD2, lines after the end ignored", kRequest, domain + originator + mic + end + "junk\n",
       kPemRequestOk},
      {"wrong domain", kRequest, "Content-Domain: RFC1154\n" + originator + mic + end, kPemRequestBadDomain},
      {"no originator", kRequest, domain + "Issuer-Certificate:\n AQgP\n" + mic + end, kPemRequestBadOriginator},
      {"other header after the certificate", kRequest, domain + originator + "Key-Info: RSA,\n" + mic + end,
       kPemRequestUnexpectedHeader},
      {"MIC-Info with SHA-1", kRequest, domain + originator + "MIC-Info: RSA-SHA1,RSA,\n AQgP\n\n" + end,
       kPemRequestUnexpectedHeader},
      {"no certificate text", kRequest, domain + "Originator-Certificate:\n" + mic + end, kPemRequestNoCertificate},
      {"no MIC", kRequest, domain + originator, kPemRequestNoMic},
      {"certificate not Base64", kRequest, domain + "Originator-Certificate:\n A*gP\n" + mic + end,
       kPemRequestNotBase64},
      {"armour without final line end", kCertificate, "x\n" + armour + "AQgP\n-----END CERTIFICATE-----", 0},
      {"armour cut inside", kCertificate, armour + "AQgP\n", kPemCertificateIncomplete},
      {"message ends inside the certificate lines", kCertificate, begin + "originator-certificate:\n AQgP\n",
       kPemCertificateIncomplete},
      {"no begin line at all", kCertificate, "AQgP\n", kPemCertificateIncomplete},
      {"armour not Base64", kCertificate, armour + "*\n-----END CERTIFICATE-----\n", kPemCertificateNotBase64},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    File f = FileWith(c.text);
    Bytes der;
    std::string text;
    EXPECT_EQ(c.reader == kSniff     ? SniffPemFile(f.get(), &text)
              : c.reader == kRequest ? ReadPemRequest(f.get(), der, text)
                                     : ReadPemCertificateText(f.get(), der),
              c.result);
    if (c.reader == kSniff) EXPECT_EQ(text, c.procType);
  }
  PemMic parts;
  EXPECT_TRUE(SplitPemMic(mic, parts));
  EXPECT_EQ(parts.digest, 1);
  for (const char* bad : {"", "MIC-Info: RSA-SHA1,RSA,\n AQgP\n\nAQgP\n", "MIC-Info: RSA-MD5,RSA,\n\nAQgP\n",
                          "MIC-Info: RSA-MD5,RSA,\n AQgP\n\n"}) {
    EXPECT_FALSE(SplitPemMic(bad, parts)) << bad;  // empty, SHA-1, no signature, no body
  }
}

}  // namespace
}  // namespace kcertadm
