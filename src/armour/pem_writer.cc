// Writing PEM certification requests and replies.
#include <string>

#include "armour/base64.h"
#include "armour/pem.h"

namespace kcertadm {
namespace {

bool WriteLine(std::FILE* file, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
         std::fputc('\n', file) != EOF;
}

bool WriteIndented(std::FILE* file, const std::uint8_t* bytes, std::size_t count) {
  return count <= 0x7FFFFFFF &&
         PemWriteBase64(file, bytes, static_cast<std::int32_t>(count), 1) == 0;
}

}  // namespace

int WritePemRequestSigned(std::FILE* file, const std::uint8_t* certificate, std::int32_t length,
                          std::string_view body, const std::vector<std::uint8_t>& signature) {
  if (file == nullptr || certificate == nullptr || length <= 0 || body.size() > 0x7FFFFFFF) {
    return -1;
  }
  const bool written =
      WriteLine(file, "") && WriteLine(file, kPemMessageBegin) &&
      WriteLine(file, "Proc-Type: 4,MIC-ONLY") && WriteLine(file, "Content-Domain: RFC822") &&
      WriteLine(file, "Originator-Certificate:") &&
      WriteIndented(file, certificate, static_cast<std::size_t>(length)) &&
      WriteLine(file, "MIC-Info: RSA-MD5,RSA,") &&
      WriteIndented(file, signature.data(), signature.size()) && WriteLine(file, "") &&
      PemWriteBase64(file, reinterpret_cast<const std::uint8_t*>(body.data()),
                     static_cast<std::int32_t>(body.size()), 0) == 0 &&
      WriteLine(file, kPemMessageEnd);
  return written && std::fflush(file) == 0 ? 0 : -1;
}

int WritePemReply(std::FILE* file, const std::vector<std::uint8_t>& issuerCert,
                  const std::vector<std::uint8_t>& issuedCert, std::string_view micText,
                  std::string_view procTypeLine) {
  if (file == nullptr) return -1;
  // The MIC text comes with its own line ends and is written unchanged.
  const bool written = WriteLine(file, kPemMessageBegin) && WriteLine(file, procTypeLine) &&
                       WriteLine(file, "Content-Domain:  RFC822") &&
                       WriteLine(file, "Originator-Certificate:") &&
                       WriteIndented(file, issuedCert.data(), issuedCert.size()) &&
                       WriteLine(file, "Issuer-Certificate:") &&
                       WriteIndented(file, issuerCert.data(), issuerCert.size()) &&
                       std::fwrite(micText.data(), 1, micText.size(), file) == micText.size() &&
                       WriteLine(file, kPemMessageEnd);
  return written && std::fflush(file) == 0 ? 0 : -1;
}

}  // namespace kcertadm
