// The strict readers of PEM messages: what a file holds, a certification
// request, the MIC of a request, and the certificate of a file for import.
#include <cstdlib>
#include <string>

#include "armour/base64.h"
#include "armour/pem.h"

namespace kcertadm {
namespace {

bool StartsWithBlank(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// What follows the first colon of a line.
std::string_view AfterColon(std::string_view line) {
  const std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
}

bool IsMicInfo(std::string_view line) {
  return PemLineEquals(line, "MIC-Info: RSA-MD2,RSA,") ||
         PemLineEquals(line, "MIC-Info: RSA-MD5,RSA,");
}

}  // namespace

PemSniff SniffPemFile(std::FILE* file, std::string* procType) {
  std::string line;
  bool afterMessageBegin = false;
  while (PemReadLine(file, line)) {
    if (afterMessageBegin) {
      afterMessageBegin = false;
      if (PemLineEquals(line, "Proc-Type: 4,CRL")) return kPemSniffCrl;
      if (PemLineEquals(line, "Proc-Type: 4,CRL-RETRIEVAL-REQUEST")) {
        return kPemSniffCrlRetrievalRequest;
      }
      if (PemLineEquals(line, "Proc-Type: 4,MIC-ONLY") ||
          PemLineEquals(line, "Proc-Type: 4,MIC-CLEAR")) {
        if (procType != nullptr) procType->append(line);
        return kPemSniffMic;
      }
    }
    if (line == kPemMessageBegin) {
      afterMessageBegin = true;
      continue;
    }
    if (PemLineEquals(line, kPemCertificateBegin)) return kPemSniffArmouredCertificate;
  }
  return kPemSniffNone;
}

PemRequestStatus ReadPemRequest(std::FILE* file, std::vector<std::uint8_t>& der,
                                std::string& micText) {
  enum class State { kDomain, kOriginator, kCertificate, kMic, kBody, kDone };
  State state = State::kDomain;
  std::string certificateText;
  bool haveCertificate = false;
  der.clear();
  micText.clear();

  std::string line;
  while (PemReadLine(file, line)) {
    switch (state) {
      case State::kDomain:
        if (!PemLineEquals(line, "Content-Domain: RFC822")) return kPemRequestBadDomain;
        state = State::kOriginator;
        break;
      case State::kOriginator:
        if (!PemLineEquals(line, "Originator-Certificate:")) return kPemRequestBadOriginator;
        certificateText.assign(AfterColon(line));
        haveCertificate = true;
        state = State::kCertificate;
        break;
      case State::kCertificate:
        if (StartsWithBlank(line)) {
          certificateText.append(line, 1);
        } else if (IsMicInfo(line)) {
          micText.append(line).push_back('\n');
          state = State::kMic;
        } else {
          return kPemRequestUnexpectedHeader;
        }
        break;
      case State::kMic:
        if (StartsWithBlank(line)) {
          micText.append(line).push_back('\n');
        } else {
          micText.push_back('\n');
          state = State::kBody;
        }
        break;
      case State::kBody:
        if (line == kPemMessageEnd) {
          state = State::kDone;
        } else {
          micText.append(line).push_back('\n');
        }
        break;
      case State::kDone:
        break;
    }
  }
  if (!haveCertificate || certificateText.find_first_not_of(" \t") == std::string::npos) {
    return kPemRequestNoCertificate;
  }
  if (micText.empty()) return kPemRequestNoMic;
  if (!Base64DecodeBytes(certificateText, der)) return kPemRequestNotBase64;
  return kPemRequestOk;
}

bool SplitPemMic(std::string_view micText, PemMic& out) {
  out = PemMic();
  std::size_t pos = 0;
  auto nextLine = [&](std::string_view& line) {
    if (pos >= micText.size()) return false;
    std::size_t end = micText.find('\n', pos);
    if (end == std::string_view::npos) end = micText.size();
    line = micText.substr(pos, end - pos);
    pos = end + 1;
    return true;
  };
  std::string_view line;
  if (!nextLine(line)) return false;
  if (PemLineEquals(line, "MIC-Info: RSA-MD2,RSA,")) {
    out.digest = 1;
  } else if (PemLineEquals(line, "MIC-Info: RSA-MD5,RSA,")) {
    out.digest = 2;
  } else {
    return false;
  }
  std::string signatureText;
  while (nextLine(line) && StartsWithBlank(line)) signatureText.append(line);
  // The line that ended the MIC-Info header is the empty separator; the
  // body follows.
  std::string bodyText(micText.substr(pos < micText.size() ? pos : micText.size()));
  return Base64DecodeBytes(signatureText, out.signature) && Base64DecodeBytes(bodyText, out.body);
}

PemCertificateStatus ReadPemCertificateText(std::FILE* file, std::vector<std::uint8_t>& der) {
  der.clear();
  std::string line;
  bool message = false;
  bool armour = false;
  while (!message && !armour && PemReadLine(file, line)) {
    message = line == kPemMessageBegin;
    armour = line == kPemCertificateBegin;
  }
  if (!message && !armour) return kPemCertificateIncomplete;

  std::string text;
  bool ended = false;
  if (message) {
    constexpr std::string_view kOriginator = "originator-certificate:";
    bool started = false;
    while (!ended && PemReadLine(file, line)) {
      if (!started) {
        if (PemPrefixEquals(line, kOriginator, kOriginator.size())) {
          text.assign(AfterColon(line));
          started = true;
        }
      } else if (StartsWithBlank(line)) {
        text.append(line);
      } else {
        ended = true;
      }
    }
  } else {
    while (!ended && PemReadLine(file, line)) {
      if (line == kPemCertificateEnd) {
        ended = true;
      } else {
        text.append(line);
      }
    }
  }
  if (!ended) return kPemCertificateIncomplete;
  if (!Base64DecodeBytes(text, der)) return kPemCertificateNotBase64;
  return PemCertificateStatus::kOk;
}

}  // namespace kcertadm
