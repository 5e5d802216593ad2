#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "armour/base64.h"
#include "armour/pem.h"
#include "asn1/hex_util.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File FileWith(const std::string& text) {
  File f(std::tmpfile(), std::fclose);
  std::fputs(text.c_str(), f.get());
  std::rewind(f.get());
  return f;
}

std::string Contents(std::FILE* f) {
  std::string out(4096, '\0');
  std::rewind(f);
  out.resize(std::fread(out.data(), 1, out.size(), f));
  return out;
}

const Bytes kThree = {0x01, 0x08, 0x0F},
            kSix = {0x01, 0x08, 0x0F, 0x16, 0x1D, 0x24};  // "AQgP", "AQgPFh0k"
const std::string kLine64(64, 'A');                       // 48 zero octets

TEST(PemLines, ReadStripsLineEndsAndCutsLongLines) {
  File f = FileWith("first\r\n\nlast" + std::string(2500, 'x'));
  std::string line;
  std::vector<std::size_t> sizes;
  while (PemReadLine(f.get(), line)) sizes.push_back(line.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{5, 0, kPemLinePiece, 4 + 2500 - kPemLinePiece}));
}

TEST(PemArmour, WritesBeginBase64AndEndWithoutFinalLineEnd) {
  const struct {
    Bytes der;
    bool isRequest;
    std::string expected;
  } kTests[] = {
      {kThree, true,
       "-----BEGIN NEW CERTIFICATE REQUEST-----\nAQgP\n-----END NEW CERTIFICATE REQUEST-----"},
      {Bytes(49, 0), false,
       "-----BEGIN CERTIFICATE-----\n" + kLine64 + "\nAA==\n-----END CERTIFICATE-----"},
  };
  for (const auto& c : kTests) {
    CertData cert{};
    cert.der = test_support::ItemOf(c.der);
    File f = FileWith("");
    ASSERT_EQ(WriteArmouredObject(cert, f.get(), c.isRequest), 0);
    EXPECT_EQ(Contents(f.get()), c.expected);
  }
  EXPECT_EQ(
      PemWriteBase64(File(std::fopen("/dev/null", "r"), std::fclose).get(), kSix.data(), 6, 0), -1)
      << "write failed";
}

// The Base64 the lenient reader collects, or none when it refused the text with the decode failure.
std::optional<std::string> ParseText(std::string text) {
  CertData cert{};
  cert.fileText = Asn1Item{reinterpret_cast<std::uint8_t*>(text.data()),
                           static_cast<std::int32_t>(text.size())};
  std::uint32_t error = 0;
  std::optional<std::string> collected;
  if (ParseCertificateText(&cert, false, &error) == 0 && cert.der.length > 0)
    collected.emplace(reinterpret_cast<char*>(cert.certText.data), cert.certText.length);
  else
    EXPECT_EQ(error, kMsgDecodeFailed);
  std::free(cert.der.data);
  std::free(cert.certText.data);
  return collected;
}

TEST(PemArmour, LenientReaderTakesArmouredOrBareText) {
  const struct {
    const char* why;
    std::string text;
    std::optional<std::string> collected;
  } kTests[] = {
      {"armoured, lines joined, no line end after END",
       "\n-----BEGIN X509 CERTIFICATE-----\n" + kLine64 + "\nAQgP\n-----END X509 CERTIFICATE-----",
       kLine64 + "AQgP"},
      {"999 chars: a line", "x-BEGIN\n" + std::string(992, 'A') + "AQg=   \nEND-\n",
       std::string(992, 'A') + "AQg=   "},
      {"nothing between armour", "-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----",
       std::nullopt},
      {"a line of 1000 characters", "-BEGIN\n" + std::string(1000, 'A') + "\nEND-\n", std::nullopt},
      {"PEM message", std::string(kPemMessageBegin) + "\nProc-Type: 4,MIC-ONLY\n" + kPemMessageEnd,
       std::nullopt},
  };
  for (const auto& c : kTests) EXPECT_EQ(ParseText(c.text), c.collected) << c.why;
}

TEST(PemRequest, WrittenRequestHasTheExactLayout) {
  File f = FileWith("");
  ASSERT_EQ(WritePemRequestSigned(f.get(), kThree.data(), 3, kPemRequestBody, kSix), 0);
  EXPECT_EQ(
      Contents(f.get()),
      "\n-----BEGIN PRIVACY-ENHANCED MESSAGE-----\nProc-Type: 4,MIC-ONLY\nContent-Domain: RFC822\n"
      "Originator-Certificate:\n AQgP\nMIC-Info: RSA-MD5,RSA,\n AQgPFh0k\n\n"
      "VGhpcyBpcyBhbiBSRkMtMTQyNCBDU1IuCg==\n-----END PRIVACY-ENHANCED MESSAGE-----\n");
}

// The readers' results keep the small codes the text armour is known by.
TEST(PemStrictReaders, ResultsKeepTheirNumbers) {
  using S = PemSniff;
  using R = PemRequestStatus;
  using C = PemCertificateStatus;
  EXPECT_EQ((std::vector{PemResultNumber(S::kArmouredCertificate), PemResultNumber(S::kMic),
                         PemResultNumber(S::kCrl), PemResultNumber(S::kCrlRetrievalRequest),
                         PemResultNumber(S::kNone)}),
            (std::vector{0, 1, 2, 3, -1}));
  EXPECT_EQ((std::vector{PemResultNumber(R::kOk), PemResultNumber(R::kBadDomain),
                         PemResultNumber(R::kBadOriginator), PemResultNumber(R::kUnexpectedHeader),
                         PemResultNumber(R::kNoCertificate), PemResultNumber(R::kNoMic),
                         PemResultNumber(R::kNotBase64)}),
            (std::vector{0, 2, 3, 4, 7, 8, 10}));
  EXPECT_EQ((std::vector{PemResultNumber(C::kOk), PemResultNumber(C::kIncomplete),
                         PemResultNumber(C::kNotBase64)}),
            (std::vector{0, -15, -1}));
}

// The sniffer tells what a file holds (and its Proc-Type line); the readers stop at the first
// unexpected line.
TEST(PemStrictReaders, SniffAndStopAtTheFirstWrongLine) {
  const std::string begin = std::string(kPemMessageBegin) + "\n",
                    end = std::string(kPemMessageEnd) + "\n";
  const std::string domain = "Content-Domain:  RFC822\n",
                    originator = "Originator-Certificate:\n AQgP\n";
  const std::string mic = "MIC-Info: RSA-MD2,RSA,\n AQgP\n\nAQgP\n",
                    armour = "-----BEGIN CERTIFICATE-----\n";
  enum Reader { kSniff, kRequest, kCertificate };
  const struct {
    const char* why;
    Reader reader;
    std::string text;
    int result;
    std::string procType = "";
  } kTests[] = {
      {"MIC-ONLY, lower case", kSniff, begin + "proc-type:4,mic-only\r\n",
       PemResultNumber(kPemSniffMic), "proc-type:4,mic-only"},
      {"CRL after junk", kSniff, "junk\n" + begin + "Proc-Type: 4,CRL\n",
       PemResultNumber(kPemSniffCrl)},
      {"armour inside", kSniff, begin + armour, PemResultNumber(kPemSniffArmouredCertificate)},
      {"encrypted messages are not taken", kSniff, begin + "Proc-Type: 4,ENCRYPTED\n",
       PemResultNumber(kPemSniffNone)},
      // A header line is its constant whole: text after it makes another header.
      {"text after MIC-ONLY", kSniff, begin + "Proc-Type: 4,MIC-ONLYX\n",
       PemResultNumber(kPemSniffNone)},
      {"complete, lines after the end ignored", kRequest,
       domain + originator + mic + end + "junk\n", PemResultNumber(kPemRequestOk)},
      {"wrong domain", kRequest, "Content-Domain: RFC1154\n" + originator + mic + end,
       PemResultNumber(kPemRequestBadDomain)},
      {"text after the domain", kRequest, "Content-Domain: RFC822X\n" + originator + mic + end,
       PemResultNumber(kPemRequestBadDomain)},
      {"Base64 on the originator line", kRequest,
       domain + "Originator-Certificate: AQgP\n" + mic + end,
       PemResultNumber(kPemRequestBadOriginator)},
      {"no originator", kRequest, domain + "Issuer-Certificate:\n AQgP\n" + mic + end,
       PemResultNumber(kPemRequestBadOriginator)},
      {"header after certificate", kRequest, domain + originator + "Key-Info: RSA,\n" + mic + end,
       PemResultNumber(kPemRequestUnexpectedHeader)},
      {"no certificate text", kRequest, domain + "Originator-Certificate:\n" + mic + end,
       PemResultNumber(kPemRequestNoCertificate)},
      {"no MIC", kRequest, domain + originator, PemResultNumber(kPemRequestNoMic)},
      {"certificate not Base64", kRequest, domain + "Originator-Certificate:\n A*gP\n" + mic + end,
       PemResultNumber(kPemRequestNotBase64)},
      {"armour without final line end", kCertificate,
       "x\n" + armour + "AQgP\n-----END CERTIFICATE-----", 0},
      {"ends in certificate lines", kCertificate, begin + "originator-certificate:\n AQgP\n",
       PemResultNumber(kPemCertificateIncomplete)},
      {"armour not Base64", kCertificate, armour + "*\n-----END CERTIFICATE-----\n",
       PemResultNumber(kPemCertificateNotBase64)},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    File f = FileWith(c.text);
    Bytes der;
    std::string text;
    EXPECT_EQ(c.reader == kSniff     ? PemResultNumber(SniffPemFile(f.get(), &text))
              : c.reader == kRequest ? PemResultNumber(ReadPemRequest(f.get(), der, text))
                                     : PemResultNumber(ReadPemCertificateText(f.get(), der)),
              c.result);
    EXPECT_TRUE(c.reader != kSniff || text == c.procType) << text;
  }
  PemMic parts;
  EXPECT_TRUE(SplitPemMic(mic, parts) && parts.digest == 1);
  for (const char* bad :
       {"", "MIC-Info: RSA-SHA1,RSA,\n AQgP\n\nAQgP\n", "MIC-Info: RSA-MD5,RSA,\n\nAQgP\n",
        "MIC-Info: RSA-MD5,RSA,\n AQgP\n\n"})  // empty, SHA-1, no signature, no body
    EXPECT_FALSE(SplitPemMic(bad, parts)) << bad;
}

}  // namespace
}  // namespace kcertadm
