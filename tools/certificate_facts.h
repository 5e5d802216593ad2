// What the tool lists of certificates and key ring entries, gathered with
// the decoders of the text reports so that both tell the same.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/report_names.h"
#include "extension_facts.h"
#include "kcertadm.h"

namespace kcertadm {
struct KeyRingEntry;
}

namespace kcertadm::cli {

struct CertificateFacts {
  std::vector<NameLine> subject;
  std::vector<NameLine> issuer;
  // Seconds since the epoch; none when the time cannot be read.
  std::optional<std::int64_t> notBefore;
  std::optional<std::int64_t> notAfter;
  std::string serial;  // the INTEGER's content octets, colon hex
  std::string md5;     // fingerprints of the whole DER, colon hex
  std::string sha256;
  std::optional<int> keyBits;  // RSA modulus bits; none for another key
  std::vector<ExtensionFacts> extensions;
  std::vector<AltName> altNames;
};

struct EntryFacts {
  std::string label;  // report form
  bool trustedRoot = false;
  bool privateKey = false;
  std::optional<int> keyBits;
  std::vector<NameLine> subject;  // the entry's own subject name
  std::vector<CertificateFacts> certificates;
};

// The certificate in cert->der, or each certificate of the PKCS #7 or
// certificate-sequence container it holds. 0, or -1 with 30046 or 30066 as
// the certificate report gives them.
int ReadCertificateFacts(CertData* cert, std::vector<CertificateFacts>* out, std::uint32_t* error);

// One key ring entry and its certificates. 0, or -1 with 30046 or 30066.
int ReadEntryFacts(const KeyRingEntry& entry, EntryFacts* out, std::uint32_t* error);

}  // namespace kcertadm::cli
