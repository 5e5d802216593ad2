// Certificate and request files as text: the armour form (Base64 between
// "-----BEGIN ...-----" and "-----END ...-----" lines) and the RFC 1421
// Privacy-Enhanced Message form in which RFC 1424 certification requests
// and replies travel.
//
// The lenient reader (ParseCertificateText) takes whatever a user may paste:
// armoured or bare Base64. The strict readers (SniffPemFile, ReadPemRequest,
// ReadPemCertificateText) read PEM messages line by line and return small
// result codes; they never set a message number themselves.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "kcertadm.h"

namespace kcertadm {

inline constexpr const char* kPemCertificateBegin = "-----BEGIN CERTIFICATE-----";
inline constexpr const char* kPemCertificateEnd = "-----END CERTIFICATE-----";
inline constexpr const char* kPemRequestBegin = "-----BEGIN NEW CERTIFICATE REQUEST-----";
inline constexpr const char* kPemRequestEnd = "-----END NEW CERTIFICATE REQUEST-----";
inline constexpr const char* kPemMessageBegin = "-----BEGIN PRIVACY-ENHANCED MESSAGE-----";
inline constexpr const char* kPemMessageEnd = "-----END PRIVACY-ENHANCED MESSAGE-----";

// The body text of every request this system writes.
inline constexpr const char* kPemRequestBody = "This is an RFC-1424 CSR.\n";

// ---- Lines -----------------------------------------------------------------

// Longest piece of a line the strict readers take at once; a longer line is
// read as several pieces.
inline constexpr std::size_t kPemLinePiece = 1999;

// Reads the next line (at most kPemLinePiece characters) without its
// trailing carriage returns and line feeds. False at the end of the file.
bool PemReadLine(std::FILE* file, std::string& line);

// Equal after removing every space and tab from both and folding A-Z to
// a-z; nothing may follow the constant.
bool PemLineEquals(std::string_view line, std::string_view constant);

// The first n characters agree with A-Z folded to a-z; blanks count. False
// when the line is shorter than n.
bool PemPrefixEquals(std::string_view line, std::string_view prefix, std::size_t n);

// ---- Armour form -------------------------------------------------------------

// Writes the BEGIN line, the Base64 of cert.der in lines of 64 characters
// and the END line, with no line end after it. 0, or -1 when a write fails.
int WriteArmouredObject(const CertData& cert, std::FILE* file, bool isRequest);

// Lines longer than this fail the lenient reader.
inline constexpr std::size_t kLenientLineLimit = 1000;

// Collects the Base64 of cert->fileText (armoured, or bare on one line) into
// certText (reqText with isRequest) and decodes it into der. 0, or -1 with
// 30043.
int ParseCertificateText(CertData* cert, bool isRequest, std::uint32_t* error);

// ---- PEM messages --------------------------------------------------------------

// SniffPemFile results.
inline constexpr int kPemSniffArmouredCertificate = 0;
inline constexpr int kPemSniffMic = 1;  // Proc-Type 4,MIC-ONLY or 4,MIC-CLEAR
inline constexpr int kPemSniffCrl = 2;
inline constexpr int kPemSniffCrlRetrievalRequest = 3;
inline constexpr int kPemSniffNone = -1;

// Reads lines until a PEM message header or an armoured certificate shows
// what the file holds. For a MIC message the Proc-Type line as read is
// appended to procType and the file is left after it.
int SniffPemFile(std::FILE* file, std::string* procType);

// ReadPemRequest results.
inline constexpr int kPemRequestOk = 0;
inline constexpr int kPemRequestBadDomain = 2;
inline constexpr int kPemRequestBadOriginator = 3;
inline constexpr int kPemRequestUnexpectedHeader = 4;
inline constexpr int kPemRequestNoCertificate = 7;
inline constexpr int kPemRequestNoMic = 8;
inline constexpr int kPemRequestNotBase64 = 10;

// Reads the rest of a certification request after its Proc-Type line: the
// originator certificate's DER, and the MIC text (the MIC-Info header with
// its continuation lines, the empty separator line and the body lines, each
// ended by a line feed). The MIC is not verified here.
int ReadPemRequest(std::FILE* file, std::vector<std::uint8_t>& der, std::string& micText);

// The parts of a MIC text: the digest of the MIC-Info header (1 MD2, 2 MD5;
// 0 when the header names neither), the signature and the body octets.
struct PemMic {
  int digest = 0;
  std::vector<std::uint8_t> signature;
  std::vector<std::uint8_t> body;
};
// False when the text does not have that shape or does not decode.
bool SplitPemMic(std::string_view micText, PemMic& out);

// Writes a PEM certification reply: the issued certificate as originator,
// the issuer's certificate, and the request's MIC text unchanged. 0 or -1.
int WritePemReply(std::FILE* file, const std::vector<std::uint8_t>& issuerCert,
                  const std::vector<std::uint8_t>& issuedCert, std::string_view micText,
                  std::string_view procTypeLine);

// Writes a MIC-ONLY certification request around a ready signature of the
// body. 0 or -1.
int WritePemRequestSigned(std::FILE* file, const std::uint8_t* certificate, std::int32_t length,
                          std::string_view body, const std::vector<std::uint8_t>& signature);

// ReadPemCertificateText results besides 0.
inline constexpr int kPemCertificateIncomplete = -15;
inline constexpr int kPemCertificateNotBase64 = -1;

// The certificate of a file for import: the Originator-Certificate of a PEM
// message, or the body of an armoured certificate. 0, -15 when no complete
// certificate text was found, -1 when the text is not Base64.
int ReadPemCertificateText(std::FILE* file, std::vector<std::uint8_t>& der);

}  // namespace kcertadm
