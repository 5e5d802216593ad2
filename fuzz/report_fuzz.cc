// The report writers over the certificates ParseCert accepts (anything else
// is skipped): the certificate report, the name lines of subject and issuer
// and the ASN.1 structure dump must succeed, and what they write must be
// lines of the report's own kinds, in valid UTF-8, with no NUL or CR, so
// that no value can add a line such as "TrustedRoot: yes".
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "cert/certificate.h"
#include "commands/report.h"
#include "commands/report_dump.h"
#include "commands/report_names.h"
#include "host/charset.h"
#include "kcertadm.h"

using namespace kcertadm;

namespace {

// A stream in memory; Text() closes it and hands out what was written.
class Captured {
 public:
  Captured() : file_(open_memstream(&buffer_, &size_)) {}
  ~Captured() {
    if (file_) std::fclose(file_);
    std::free(buffer_);
  }
  std::FILE* File() const { return file_; }
  std::string_view Text() {
    std::fclose(file_);
    file_ = nullptr;
    return std::string_view(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

// "Subject..." or "Issuer..." then letters, '-' and digits, then ": ".
bool IsNameLine(std::string_view line) {
  std::size_t at = StartsWith(line, "Subject") ? 7 : StartsWith(line, "Issuer") ? 6 : 0;
  if (at == 0) return false;
  while (at < line.size() &&
         (std::isalnum(static_cast<unsigned char>(line[at])) || line[at] == '-'))
    ++at;
  return line.substr(at, 2) == ": ";
}

bool IsReportLine(std::string_view line) {
  if (line.empty() || line[0] == '\t' || line[0] == ' ' || StartsWith(line, "0x")) return true;
  for (std::string_view keyword :
       {"StartDate: ", "EndDate: ", "Serial number: ", "Fingerprint: ", "Extension - "}) {
    if (StartsWith(line, keyword)) return true;
  }
  return IsNameLine(line);
}

void CheckReport(std::string_view text) {
  if (text.find('\0') != std::string_view::npos || text.find('\r') != std::string_view::npos) {
    std::abort();
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c;
    if (!DecodeUtf8(bytes, text.size(), &pos, &c)) std::abort();
  }
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    if (!IsReportLine(text.substr(start, end - start))) std::abort();
  }
  if (start != text.size()) std::abort();  // every line ends with a line end
}

// A record owning a malloc copy of the input.
void Load(CertData* cert, const std::uint8_t* data, std::size_t size) {
  auto* copy = static_cast<std::uint8_t*>(std::malloc(size ? size : 1));
  if (size) std::memcpy(copy, data, size);
  InitCertData(cert, copy, static_cast<std::int32_t>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  CertData cert{};
  Load(&cert, data, size);
  CertFields fields{};
  std::uint32_t error = 0;
  const bool accepted = ParseCert(&cert, &fields, &error) == 0;
  if (accepted) {
    Captured names;
    WriteNameLines(names.File(), fields.subject, "Subject");
    WriteNameLines(names.File(), fields.issuer, "Issuer");
    CheckReport(names.Text());
    Captured dump;
    if (WriteStructureDump(dump.File(), cert.der, 0, &error) != 0) std::abort();
  }
  FreeCertData(&cert);
  if (!accepted) return 0;

  // A single certificate: later ones of a container are not checked by
  // ParseCert, so the whole report is required only without one.
  CertData report{};
  Load(&report, data, size);
  Captured text;
  error = 0;
  const int status = WriteCertificateReport(text.File(), &report, false, &error);
  const bool single = report.container.data == nullptr;
  FreeCertData(&report);
  if (single && status != 0) std::abort();
  CheckReport(text.Text());
  return 0;
}
