// ViewCert: one certificate or request file, without any key ring, written
// to EntriesFile as a report, an ASN.1 structure dump, a hex dump, the
// armoured form or plain DER.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "armour/pem.h"
#include "cert/certificate.h"
#include "commands/cert_files.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "commands/report.h"
#include "commands/report_dump.h"
#include "commands/report_format.h"
#include "commands/view_input.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

std::size_t Count(const Asn1Item& item) {
  return item.length > 0 ? static_cast<std::size_t>(item.length) : 0;
}

// The originator certificate of a PEM MIC message (a request or a reply)
// becomes the record's DER.
int TakeOriginatorCertificate(std::FILE* input, CertData* cert, std::uint32_t* slot) {
  std::vector<std::uint8_t> der;
  if (std::fseek(input, 0, SEEK_SET) != 0 ||
      ReadPemCertificateText(input, der) != PemCertificateStatus::kOk || der.empty()) {
    return FailWith(slot, kMsgCertFileReadFailed);
  }
  return CopyToItem(der, &cert->der) ? 0 : FailWith(slot, kMsgCertFileReadFailed);
}

// The output chosen by the flags, in this order of precedence.
int WriteView(std::FILE* out, const SecurityCmdContext& context, CertData* cert,
              std::uint32_t* slot) {
  const Asn1Item der = cert->der;
  std::uint32_t error = kMsgNone;
  int status = 0;
  if (context.showRawCert != 0 && context.writeBinary != 0) {
    WriteHexDump(out, der.data, Count(der), 0, HexForm::kPrefixed);
    std::fputc('\n', out);
  } else if (context.showRawCert != 0) {
    if (WriteArmouredObject(*cert, out, false) != 0) return FailWith(slot, kMsgOutputWriteFailed);
    std::fputc('\n', out);
  } else if (context.writeBinary != 0 && context.writeBER == 0) {
    std::fwrite(der.data, 1, Count(der), out);
  } else if (context.writeBinary != 0) {
    WriteHexDump(out, der.data, Count(der), 0, HexForm::kPrefixed);
  } else if (context.writeBER != 0) {
    status = WriteStructureDump(out, der, 0, &error);
  } else if (context.usePKCS != 0) {
    status = WriteRequestReport(out, cert, &error);
  } else {
    status = WriteCertificateReport(out, cert, context.verify != 0, &error);
  }
  if (status != 0) return FailWith(slot, error != kMsgNone ? error : kMsgBadCertificate);
  return 0;
}

int ViewCertificate(SecurityCmdContext& context, std::uint32_t* slot) {
  FilePtr input = OpenInputFile(context, slot);
  if (!input) return -1;
  OutputFile out = OpenReportFile(context, context.certReqFile, slot);
  if (!out) return -1;

  CertRecord cert;
  if (ReadViewInput(input.get(), context, cert.get(), slot) != 0) return -1;
  const int status = WriteView(out.get(), context, cert.get(), slot);
  return CloseReportFile(std::move(out), status, SuccessMessage::kCertWritten, slot);
}

}  // namespace

int ReadViewInput(std::FILE* input, const SecurityCmdContext& context, CertData* cert,
                  std::uint32_t* slot) {
  if (context.useBER == 0) {
    std::string procType;
    if (SniffPemFile(input, &procType) == kPemSniffMic) {
      return TakeOriginatorCertificate(input, cert, slot);
    }
    if (std::fseek(input, 0, SEEK_SET) != 0) return FailWith(slot, kMsgCertFileReadFailed);
  }
  return ReadCertificateFile(cert, input, context.useBER != 0, context.usePKCS != 0, slot);
}

std::int32_t HandleViewCert(SecurityCmdContext& context, const CommandOptions& /*options*/,
                            MessageReporter& reporter) {
  std::uint32_t slot = kMsgNone;
  const std::int32_t status = ViewCertificate(context, &slot);
  reporter.Report(slot);
  return status;
}

}  // namespace kcertadm
