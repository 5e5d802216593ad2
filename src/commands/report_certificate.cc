// Certificate and request reports.
#include <cstring>

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/validity.h"
#include "commands/report.h"
#include "commands/report_extensions.h"
#include "commands/report_format.h"
#include "commands/report_names.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

constexpr std::size_t kFingerprintSize = 16;

// Attributes of a request that carry the requested extensions: PKCS #9
// extensionRequest and its older Microsoft twin.

std::size_t Count(const Asn1Item& item) {
  return item.length > 0 ? static_cast<std::size_t>(item.length) : 0;
}

// The two times of the Validity, each in its report form, or as '#' and the
// hex of its element (of the rest of the Validity when no element can be
// read there) when it is not a readable time; a missing time has no line.
void WriteDates(std::FILE* file, const CertFields& fields) {
  Asn1Item rest = fields.validity;
  const std::int32_t length = Asn1ExpectTag(kAsn1Sequence, &rest, nullptr);
  if (length < 0) return;
  rest.length = length;
  for (const char* label : {"StartDate", "EndDate"}) {
    if (rest.length <= 0) return;
    const std::int32_t total = Asn1TotalSize(rest);
    const Asn1Item time{rest.data, total > 0 ? total : rest.length};
    std::string text = TimeReportText(time);
    if (text.empty()) text = HexValueText(time.data, Count(time));
    std::fprintf(file, "%s: %s\n", label, text.c_str());
    rest.data += time.length;
    rest.length -= time.length;
  }
}

int WriteSerialAndFingerprint(std::FILE* file, const CertFields& fields, std::uint32_t* error) {
  Asn1Item serial = fields.serialNumber;
  if (Asn1Enter(&serial) < 0) return FailWith(error, kMsgBadCertificate);
  std::fputs("Serial number: ", file);
  WriteHexDump(file, serial.data, Count(serial), 0, HexForm::kColon);

  std::uint8_t digest[kFingerprintSize];
  if (CertFingerprint(fields.whole, digest) != static_cast<int>(kFingerprintSize)) {
    return FailWith(error, kMsgFingerprintFailed);
  }
  std::fputs("Fingerprint: ", file);
  WriteHexDump(file, digest, sizeof digest, 0, HexForm::kColon);
  return 0;
}

// A self-issued certificate checked with its own key.
int VerifySelfIssued(const CertFields& fields, std::uint32_t* error) {
  OwnedKey key;
  int status = PublicKeyFromSpki(fields.subjectPublicKeyInfo, key, error);
  if (status == 0) status = VerifySignature(fields, key.get(), error);
  return status == 0 ? 0 : -1;
}

int WriteOneCertificate(std::FILE* file, CertFields* fields, bool verify, std::uint32_t* error) {
  WriteNameLines(file, fields->subject, "Subject");
  if (fields->issuer.length > 0) {
    WriteNameLines(file, fields->issuer, "Issuer");
    WriteDates(file, *fields);
  }
  if (WriteSerialAndFingerprint(file, *fields, error) != 0) return -1;
  if (fields->extensions.length > 0) WriteExtensionLines(file, fields->extensions);
  if (verify && IsSelfIssued(*fields) == 1) return VerifySelfIssued(*fields, error);
  return 0;
}

bool IsExtensionRequest(const Asn1Item& oid) {
  return Asn1ItemEquals(oid, oid::bytes::kExtensionRequest, sizeof oid::bytes::kExtensionRequest) ||
         Asn1ItemEquals(oid, oid::bytes::kMsExtensionRequest,
                        sizeof oid::bytes::kMsExtensionRequest);
}

// Attribute ::= SEQUENCE { type OID, values SET { Extensions } } for the
// extension requests; other attributes are not reported.
int WriteRequestedExtensions(std::FILE* file, const Asn1Cursor& attribute, std::uint32_t* error) {
  Asn1Item content = Asn1CursorItem(attribute);
  Asn1Item type{};
  Asn1Item values{};
  const Asn1TemplateEntry parts[] = {{kAsn1ObjectId, &type}, {kAsn1Set, &values}};
  if (attribute.tag != kAsn1Sequence || Asn1DecodeTemplate(parts, 2, content, 1) != 0) {
    return FailWith(error, kMsgBadCertificate);
  }
  if (!IsExtensionRequest(type)) return 0;
  Asn1Cursor value;
  const int first = Asn1FirstChild(values, kAsn1Set, &value);
  if (first < 0) return FailWith(error, kMsgBadCertificate);
  for (int more = first; more > 0; more = Asn1NextChild(&value)) {
    if (value.tag != kAsn1Sequence) return FailWith(error, kMsgBadCertificate);
    if (value.length > 0) WriteExtensionLines(file, Asn1CursorItem(value));
  }
  return 0;
}

int WriteRequestAttributes(std::FILE* file, const CertFields& fields, std::uint32_t* error) {
  Asn1Item attributes{};
  const Asn1TemplateEntry info[] = {{kAsn1Integer, nullptr},
                                    {kAsn1Sequence, nullptr},
                                    {kAsn1Sequence, nullptr},
                                    {kAsn1Context0 | ASN1_OPTIONAL, &attributes}};
  if (Asn1DecodeTemplate(info, 4, fields.toBeSigned, 0) != 0) {
    return FailWith(error, kMsgBadCertificate);
  }
  if (attributes.length <= 0) return 0;
  if (Asn1Enter(&attributes) < 0) return FailWith(error, kMsgBadCertificate);
  Asn1Cursor attribute;
  int more = Asn1FirstChild(attributes, kAsn1Context0, &attribute);
  for (; more > 0; more = Asn1NextChild(&attribute)) {
    if (WriteRequestedExtensions(file, attribute, error) != 0) return -1;
  }
  return more < 0 ? FailWith(error, kMsgBadCertificate) : 0;
}

}  // namespace

int WriteCertificateReport(std::FILE* file, CertData* cert, bool verify, std::uint32_t* error) {
  CertFields fields{};
  if (ParseCert(cert, &fields, error) != 0) return FailWith(error, kMsgBadCertificate);
  for (;;) {
    if (WriteOneCertificate(file, &fields, verify, error) != 0) return -1;
    if (NextCertInSet(cert) != 1) return 0;
    std::fputc('\n', file);
    if (ParseSignedCert(cert, &fields, error) != 0) return FailWith(error, kMsgBadCertificate);
  }
}

int WriteRequestReport(std::FILE* file, CertData* cert, std::uint32_t* error) {
  CertFields fields{};
  if (ParseRequest(cert, &fields, error) != 0) return -1;
  WriteNameLines(file, fields.subject, "Subject");
  return WriteRequestAttributes(file, fields, error);
}

}  // namespace kcertadm
