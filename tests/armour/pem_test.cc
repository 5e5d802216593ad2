#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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
  std::fflush(f);
  std::rewind(f);
  std::string out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<char>(c));
  return out;
}

Bytes Ascending(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return b;
}

// Base64 of 0x01 0x08 0x0F (Ascending(3)).
constexpr const char* kThreeBytes = "AQgP";

// ---- Line comparisons --------------------------------------------------------

TEST(PemLines, BlankInsensitiveEquality) {
  struct Case {
    const char* line;
    const char* constant;
    bool equal;
  } const kTests[] = {
      {"Proc-Type: 4,MIC-ONLY", "Proc-Type: 4,MIC-ONLY", true},
      {"proc-type:4,mic-only", "Proc-Type: 4,MIC-ONLY", true},    // case and blanks ignored
      {"Proc-Type:\t4, MIC-ONLY ", "Proc-Type: 4,MIC-ONLY", true},
      {"Content-Domain: RFC822", "Content-Domain:  RFC822", true},
      {"Proc-Type: 4,MIC-ONLYX", "Proc-Type: 4,MIC-ONLY", false},  // trailing text
      {"Proc-Type: 4,MIC-ONL", "Proc-Type: 4,MIC-ONLY", false},    // cut short
      {"", "Proc-Type: 4,MIC-ONLY", false},
      {"   ", "", true},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(PemLineEquals(c.line, c.constant), c.equal);
  }
}

TEST(PemLines, PrefixCountsBlanksAndNeedsLength) {
  EXPECT_TRUE(PemPrefixEquals("ORIGINATOR-CERTIFICATE: x", "originator-certificate:", 23));
  EXPECT_FALSE(PemPrefixEquals("Originator-Certificate :", "originator-certificate:", 23));
  EXPECT_FALSE(PemPrefixEquals("Originator", "originator-certificate:", 23));
}

TEST(PemLines, ReadStripsLineEndsAndCutsLongLines) {
  File f = FileWith("first\r\n\nlast" + std::string(2500, 'x'));
  std::string line;
  ASSERT_TRUE(PemReadLine(f.get(), line));
  EXPECT_EQ(line, "first");
  ASSERT_TRUE(PemReadLine(f.get(), line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(PemReadLine(f.get(), line));
  EXPECT_EQ(line.size(), kPemLinePiece);
  ASSERT_TRUE(PemReadLine(f.get(), line));
  EXPECT_EQ(line.size(), 4 + 2500 - kPemLinePiece);
  EXPECT_FALSE(PemReadLine(f.get(), line));
}

// ---- Armour form ------------------------------------------------------------------

TEST(PemArmour, WritesBeginBase64AndEndWithoutFinalLineEnd) {
  Bytes der = Ascending(50);
  CertData cert{};
  cert.der = Asn1Item{der.data(), static_cast<std::int32_t>(der.size())};
  File f(std::tmpfile());
  ASSERT_EQ(WriteArmouredObject(cert, f.get(), false), 0);
  const std::string text = Contents(f.get());
  EXPECT_EQ(text.rfind("-----BEGIN CERTIFICATE-----\n", 0), 0u);
  EXPECT_TRUE(text.ends_with("\n-----END CERTIFICATE-----"));
  // 50 octets: one full line of 64 characters, then 4 more.
  EXPECT_EQ(text.size(), 28 + 65 + 5 + 25);

  File r(std::tmpfile());
  ASSERT_EQ(WriteArmouredObject(cert, r.get(), true), 0);
  const std::string request = Contents(r.get());
  EXPECT_EQ(request.rfind("-----BEGIN NEW CERTIFICATE REQUEST-----\n", 0), 0u);
  EXPECT_TRUE(request.ends_with("\n-----END NEW CERTIFICATE REQUEST-----"));
}

struct Lenient {
  int result;
  std::uint32_t error;
  Bytes der;
  std::string collected;
};

Lenient ParseText(const std::string& text, bool isRequest = false) {
  CertData cert{};
  cert.fileText = Asn1Item{reinterpret_cast<std::uint8_t*>(const_cast<char*>(text.data())),
                           static_cast<std::int32_t>(text.size())};
  Lenient out{};
  out.result = ParseCertificateText(&cert, isRequest, &out.error);
  if (cert.der.data != nullptr) out.der.assign(cert.der.data, cert.der.data + cert.der.length);
  const Asn1Item& collected = isRequest ? cert.reqText : cert.certText;
  if (collected.data != nullptr) {
    out.collected.assign(reinterpret_cast<char*>(collected.data), collected.length);
  }
  std::free(cert.der.data);
  std::free(cert.certText.data);
  std::free(cert.reqText.data);
  return out;
}

TEST(PemArmour, LenientReaderAcceptsArmouredAndBareText) {
  const std::string line64 = std::string(64, 'A');  // 48 zero octets
  struct Case {
    const char* why;
    std::string text;
    std::string collected;
  } const kTests[] = {
      {"bare Base64 on one line", kThreeBytes, kThreeBytes},
      {"bare Base64 with a line end", std::string(kThreeBytes) + "\r\n", kThreeBytes},
      {"armoured, lines joined", "-----BEGIN CERTIFICATE-----\n" + line64 + "\n" + kThreeBytes +
                                     "\n-----END CERTIFICATE-----\n",
       line64 + kThreeBytes},
      {"no line end after END", "-----BEGIN CERTIFICATE-----\n" + std::string(kThreeBytes) +
                                    "\n-----END CERTIFICATE-----",
       kThreeBytes},
      {"CR LF and blank lines", "\r\n-----BEGIN X509 CERTIFICATE-----\r\n\r\n" +
                                    std::string(kThreeBytes) + "\r\n-----END X509 CERTIFICATE-----\r\n",
       kThreeBytes},
      {"999 characters are still a line", "x-BEGIN\n" + std::string(992, 'A') + "AQg=   \nEND-\n",
       std::string(992, 'A') + "AQg=   "},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Lenient got = ParseText(c.text);
    ASSERT_EQ(got.result, 0);
    EXPECT_EQ(got.collected, c.collected);
    EXPECT_FALSE(got.der.empty());
  }
  EXPECT_EQ(ParseText(kThreeBytes).der, Ascending(3));
  EXPECT_EQ(ParseText(kThreeBytes, true).collected, kThreeBytes) << "request text goes to reqText";
}

TEST(PemArmour, LenientReaderRefusesWithDecodeFailure) {
  struct Case {
    const char* why;
    std::string text;
  } const kTests[] = {
      {"empty text", ""},
      {"only line ends", "\n\r\n"},
      {"only armour lines: nothing collected", "-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----"},
      {"a line of 1000 characters", "-BEGIN\n" + std::string(1000, 'A') + "\nEND-\n"},
      {"text that is not Base64", "-BEGIN\nnot*base64\n-END\n"},
      {"a PEM message is not armour", std::string(kPemMessageBegin) + "\nProc-Type: 4,MIC-ONLY\n"
                                          "Content-Domain: RFC822\n-----END PRIVACY-ENHANCED MESSAGE-----\n"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Lenient got = ParseText(c.text);
    EXPECT_NE(got.result, 0);
    EXPECT_EQ(got.error, kMsgDecodeFailed);
  }
}

// ---- PEM messages -------------------------------------------------------------------

TEST(PemSniff, TellsWhatTheFileHolds) {
  const std::string begin = std::string(kPemMessageBegin) + "\n";
  struct Case {
    const char* why;
    std::string text;
    int result;
    std::string procType;
  } const kTests[] = {
      {"MIC-ONLY", begin + "Proc-Type: 4,MIC-ONLY\n", kPemSniffMic, "Proc-Type: 4,MIC-ONLY"},
      {"lower case, no blank", begin + "proc-type:4,mic-only\r\n", kPemSniffMic, "proc-type:4,mic-only"},
      {"MIC-CLEAR", "junk\n" + begin + "Proc-Type: 4,MIC-CLEAR\n", kPemSniffMic, "Proc-Type: 4,MIC-CLEAR"},
      {"CRL", begin + "Proc-Type: 4,CRL\n", kPemSniffCrl, ""},
      {"CRL retrieval", begin + "Proc-Type: 4,CRL-RETRIEVAL-REQUEST\n", kPemSniffCrlRetrievalRequest, ""},
      {"armoured certificate", "-----BEGIN CERTIFICATE-----\nAAAA\n", kPemSniffArmouredCertificate, ""},
      {"armour after a message begin", begin + "-----BEGIN CERTIFICATE-----\n",
       kPemSniffArmouredCertificate, ""},
      {"ENCRYPTED is not taken", begin + "Proc-Type: 4,ENCRYPTED\n", kPemSniffNone, ""},
      {"bare Base64", "AQgP\n", kPemSniffNone, ""},
      {"empty file", "", kPemSniffNone, ""},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    File f = FileWith(c.text);
    std::string procType;
    EXPECT_EQ(SniffPemFile(f.get(), &procType), c.result);
    EXPECT_EQ(procType, c.procType);
  }
}

std::string RequestText(const Bytes& cert, const Bytes& signature, const std::string& body) {
  File f(std::tmpfile());
  EXPECT_EQ(WritePemRequestSigned(f.get(), cert.data(), static_cast<std::int32_t>(cert.size()),
                                  body, signature),
            0);
  return Contents(f.get());
}

TEST(PemRequest, WrittenRequestHasTheExactLayout) {
  EXPECT_EQ(RequestText(Ascending(3), Ascending(6), kPemRequestBody),
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

TEST(PemRequest, WrittenRequestReadsBack) {
  const Bytes cert = Ascending(300);
  const Bytes signature = Ascending(64);
  File f = FileWith(RequestText(cert, signature, kPemRequestBody));
  std::string procType;
  ASSERT_EQ(SniffPemFile(f.get(), &procType), kPemSniffMic);
  EXPECT_EQ(procType, "Proc-Type: 4,MIC-ONLY");
  Bytes der;
  std::string mic;
  ASSERT_EQ(ReadPemRequest(f.get(), der, mic), kPemRequestOk);
  EXPECT_EQ(der, cert);
  EXPECT_TRUE(mic.starts_with("MIC-Info: RSA-MD5,RSA,\n"));
  PemMic parts;
  ASSERT_TRUE(SplitPemMic(mic, parts));
  EXPECT_EQ(parts.digest, 2);
  EXPECT_EQ(parts.signature, signature);
  EXPECT_EQ(std::string(parts.body.begin(), parts.body.end()), kPemRequestBody);
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
      {"complete, MD2", domain + originator + mic + end, kPemRequestOk},
      {"lines after the end are ignored", domain + originator + mic + end + "garbage\n", kPemRequestOk},
      {"wrong domain", "Content-Domain: RFC1154\n" + originator + mic + end, kPemRequestBadDomain},
      {"no originator", domain + "Issuer-Certificate:\n AQgP\n" + mic + end, kPemRequestBadOriginator},
      {"other header after the certificate", domain + originator + "Key-Info: RSA,\n" + mic + end,
       kPemRequestUnexpectedHeader},
      {"MIC-Info with SHA-1", domain + originator + "MIC-Info: RSA-SHA1,RSA,\n AQgP\n\n" + end,
       kPemRequestUnexpectedHeader},
      {"no certificate text", domain + "Originator-Certificate:\n" + mic + end, kPemRequestNoCertificate},
      {"no MIC", domain + originator, kPemRequestNoMic},
      {"certificate not Base64", domain + "Originator-Certificate:\n A*gP\n" + mic + end,
       kPemRequestNotBase64},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    File f = FileWith(c.text);
    Bytes der;
    std::string micText;
    EXPECT_EQ(ReadPemRequest(f.get(), der, micText), c.result);
  }
}

TEST(PemRequest, MicSplitRefusesOtherShapes) {
  PemMic parts;
  EXPECT_FALSE(SplitPemMic("", parts));
  EXPECT_FALSE(SplitPemMic("MIC-Info: RSA-SHA1,RSA,\n AQgP\n\nAQgP\n", parts));
  EXPECT_FALSE(SplitPemMic("MIC-Info: RSA-MD5,RSA,\n\nAQgP\n", parts)) << "no signature";
  EXPECT_FALSE(SplitPemMic("MIC-Info: RSA-MD5,RSA,\n AQgP\n\n", parts)) << "no body";
  EXPECT_TRUE(SplitPemMic("MIC-Info: RSA-MD2,RSA,\n AQgP\n\nAQgP\n", parts));
  EXPECT_EQ(parts.digest, 1);
}

TEST(PemReply, RepeatsProcTypeAndMicAndCarriesBothCertificates) {
  File f(std::tmpfile());
  const std::string mic = "MIC-Info: RSA-MD5,RSA,\n AQgP\n\nVGhp\n";
  ASSERT_EQ(WritePemReply(f.get(), Ascending(6), Ascending(3), mic, "proc-type:4,mic-only"), 0);
  EXPECT_EQ(Contents(f.get()),
            "-----BEGIN PRIVACY-ENHANCED MESSAGE-----\n"
            "proc-type:4,mic-only\n"
            "Content-Domain:  RFC822\n"
            "Originator-Certificate:\n"
            " AQgP\n"
            "Issuer-Certificate:\n"
            " AQgPFh0k\n"
            "MIC-Info: RSA-MD5,RSA,\n AQgP\n\nVGhp\n"
            "-----END PRIVACY-ENHANCED MESSAGE-----\n");
}

TEST(PemCertificate, ImportTextFromReplyOrArmour) {
  File reply(std::tmpfile());
  ASSERT_EQ(WritePemReply(reply.get(), Ascending(6), Ascending(100), "MIC-Info: RSA-MD5,RSA,\n AQgP\n\nAQgP\n",
                          "Proc-Type: 4,MIC-ONLY"),
            0);
  std::rewind(reply.get());
  Bytes der;
  ASSERT_EQ(ReadPemCertificateText(reply.get(), der), 0);
  EXPECT_EQ(der, Ascending(100)) << "the issued certificate, not the issuer's";

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
