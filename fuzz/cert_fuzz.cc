// Certificates and requests over arbitrary DER: ParseCert with its
// container unwrapping, ParseDNSeq on the names it finds and on the whole
// input, GetTextDates, request parsing, the certificate and request reports
// and the structure dump (written to /dev/null). Every field handed out must
// lie inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cert/certificate.h"
#include "commands/report.h"
#include "commands/report_dump.h"
#include "kcertadm.h"

using namespace kcertadm;

namespace {

std::FILE* Sink() {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  return sink;
}

// A record owning a malloc copy of the input.
void Load(CertData* cert, const std::uint8_t* data, std::size_t size) {
  auto* copy = static_cast<std::uint8_t*>(std::malloc(size ? size : 1));
  if (size) std::memcpy(copy, data, size);
  InitCertData(cert, copy, static_cast<std::int32_t>(size));
}

void CheckInside(const Asn1Item& item, const CertData& cert) {
  if (item.data == nullptr || item.length == 0) return;
  const Asn1Item& base = cert.container.data ? cert.container : cert.der;
  if (item.length < 0 || item.data < base.data ||
      item.data + item.length > base.data + base.length) {
    std::abort();
  }
}

void CheckNames(const Asn1Item& name) {
  DnFields dn{};
  std::uint32_t error = 0;
  if (ParseDNSeq(&dn, name, &error) != 0) return;
  for (const DnField& f : dn.slot) {
    if (f.length == 0) continue;
    if (f.length < 0 || f.value < name.data || f.value + f.length > name.data + name.length) {
      std::abort();
    }
  }
}

void Certificates(const std::uint8_t* data, std::size_t size) {
  CertData cert{};
  Load(&cert, data, size);
  CertFields fields{};
  std::uint32_t error = 0;
  if (ParseCert(&cert, &fields, &error) == 0) {
    const Asn1Item* items = &fields.whole;
    for (std::size_t i = 0; i < sizeof fields / sizeof(Asn1Item); ++i) CheckInside(items[i], cert);
    CheckNames(fields.subject);
    CheckNames(fields.issuer);
    char start[64], end[64];
    std::memset(start, 0x55, sizeof start);
    std::memset(end, 0x55, sizeof end);
    if (GetTextDates(&fields, start, end, &error) == 0) {
      if (!std::memchr(start, 0, 20) || !std::memchr(end, 0, 20)) std::abort();
    }
  }
  FreeCertData(&cert);

  CertData report{};
  Load(&report, data, size);
  error = 0;
  (void)WriteCertificateReport(Sink(), &report, size % 2 == 0, &error);
  FreeCertData(&report);
}

void Requests(const std::uint8_t* data, std::size_t size) {
  CertData cert{};
  Load(&cert, data, size);
  CertFields fields{};
  std::uint32_t error = 0;
  if (ParseRequest(&cert, &fields, &error) == 0) {
    const Asn1Item* items = &fields.whole;
    for (std::size_t i = 0; i < sizeof fields / sizeof(Asn1Item); ++i) CheckInside(items[i], cert);
  }
  FreeCertData(&cert);

  CertData report{};
  Load(&report, data, size);
  error = 0;
  (void)WriteRequestReport(Sink(), &report, &error);
  FreeCertData(&report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  Certificates(data, size);
  Requests(data, size);
  // The whole input as a Name, and as the structure dump of ViewCert.
  const Asn1Item whole{const_cast<std::uint8_t*>(data), static_cast<std::int32_t>(size)};
  CheckNames(whole);
  std::uint32_t error = 0;
  (void)WriteStructureDump(Sink(), whole, 0, &error);
  return 0;
}
