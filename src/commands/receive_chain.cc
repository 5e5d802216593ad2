#include "commands/receive_chain.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <set>
#include <string>

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/validity.h"
#include "commands/authority_entries.h"
#include "commands/cert_chain.h"
#include "commands/cert_keyring.h"
#include "host/messages.h"
#include "keyring/certificate_parts.h"
#include "keyring/certificate_verification.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

std::atomic<std::size_t> bundleSkipped{0};

// The file's certificates parsed, each DER once, in file order.
int ParseLinks(const std::vector<Bytes>& certificates, std::vector<ChainLink>& links,
               std::uint32_t* slot) {
  std::set<Bytes> seen;
  for (const Bytes& der : certificates) {
    if (!seen.insert(der).second) continue;
    ChainLink link;
    if (MakeChainLink(der, &link, slot) != 0) return -1;
    links.push_back(std::move(link));
  }
  return 0;
}

// The index of the one link whose key a key entry holds (the entry of
// label, when one is given). -1 with 30076 or 30056 for a key the key ring
// cannot hold, 30086 when there is not exactly one.
int FindKeyEntryCertificate(const std::vector<ChainLink>& links, const char* label,
                            std::uint32_t* slot) {
  int found = -1;
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (IsForeignKeyType(links[i].fields.subjectPublicKeyInfo))
      return FailWith(slot, kMsgUnsupportedKeyType);
    const std::optional<Bytes> publicKey = CanonicalKeyOf(links[i]);
    if (!publicKey) return FailWith(slot, kMsgBadPublicKey);
    std::optional<KeyRingEntry> holder = KeyRingFindByPublicKey(*publicKey);
    const bool matches = holder && holder->HasPrivateKey() &&
                         (label == nullptr || *label == '\0' || LabelEquals(*holder, label));
    KeyRingEntryFree(holder);
    if (!matches) continue;
    if (found >= 0) return FailWith(slot, kMsgNoCertMatchesKeyEntry);
    found = static_cast<int>(i);
  }
  return found >= 0 ? found : FailWith(slot, kMsgNoCertMatchesKeyEntry);
}

int WriteReceived(const SecurityCmdContext& context, SuccessMessage message, std::uint32_t* slot) {
  const KeyRingStatus written = KeyRingWrite(context.keyFile, PasswordArg(context.password));
  if (!Succeeded(written))
    return FailWith(slot, kMsgKeyRingWriteFailed, KeyRingStatusNumber(written));
  return ReportSuccess(slot, message);
}

// True for a self-signed certificate the key ring can hold as a trusted
// root: an RSA key that verifies its own signature, and valid now.
bool CanBeRoot(const ChainLink& link) {
  if (IsForeignKeyType(link.fields.subjectPublicKeyInfo) || !IsSelfIssued(link.fields))
    return false;
  if (!SignedByKeyOf(link.fields, link.fields.subjectPublicKeyInfo)) return false;
  CertFields fields = link.fields;
  std::uint32_t ignored = 0;
  return CheckValidityNow(&fields, &ignored) == 0;
}

}  // namespace

int ReceiveChain(const SecurityCmdContext& context, const std::vector<Bytes>& certificates,
                 std::uint32_t* slot) {
  std::vector<ChainLink> links;
  if (ParseLinks(certificates, links, slot) != 0) return -1;
  const int leafIndex = FindKeyEntryCertificate(links, context.label, slot);
  if (leafIndex < 0) return -1;
  ChainLink leaf = std::move(links[static_cast<std::size_t>(leafIndex)]);
  links.erase(links.begin() + leafIndex);

  if (!context.noTrust) {
    std::vector<ChainLink> pool = StoredChainLinks(leaf.der);
    for (ChainLink& link : links) {
      ChainLink copy;
      if (MakeChainLink(link.der, &copy, slot) != 0) return -1;
      pool.push_back(std::move(copy));
    }
    std::vector<std::size_t> path;
    if (FindPathToTrustedRoot(leaf.fields, pool, &path, slot) != 0) return -1;
  }
  if (CheckValidityNow(&leaf.fields, slot) != 0) return -1;

  if (StoreAuthorities(links, slot) != 0) return -1;
  if (!Succeeded(KeyRingAddCertificate(leaf.der, std::nullopt, nullptr)))
    return FailWith(slot, kMsgAddCertFailed);
  return WriteReceived(context, SuccessMessage::kCertReceived, slot);
}

int ReceiveRootBundle(const SecurityCmdContext& context, const std::vector<Bytes>& certificates,
                      std::uint32_t* slot) {
  bundleSkipped = 0;
  std::vector<ChainLink> links;
  if (ParseLinks(certificates, links, slot) != 0) return -1;
  StoredState stored = ReadStoredState();
  std::size_t skipped = 0;
  std::size_t taken = 0;
  std::vector<Bytes> heldRoots;
  for (const ChainLink& link : links) {
    std::optional<Bytes> publicKey = CanBeRoot(link) ? CanonicalKeyOf(link) : std::nullopt;
    if (publicKey && stored.certificates.count(link.der) != 0) {
      heldRoots.push_back(std::move(*publicKey));
      continue;
    }
    if (!publicKey || KeyHeldByEntry(*publicKey) ||
        !Succeeded(KeyRingInsertEntry(
            CertificateEntry(link, std::move(*publicKey), stored.labels, kKeyRingTrustedRoot)))) {
      ++skipped;
      continue;
    }
    ++taken;
  }
  for (const Bytes& publicKey : heldRoots) {
    if (!Succeeded(KeyRingMarkRoot(publicKey))) return FailWith(slot, kMsgDesignateFailed);
  }
  TrustedRootCacheRebuild();
  bundleSkipped = skipped;
  if (taken == 0 && heldRoots.empty()) return FailWith(slot, kMsgBundleRootsSkipped);
  return WriteReceived(
      context, skipped == 0 ? SuccessMessage::kCertReceived : SuccessMessage::kBundleRootsSkipped,
      slot);
}

std::size_t ReceivedBundleSkipped() { return bundleSkipped; }

}  // namespace kcertadm
