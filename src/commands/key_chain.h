// The certificates that travel with a key in a key file: on import, the
// file's certificates other than the key's own become CA certificate
// entries; on export, the issuers of the key's certificate are found in the
// key ring.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "keyring/keyring_entry.h"

namespace kcertadm {

// The longest chain an export follows up from the key's certificate.
inline constexpr std::size_t kMaxExportChain = 16;

// The subject's first common name (SubjectCommonName) as an entry label:
// none when the certificate does not decode or its subject has no common
// name, or an empty one.
std::optional<std::string> SubjectCommonNameLabel(ByteView certificate);

// Stores the certificates that decode as untrusted CA certificate entries
// (StoreAuthorities: labelled from the subject, made unique by " (2)",
// " (3)" ...; one the key ring holds by DER or by public key is skipped,
// and so is one whose key the key ring cannot hold). 0, or -1 with 30024
// when one cannot be added.
int StoreChainCertificates(const std::vector<ByteView>& certificates, std::uint32_t* slot);

// The issuers of certificate found in the key ring by issuer name, nearest
// first, up to and including a self-issued root when the key ring holds
// one; at most kMaxExportChain, and no certificate twice.
std::vector<Bytes> IssuerChainOf(ByteView certificate);

}  // namespace kcertadm
