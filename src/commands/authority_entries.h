// Untrusted certificate entries for the certificates that come with another
// one (the intermediates of a chain file, the other certificates of a key
// file): their labels, made from the subject, and their storing.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "commands/cert_chain.h"
#include "kcertadm.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

// Labels made from a subject are cut to this many bytes before a suffix.
inline constexpr std::size_t kMaxMadeLabel = 128;

// The text of the subject's first common name (in its report form), or
// none when the subject has no common name.
std::optional<std::string> SubjectCommonName(const Asn1Item& subject);

// The subject's common name, or the text of all its attributes joined by
// ", "; cut to kMaxMadeLabel bytes at a character boundary; "CA certificate"
// when that leaves nothing.
std::string SubjectLabel(const Asn1Item& subject);

// What the key ring holds now: every stored certificate and every label.
struct StoredState {
  std::set<Bytes> certificates;
  std::set<std::string> labels;
};
StoredState ReadStoredState();

// A label none of labels is: the subject's, or it with " (2)", " (3)", ...;
// added to labels.
std::string UniqueLabel(const Asn1Item& subject, std::set<std::string>& labels);

// The public key of the certificate as the key ring stores it; none for a
// key the key ring cannot hold (not RSA).
std::optional<Bytes> CanonicalKeyOf(const ChainLink& link);

// True when an entry of the key ring holds publicKey.
bool KeyHeldByEntry(const Bytes& publicKey);

// A key ring entry for a certificate the key ring does not hold yet,
// labelled by UniqueLabel.
KeyRingEntry CertificateEntry(const ChainLink& link, Bytes publicKey, std::set<std::string>& labels,
                              std::uint8_t flags);

// Stores the links the key ring holds neither by DER nor by key as
// untrusted certificate entries labelled from their subject; a link whose
// key the key ring cannot hold is skipped. 0, or -1 with 30024.
int StoreAuthorities(const std::vector<ChainLink>& links, std::uint32_t* slot);

}  // namespace kcertadm
