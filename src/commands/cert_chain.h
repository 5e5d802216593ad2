// Certificate chains: following issuer links from a certificate through
// intermediate authorities to a trusted root of the key ring.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kcertadm.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

// Longest chain the walk follows: intermediates between a certificate and
// its trusted root.
inline constexpr std::size_t kMaxChainDepth = 10;

// Signatures the walk checks at most, whatever the candidates: a file of
// many certificates with the same name cannot make it run for long.
inline constexpr std::size_t kMaxChainSignatureChecks = 256;

// One certificate of a chain: its DER and the fields parsed from it (views
// into der, which a move keeps where it is).
struct ChainLink {
  Bytes der;
  CertFields fields{};

  ChainLink() = default;
  ChainLink(ChainLink&&) = default;
  ChainLink& operator=(ChainLink&&) = default;
  ChainLink(const ChainLink&) = delete;
  ChainLink& operator=(const ChainLink&) = delete;
};

// Parses one bare DER certificate (a container is refused) into link. 0, or
// -1 with 30046.
int MakeChainLink(ByteView certificate, ChainLink* link, std::uint32_t* error);

// True when the key of spki verifies the signature of fields.
bool SignedByKeyOf(const CertFields& fields, const Asn1Item& spki);

// The certificates of the key ring's entries that are not trusted roots
// (each entry's last certificate), except those whose DER equals skip.
std::vector<ChainLink> StoredChainLinks(ByteView skip = {});

// Looks for a path from the certificate of fields to a trusted root of the
// key ring: each step goes to a candidate of pool whose subject is the
// issuer, that may act as an authority (no basicConstraints saying
// otherwise), that is valid now and whose key verifies the signature; the
// path ends at the first certificate a trusted root's key verifies. The
// shortest path wins; at most kMaxChainDepth intermediates; a candidate is
// taken once, so issuers that certify each other end the walk. path
// receives the pool indices of the intermediates, from the certificate's
// issuer upwards. 0, or -1 with 30084.
int FindPathToTrustedRoot(const CertFields& fields, const std::vector<ChainLink>& pool,
                          std::vector<std::size_t>* path, std::uint32_t* error);

}  // namespace kcertadm
