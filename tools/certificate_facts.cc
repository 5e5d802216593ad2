#include "certificate_facts.h"

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "commands/command_steps_util.h"
#include "commands/report.h"
#include "commands/report_format.h"
#include "crypto/digest/sha2.h"
#include "host/messages.h"
#include "keyring/keyring_entry.h"
#include "utc_time.h"

namespace kcertadm::cli {
namespace {

constexpr std::size_t kMd5Size = 16;

std::size_t Count(const Asn1Item& item) {
  return item.length > 0 ? static_cast<std::size_t>(item.length) : 0;
}

Asn1Item ItemOver(ByteView bytes) { return Asn1View(bytes.data(), bytes.size()); }

// Validity ::= SEQUENCE { notBefore Time, notAfter Time }; each time is
// read on its own, so one bad time does not hide the other.
void ReadValidity(const CertFields& fields, CertificateFacts* facts) {
  Asn1Item notBefore{};
  Asn1Item notAfter{};
  const Asn1TemplateEntry rows[] = {{ASN1_ANY, &notBefore}, {ASN1_ANY, &notAfter}};
  if (fields.validity.length <= 0 || Asn1DecodeTemplate(rows, 2, fields.validity, 0) != 0) return;
  facts->notBefore = CertificateTimeSeconds(notBefore);
  facts->notAfter = CertificateTimeSeconds(notAfter);
}

int ReadSerialAndFingerprints(const CertFields& fields, CertificateFacts* facts,
                              std::uint32_t* error) {
  Asn1Item serial = fields.serialNumber;
  if (Asn1Enter(&serial) < 0) return FailWith(error, kMsgBadCertificate);
  facts->serial = HexText(serial.data, Count(serial), true);
  std::uint8_t md5[kMd5Size];
  if (CertFingerprint(fields.whole, md5) != static_cast<int>(kMd5Size)) {
    return FailWith(error, kMsgFingerprintFailed);
  }
  facts->md5 = HexText(md5, sizeof md5, true);
  std::uint8_t sha256[Sha256::kDigestSize];
  Sha256 digest;
  digest.Update(fields.whole.data, Count(fields.whole));
  digest.Final(sha256);
  facts->sha256 = HexText(sha256, sizeof sha256, true);
  return 0;
}

int ReadOneCertificate(const CertFields& fields, CertificateFacts* facts, std::uint32_t* error) {
  facts->subject = ListNameLines(fields.subject);
  if (fields.issuer.length > 0) {
    facts->issuer = ListNameLines(fields.issuer);
    ReadValidity(fields, facts);
  }
  if (ReadSerialAndFingerprints(fields, facts, error) != 0) return -1;
  facts->keyBits = RsaModulusBits(fields.subjectPublicKeyInfo);
  if (fields.extensions.length > 0) {
    facts->extensions = ListExtensions(fields.extensions);
    facts->altNames = ListAltNames(fields.extensions);
  }
  return 0;
}

}  // namespace

int ReadCertificateFacts(CertData* cert, std::vector<CertificateFacts>* out, std::uint32_t* error) {
  CertFields fields{};
  if (ParseCert(cert, &fields, error) != 0) return FailWith(error, kMsgBadCertificate);
  for (;;) {
    CertificateFacts facts;
    if (ReadOneCertificate(fields, &facts, error) != 0) return -1;
    out->push_back(std::move(facts));
    if (NextCertInSet(cert) != 1) return 0;
    if (ParseSignedCert(cert, &fields, error) != 0) return FailWith(error, kMsgBadCertificate);
  }
}

int ReadEntryFacts(const KeyRingEntry& entry, EntryFacts* out, std::uint32_t* error) {
  out->label = EscapeReportText(entry.LabelText());
  out->trustedRoot = entry.IsTrustedRoot();
  out->privateKey = entry.HasPrivateKey();
  if (!entry.publicKey.empty()) out->keyBits = RsaModulusBits(ItemOver(entry.publicKey));
  if (!entry.subjectName.empty()) out->subject = ListNameLines(ItemOver(entry.subjectName));
  if (!entry.HasCertificates()) return 0;
  const std::optional<std::vector<ByteView>> certificates = KeyRingEntryCertificates(entry);
  if (!certificates) return FailWith(error, kMsgBadCertificate);
  for (const ByteView& bytes : *certificates) {
    // The record only borrows the entry's bytes: nothing here is freed.
    CertData cert{};
    cert.der = ItemOver(bytes);
    if (ReadCertificateFacts(&cert, &out->certificates, error) != 0) return -1;
  }
  return 0;
}

}  // namespace kcertadm::cli
