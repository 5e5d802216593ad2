// The entry report of GetEntries.
#include <optional>
#include <string>
#include <vector>

#include "armour/pem.h"
#include "cert/cert_signature.h"
#include "commands/report.h"
#include "commands/report_dump.h"
#include "commands/report_format.h"
#include "commands/report_names.h"
#include "host/messages.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {
namespace {

constexpr std::size_t kLabelShown = 128;

Asn1Item ItemOver(ByteView bytes) { return Asn1View(bytes.data(), bytes.size()); }

const char* YesNo(bool value) { return value ? "yes" : "no"; }

std::optional<int> ModulusBits(const KeyRingEntry& entry) {
  if (entry.publicKey.empty()) return std::nullopt;
  return RsaModulusBits(ItemOver(entry.publicKey));
}

int WriteCertificates(std::FILE* file, const KeyRingEntry& entry, const EntryReportOptions& options,
                      std::uint32_t* error) {
  const std::optional<std::vector<ByteView>> certificates = KeyRingEntryCertificates(entry);
  if (!certificates) {
    if (error != nullptr) *error = kMsgBadCertificate;
    return -1;
  }
  for (const ByteView& bytes : *certificates) {
    // The record only borrows the entry's bytes: nothing here is freed.
    CertData cert{};
    cert.der = ItemOver(bytes);
    if (options.showRawCert) {
      if (WriteArmouredObject(cert, file, false) != 0) {
        if (error != nullptr) *error = kMsgOutputWriteFailed;
        return -1;
      }
      std::fputc('\n', file);
    }
    if (WriteCertificateReport(file, &cert, options.verify, error) != 0) return -1;
    if (options.writeBER && WriteStructureDump(file, ItemOver(bytes), 1, error) != 0) return -1;
  }
  return 0;
}

}  // namespace

std::optional<int> RsaModulusBits(const Asn1Item& spki) {
  RsaPublicNumbers key;
  if (ExtractRsaKey(spki, &key) != 0) return std::nullopt;
  ByteView n = key.modulus;
  while (!n.empty() && n[0] == 0) n = n.subspan(1);
  if (n.empty()) return std::nullopt;
  int bits = static_cast<int>(n.size() - 1) * 8;
  for (std::uint8_t top = n[0]; top != 0; top >>= 1) ++bits;
  return bits;
}

EntryReportOptions EntryReportOptionsFrom(const SecurityCmdContext& context) {
  EntryReportOptions options;
  options.showRawCert = context.showRawCert != 0;
  options.writeBER = context.writeBER != 0;
  options.showPrivateKey = context.showPrivateKey != 0;
  options.verify = context.verify != 0;
  return options;
}

int WriteEntryReport(std::FILE* file, const KeyRingEntry& entry, const EntryReportOptions& options,
                     std::uint32_t* error) {
  std::string label = entry.LabelText();
  if (label.size() > kLabelShown) label.resize(kLabelShown);
  std::fprintf(file, "\nEntryLabel: %s\n", EscapeReportText(label).c_str());

  if (entry.HasCertificates()) {
    if (WriteCertificates(file, entry, options, error) != 0) return -1;
  } else if (!entry.subjectName.empty()) {
    WriteNameLines(file, ItemOver(entry.subjectName), "Subject");
  }
  std::fprintf(file, "TrustedRoot: %s\n", YesNo(entry.IsTrustedRoot()));
  std::fprintf(file, "PrivateKey: %s\n", YesNo(entry.HasPrivateKey()));
  if (entry.HasPrivateKey() && options.showPrivateKey && options.writeBER &&
      WriteStructureDump(file, ItemOver(entry.privateKey), 1, error) != 0) {
    return -1;
  }
  if (const std::optional<int> bits = ModulusBits(entry))
    std::fprintf(file, "KeySize: %d\n", *bits);
  return 0;
}

}  // namespace kcertadm
