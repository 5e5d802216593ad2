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
[[nodiscard]] int WriteArmouredObject(const CertData& cert, std::FILE* file, bool isRequest);

// Lines longer than this fail the lenient reader.
inline constexpr std::size_t kLenientLineLimit = 1000;

// Collects the Base64 of cert->fileText (armoured, or bare on one line) into
// certText (reqText with isRequest) and decodes it into der. 0, or -1 with
// 30043.
[[nodiscard]] int ParseCertificateText(CertData* cert, bool isRequest, std::uint32_t* error);

// ---- PEM messages --------------------------------------------------------------

// What SniffPemFile found in a file.
// clang-format off
enum class [[nodiscard]] PemSniff : int {
  kArmouredCertificate = 0,
  kMic = 1,  // Proc-Type 4,MIC-ONLY or 4,MIC-CLEAR
  kCrl = 2,
  kCrlRetrievalRequest = 3,
  kNone = -1,
};
// clang-format on
inline constexpr PemSniff kPemSniffArmouredCertificate = PemSniff::kArmouredCertificate;
inline constexpr PemSniff kPemSniffMic = PemSniff::kMic;
inline constexpr PemSniff kPemSniffCrl = PemSniff::kCrl;
inline constexpr PemSniff kPemSniffCrlRetrievalRequest = PemSniff::kCrlRetrievalRequest;
inline constexpr PemSniff kPemSniffNone = PemSniff::kNone;

// Reads lines until a PEM message header or an armoured certificate shows
// what the file holds. For a MIC message the Proc-Type line as read is
// appended to procType and the file is left after it.
PemSniff SniffPemFile(std::FILE* file, std::string* procType);

// How ReadPemRequest ended.
// clang-format off
enum class [[nodiscard]] PemRequestStatus : int {
  kOk = 0,
  kBadDomain = 2,
  kBadOriginator = 3,
  kUnexpectedHeader = 4,
  kNoCertificate = 7,
  kNoMic = 8,
  kNotBase64 = 10,
};
// clang-format on
inline constexpr PemRequestStatus kPemRequestOk = PemRequestStatus::kOk;
inline constexpr PemRequestStatus kPemRequestBadDomain = PemRequestStatus::kBadDomain;
inline constexpr PemRequestStatus kPemRequestBadOriginator = PemRequestStatus::kBadOriginator;
inline constexpr PemRequestStatus kPemRequestUnexpectedHeader = PemRequestStatus::kUnexpectedHeader;
inline constexpr PemRequestStatus kPemRequestNoCertificate = PemRequestStatus::kNoCertificate;
inline constexpr PemRequestStatus kPemRequestNoMic = PemRequestStatus::kNoMic;
inline constexpr PemRequestStatus kPemRequestNotBase64 = PemRequestStatus::kNotBase64;

// Reads the rest of a certification request after its Proc-Type line: the
// originator certificate's DER, and the MIC text (the MIC-Info header with
// its continuation lines, the empty separator line and the body lines, each
// ended by a line feed). The MIC is not verified here.
PemRequestStatus ReadPemRequest(std::FILE* file, std::vector<std::uint8_t>& der,
                                std::string& micText);

// The parts of a MIC text: the digest of the MIC-Info header (1 MD2, 2 MD5;
// 0 when the header names neither), the signature and the body octets.
struct PemMic {
  int digest = 0;
  std::vector<std::uint8_t> signature;
  std::vector<std::uint8_t> body;
};
// False when the text does not have that shape or does not decode.
[[nodiscard]] bool SplitPemMic(std::string_view micText, PemMic& out);

// Writes a PEM certification reply: the issued certificate as originator,
// the issuer's certificate, and the request's MIC text unchanged. 0 or -1.
[[nodiscard]] int WritePemReply(std::FILE* file, const std::vector<std::uint8_t>& issuerCert,
                                const std::vector<std::uint8_t>& issuedCert,
                                std::string_view micText, std::string_view procTypeLine);

// Writes a MIC-ONLY certification request around a ready signature of the
// body. 0 or -1.
[[nodiscard]] int WritePemRequestSigned(std::FILE* file, const std::uint8_t* certificate,
                                        std::int32_t length, std::string_view body,
                                        const std::vector<std::uint8_t>& signature);

// How ReadPemCertificateText ended.
// clang-format off
enum class [[nodiscard]] PemCertificateStatus : int {
  kOk = 0,
  kIncomplete = -15,  // no complete certificate text found
  kNotBase64 = -1,
};
// clang-format on
inline constexpr PemCertificateStatus kPemCertificateIncomplete = PemCertificateStatus::kIncomplete;
inline constexpr PemCertificateStatus kPemCertificateNotBase64 = PemCertificateStatus::kNotBase64;

// The certificate of a file for import: the Originator-Certificate of a PEM
// message, or the body of an armoured certificate.
PemCertificateStatus ReadPemCertificateText(std::FILE* file, std::vector<std::uint8_t>& der);

// The numbers the PEM readers' results have in the design of the text
// armour, where the readers are described as returning small codes.
constexpr int PemResultNumber(PemSniff result) { return static_cast<int>(result); }
constexpr int PemResultNumber(PemRequestStatus result) { return static_cast<int>(result); }
constexpr int PemResultNumber(PemCertificateStatus result) { return static_cast<int>(result); }

}  // namespace kcertadm
