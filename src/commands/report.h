// The text reports written by GetEntries and ViewCert: the certificate
// report, the request report and the entry report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "kcertadm.h"

namespace kcertadm {

struct KeyRingEntry;

// Bits of the modulus of an RSA SubjectPublicKeyInfo (the KeySize line);
// none when it does not decode.
std::optional<int> RsaModulusBits(const Asn1Item& spki);

// What the entry report adds to each entry, taken from the command context.
struct EntryReportOptions {
  bool showRawCert = false;     // each certificate in armour before its report
  bool writeBER = false;        // ASN.1 structure dumps of certificates (and key)
  bool showPrivateKey = false;  // with writeBER: the dump of the encrypted key
  bool verify = false;          // self-issued certificates verified
};

EntryReportOptions EntryReportOptionsFrom(const SecurityCmdContext& context);

// The report of the certificate in cert->der, or of each certificate of the
// PKCS #7 or certificate-sequence container it holds (cert is updated as
// when parsing), with a line end between two. With verify, a self-issued
// certificate's signature is checked with its own key. 0, or -1 with 30046,
// 30066, 30056 or 30055.
int WriteCertificateReport(std::FILE* file, CertData* cert, bool verify, std::uint32_t* error);

// The report of the PKCS #10 request in cert->der: parsed and self-verified,
// its subject's name lines, and the extension lines of the extensions it
// requests. 0, or -1 with the parser's message (30045, 30055, 30056) or
// 30046.
int WriteRequestReport(std::FILE* file, CertData* cert, std::uint32_t* error);

// The report of one key ring entry. 0, or -1 with the message of the part
// that failed (what was written stays).
int WriteEntryReport(std::FILE* file, const KeyRingEntry& entry, const EntryReportOptions& options,
                     std::uint32_t* error);

}  // namespace kcertadm
