#include "commands/cert_chain.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "asn1/asn1.h"
#include "cert/cert_extension.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/validity.h"
#include "commands/cert_keyring.h"
#include "host/messages.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

constexpr std::int32_t kBasicConstraints = 19;  // 2.5.29.19

bool SameName(ByteView stored, const Asn1Item& name) {
  const ByteView view = Asn1Bytes(name);
  return !view.empty() && std::equal(stored.begin(), stored.end(), view.begin(), view.end());
}

// False when the certificate says it is no authority: a basicConstraints
// extension without cA TRUE. Certificates without the extension (version 1
// ones, and those this library signs under the legacy profile) may issue.
bool MayIssue(const CertFields& fields) {
  if (fields.extensions.length <= 0) return true;
  Asn1Cursor extension;
  if (Asn1FirstChild(fields.extensions, kAsn1Sequence, &extension) <= 0) return true;
  do {
    ExtensionRef ref;
    if (extension.tag == kAsn1Sequence && OpenExtension(Asn1CursorItem(extension), &ref) == 1 &&
        ref.family == kExtensionStandard && ref.number == kBasicConstraints) {
      std::int32_t isCa = 0;
      std::optional<std::uint64_t> pathLength;
      return ref.cursor.tag == kAsn1Sequence &&
             ReadBasicConstraints(Asn1CursorItem(ref.cursor), &isCa, &pathLength) == 0 && isCa != 0;
    }
  } while (Asn1NextChild(&extension) > 0);
  return true;
}

bool ValidNow(const ChainLink& link) {
  CertFields fields = link.fields;
  std::uint32_t ignored = 0;
  return CheckValidityNow(&fields, &ignored) == 0;
}

struct TrustedRoot {
  Bytes subject;
  Bytes publicKey;
};

std::vector<TrustedRoot> TrustedRoots() {
  std::vector<TrustedRoot> roots;
  KeyRingCursor cursor;
  do {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    if (entry->IsTrustedRoot()) roots.push_back({entry->subjectName, entry->publicKey});
    KeyRingEntryFree(entry);
  } while (!cursor.AtEnd());
  return roots;
}

bool IssuedByTrustedRoot(const CertFields& fields, const std::vector<TrustedRoot>& roots) {
  return std::any_of(roots.begin(), roots.end(), [&](const TrustedRoot& root) {
    const Asn1Item spki = Asn1ItemOver(root.publicKey);
    return SameName(root.subject, fields.issuer) && SignedByKeyOf(fields, spki);
  });
}

// A certificate reached by the walk: its pool index (none for the start),
// the step it was reached from and its distance from the start.
struct Reached {
  std::optional<std::size_t> index;
  std::size_t from = 0;
  std::size_t depth = 0;
};

std::vector<std::size_t> PathTo(const std::vector<Reached>& reached, std::size_t last) {
  std::vector<std::size_t> path;
  for (std::size_t at = last; reached[at].index; at = reached[at].from)
    path.push_back(*reached[at].index);
  std::reverse(path.begin(), path.end());
  return path;
}

}  // namespace

bool SignedByKeyOf(const CertFields& fields, const Asn1Item& spki) {
  OwnedKey key;
  if (PublicKeyFromSpki(spki, key, nullptr) != 0) return false;
  std::uint32_t ignored = 0;
  const bool verified = VerifySignature(fields, key.get(), &ignored) == 0;
  return verified;
}

int MakeChainLink(ByteView certificate, ChainLink* link, std::uint32_t* error) {
  link->der.assign(certificate.begin(), certificate.end());
  CertData record{};
  record.der = Asn1ItemOver(link->der);
  if (link->der.empty() || link->der.size() > 0x7FFFFFFF ||
      ParseCert(&record, &link->fields, error) != 0 || record.container.data != nullptr ||
      link->fields.whole.length != static_cast<std::int32_t>(link->der.size())) {
    return FailWith(error, kMsgBadCertificate);
  }
  return 0;
}

std::vector<ChainLink> StoredChainLinks(ByteView skip) {
  std::vector<ChainLink> links;
  KeyRingCursor cursor;
  do {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    std::optional<Bytes> certificate;
    if (!entry->IsTrustedRoot()) certificate = LastCertificate(*entry);
    KeyRingEntryFree(entry);
    ChainLink link;
    std::uint32_t ignored = 0;
    if (certificate &&
        !std::equal(certificate->begin(), certificate->end(), skip.begin(), skip.end()) &&
        MakeChainLink(*certificate, &link, &ignored) == 0) {
      links.push_back(std::move(link));
    }
  } while (!cursor.AtEnd());
  return links;
}

int FindPathToTrustedRoot(const CertFields& fields, const std::vector<ChainLink>& pool,
                          std::vector<std::size_t>* path, std::uint32_t* error) {
  const std::vector<TrustedRoot> roots = TrustedRoots();
  std::vector<Reached> reached{Reached{}};
  std::vector<bool> taken(pool.size(), false);
  std::size_t checks = 0;
  for (std::size_t at = 0; at < reached.size(); ++at) {
    const CertFields& current = reached[at].index ? pool[*reached[at].index].fields : fields;
    if (IssuedByTrustedRoot(current, roots)) {
      *path = PathTo(reached, at);
      return 0;
    }
    if (reached[at].depth == kMaxChainDepth) continue;
    for (std::size_t i = 0; i < pool.size(); ++i) {
      const CertFields& candidate = pool[i].fields;
      if (taken[i] || !SameName(Asn1Bytes(candidate.subject), current.issuer)) continue;
      if (++checks > kMaxChainSignatureChecks) return FailWith(error, kMsgChainNotTrusted);
      if (!MayIssue(candidate) || !ValidNow(pool[i]) ||
          !SignedByKeyOf(current, candidate.subjectPublicKeyInfo)) {
        continue;
      }
      taken[i] = true;
      reached.push_back(Reached{i, at, reached[at].depth + 1});
    }
  }
  return FailWith(error, kMsgChainNotTrusted);
}

}  // namespace kcertadm
