#include "commands/receive_chain.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <set>
#include <string>

#include "asn1/asn1.h"
#include "cert/cert_chain.h"
#include "cert/cert_keyring.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/dn.h"
#include "cert/validity.h"
#include "commands/report_names.h"
#include "host_interface/messages.h"
#include "keyring/certificate_parts.h"
#include "keyring/certificate_verification.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

constexpr std::uint8_t kCommonNameOid[] = {0x55, 0x04, 0x03};
// Labels made from a subject are cut to this many bytes before a suffix.
constexpr std::size_t kMaxMadeLabel = 128;

std::atomic<std::size_t> bundleSkipped{0};

ByteView ViewOf(const Asn1Item& item) {
  return item.data == nullptr || item.length <= 0
             ? ByteView()
             : ByteView(item.data, static_cast<std::size_t>(item.length));
}

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

// What the key ring holds now: every stored certificate and every label.
struct StoredState {
  std::set<Bytes> certificates;
  std::set<std::string> labels;
};

StoredState ReadStoredState() {
  StoredState state;
  KeyRingCursor cursor;
  do {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    state.labels.insert(entry->LabelText());
    if (const auto list = KeyRingEntryCertificates(*entry)) {
      for (ByteView certificate : *list) state.certificates.emplace(certificate.begin(), certificate.end());
    }
    KeyRingEntryFree(entry);
  } while (!cursor.AtEnd());
  return state;
}

// The subject's common name, or the text of all its attributes; cut short
// at a character boundary.
std::string SubjectLabel(const Asn1Item& subject) {
  std::string label;
  for (const NameAttribute& attribute : ListNameAttributes(subject)) {
    const std::string value = NameValueText(attribute.value);
    if (Asn1ItemEquals(attribute.oid, kCommonNameOid, sizeof kCommonNameOid) == 1) {
      label = value;
      break;
    }
    if (!label.empty()) label += ", ";
    label += value;
  }
  if (label.size() > kMaxMadeLabel) {
    std::size_t cut = kMaxMadeLabel;
    while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80) --cut;
    label.resize(cut);
  }
  return label.empty() ? std::string("CA certificate") : label;
}

// A label no entry has: the subject's, or it with " (2)", " (3)", ...
std::string UniqueLabel(const Asn1Item& subject, std::set<std::string>& labels) {
  const std::string base = SubjectLabel(subject);
  std::string label = base;
  for (int n = 2; labels.count(label) != 0; ++n) label = base + " (" + std::to_string(n) + ")";
  labels.insert(label);
  return label;
}

std::optional<Bytes> CanonicalKeyOf(const ChainLink& link) {
  return CanonicalPublicKeyFromSpki(ViewOf(link.fields.subjectPublicKeyInfo));
}

// A key ring entry for a certificate the key ring does not hold yet.
KeyRingEntry CertificateEntry(const ChainLink& link, Bytes publicKey, std::set<std::string>& labels,
                              std::uint8_t flags) {
  KeyRingEntry entry;
  entry.label = LabelBytes(UniqueLabel(link.fields.subject, labels));
  const ByteView subject = ViewOf(link.fields.subject);
  entry.subjectName.assign(subject.begin(), subject.end());
  entry.publicKey = std::move(publicKey);
  entry.certificates = link.der;
  entry.flags = flags;
  return entry;
}

bool KeyHeldByEntry(const Bytes& publicKey) {
  std::optional<KeyRingEntry> holder = KeyRingFindByPublicKey(publicKey);
  const bool held = holder.has_value();
  KeyRingEntryFree(holder);
  return held;
}

// The index of the one link whose key a key entry holds (the entry of
// label, when one is given). -1 with 30076 or 30056 for a key the key ring
// cannot hold, 30086 when there is not exactly one.
int FindKeyEntryCertificate(const std::vector<ChainLink>& links, const char* label,
                            std::uint32_t* slot) {
  int found = -1;
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (IsForeignKeyType(links[i].fields.subjectPublicKeyInfo)) return FailWith(slot, kMsgUnsupportedKeyType);
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

// Stores the links the key ring holds neither by DER nor by key as
// untrusted certificate entries. 0, or -1 with 30024.
int StoreAuthorities(const std::vector<ChainLink>& links, std::uint32_t* slot) {
  StoredState stored = ReadStoredState();
  for (const ChainLink& link : links) {
    if (stored.certificates.count(link.der) != 0) continue;
    std::optional<Bytes> publicKey = CanonicalKeyOf(link);
    if (!publicKey || KeyHeldByEntry(*publicKey)) continue;
    if (KeyRingInsertEntry(CertificateEntry(link, std::move(*publicKey), stored.labels, 0)) != 0) {
      return FailWith(slot, kMsgAddCertFailed);
    }
  }
  return 0;
}

int WriteReceived(const SecurityCmdContext& context, std::uint32_t message, std::uint32_t* slot) {
  const int written = KeyRingWrite(context.keyFile, PasswordArg(context.password));
  if (written != 0) return FailWith(slot, kMsgKeyRingWriteFailed, written);
  return FailWith(slot, message, 0);
}

// True for a self-signed certificate the key ring can hold as a trusted
// root: an RSA key that verifies its own signature, and valid now.
bool CanBeRoot(const ChainLink& link) {
  if (IsForeignKeyType(link.fields.subjectPublicKeyInfo) || !IsSelfIssued(link.fields)) return false;
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
  if (KeyRingAddCertificate(leaf.der, std::nullopt, nullptr) != 0) return FailWith(slot, kMsgAddCertFailed);
  return WriteReceived(context, kMsgCertReceived, slot);
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
        KeyRingInsertEntry(CertificateEntry(link, std::move(*publicKey), stored.labels,
                                            kKeyRingTrustedRoot)) != 0) {
      ++skipped;
      continue;
    }
    ++taken;
  }
  for (const Bytes& publicKey : heldRoots) {
    if (KeyRingMarkRoot(publicKey) != 0) return FailWith(slot, kMsgDesignateFailed);
  }
  TrustedRootCacheRebuild();
  bundleSkipped = skipped;
  if (taken == 0 && heldRoots.empty()) return FailWith(slot, kMsgBundleRootsSkipped);
  return WriteReceived(context, skipped == 0 ? kMsgCertReceived : kMsgBundleRootsSkipped, slot);
}

std::size_t ReceivedBundleSkipped() { return bundleSkipped; }

}  // namespace kcertadm
