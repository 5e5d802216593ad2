// The host's table of predefined root certificates. Here the host is the
// PEM file named by the KCERTADM_ROOTS environment variable; no such
// setting is an empty table.
//
// File form: any number of "-----BEGIN CERTIFICATE-----" ...
// "-----END CERTIFICATE-----" blocks. A line starting with "#" right before
// a block (blank lines between are allowed) gives the certificate's label;
// without one the label is the subject's common name, or "Root N".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "keyring/keyring_entry.h"

namespace kcertadm {

struct HostRootRow {
  std::uint32_t flags = 0;  // bit 0: trusted root
  std::string label;
  Bytes certificate;  // DER
  Bytes publicKey;    // canonical SubjectPublicKeyInfo
};

inline constexpr const char* kHostRootsVariable = "KCERTADM_ROOTS";

// Rows of the table: 0; -1 when a configured file cannot be read or holds a
// block that does not decode. A certificate whose key is not RSA (an
// elliptic-curve root of a system bundle, say) gives no row: a key ring
// cannot hold it. `skipped` counts those.
int HostGetTrustedRoots(std::vector<HostRootRow>& rows, std::size_t& skipped);

// The same for a given PEM text.
int ParseHostRoots(const std::string& text, std::vector<HostRootRow>& rows, std::size_t& skipped);

// The subject common name of a DER Name, or empty.
std::string NameCommonName(ByteView name);

}  // namespace kcertadm
