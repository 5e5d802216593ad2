// The armour form: writing it, and the lenient reader that accepts armoured
// or bare Base64 from files and from host-supplied text.
#include <cstdlib>
#include <cstring>
#include <string>

#include "armour/base64.h"
#include "armour/pem.h"
#include "cert/certificate.h"
#include "host/host_text.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

bool WriteText(std::FILE* file, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// Splits text into lines: a line ends at its first character below 0x20,
// and the run of such characters after it is skipped, so blank lines vanish.
class LenientLines {
 public:
  explicit LenientLines(std::string_view text) : text_(text) { SkipControls(); }

  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) >= 0x20) ++pos_;
    line = text_.substr(start, pos_ - start);
    SkipControls();
    return true;
  }

  // True when no further line follows the one just taken.
  bool AtEnd() const { return pos_ >= text_.size(); }

 private:
  void SkipControls() {
    while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) < 0x20) ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

bool IsArmourLine(std::string_view line, std::string_view word) {
  return HostFindString(line, "-") && HostFindString(line, word);
}

// A malloc block holding the text and a NUL, as the record's owners expect.
bool StoreText(Asn1Item& item, const std::string& text) {
  auto* block = static_cast<std::uint8_t*>(std::malloc(text.size() + 1));
  if (block == nullptr) return false;
  std::memcpy(block, text.data(), text.size());
  block[text.size()] = 0;
  std::free(item.data);
  item.data = block;
  item.length = static_cast<std::int32_t>(text.size());
  return true;
}

}  // namespace

int WriteArmouredObject(const CertData& cert, std::FILE* file, bool isRequest) {
  if (file == nullptr) return -1;
  if (!WriteText(file, isRequest ? kPemRequestBegin : kPemCertificateBegin) ||
      !WriteText(file, "\n")) {
    return -1;
  }
  if (PemWriteBase64(file, cert.der.data, cert.der.length, 0) != 0) return -1;
  if (!WriteText(file, isRequest ? kPemRequestEnd : kPemCertificateEnd)) return -1;
  return std::fflush(file) == 0 ? 0 : -1;
}

int ParseCertificateText(CertData* cert, bool isRequest, std::uint32_t* error) {
  auto fail = [error]() {
    if (error != nullptr) *error = kMsgDecodeFailed;
    return -1;
  };
  if (cert->fileText.data == nullptr || cert->fileText.length <= 0) return fail();
  const std::string_view text(reinterpret_cast<const char*>(cert->fileText.data),
                              static_cast<std::size_t>(cert->fileText.length));

  std::string collected;
  LenientLines lines(text);
  std::string_view line;
  bool first = true;
  while (lines.Next(line)) {
    if (lines.AtEnd() && collected.empty()) {
      // Bare Base64 on one line, or what is left after the BEGIN line.
      if (!(first && IsArmourLine(line, "BEGIN"))) collected.assign(line);
      break;
    }
    if (line.size() >= kLenientLineLimit) return fail();
    const bool skip = first ? IsArmourLine(line, "BEGIN") : IsArmourLine(line, "END");
    first = false;
    if (!skip) collected.append(line);
  }
  if (collected.empty()) return fail();

  Asn1Item& textItem = isRequest ? cert->reqText : cert->certText;
  if (!StoreText(textItem, collected)) return fail();
  Asn1Item decoded{nullptr, 0};
  if (Base64Decode(collected.data(), static_cast<std::int32_t>(collected.size()), &decoded) <= 0) {
    return fail();
  }
  ReplaceDer(cert, decoded);
  return 0;
}

}  // namespace kcertadm
