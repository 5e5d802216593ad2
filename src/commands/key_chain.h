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

// The subject common name of a certificate as an entry label: none when the
// certificate does not decode or its subject has no common name that is
// text without zero bytes.
std::optional<std::string> SubjectCommonNameLabel(ByteView certificate);

// Stores each certificate as a CA certificate entry without the
// trusted-root mark, labelled by its subject's common name (made unique by
// " (2)", " (3)" ...). A certificate whose public key the key ring already
// holds is skipped, and so is one whose key the key ring cannot hold (not
// RSA). 0, or -1 with 30024 when one cannot be added.
int StoreChainCertificates(const std::vector<ByteView>& certificates, std::uint32_t* slot);

// The issuers of certificate found in the key ring by issuer name, nearest
// first, up to and including a self-issued root when the key ring holds
// one; at most kMaxExportChain, and no certificate twice.
std::vector<Bytes> IssuerChainOf(ByteView certificate);

}  // namespace kcertadm
