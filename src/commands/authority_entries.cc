#include "commands/authority_entries.h"

#include <utility>

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/dn.h"
#include "commands/report_names.h"
#include "host/messages.h"
#include "keyring/certificate_parts.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

// 2.5.4.3 commonName

bool IsCommonName(const NameAttribute& attribute) {
  return Asn1ItemEquals(attribute.oid, oid::bytes::kCommonName, sizeof oid::bytes::kCommonName) ==
         1;
}

}  // namespace

std::optional<std::string> SubjectCommonName(const Asn1Item& subject) {
  for (const NameAttribute& attribute : ListNameAttributes(subject)) {
    if (IsCommonName(attribute)) return NameValueText(attribute.value);
  }
  return std::nullopt;
}

std::string SubjectLabel(const Asn1Item& subject) {
  std::string label;
  if (std::optional<std::string> commonName = SubjectCommonName(subject)) {
    label = std::move(*commonName);
  } else {
    for (const NameAttribute& attribute : ListNameAttributes(subject)) {
      if (!label.empty()) label += ", ";
      label += NameValueText(attribute.value);
    }
  }
  if (label.size() > kMaxMadeLabel) {
    std::size_t cut = kMaxMadeLabel;
    while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80) --cut;
    label.resize(cut);
  }
  return label.empty() ? std::string("CA certificate") : label;
}

StoredState ReadStoredState() {
  StoredState state;
  KeyRingCursor cursor;
  do {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    state.labels.insert(entry->LabelText());
    if (const auto list = KeyRingEntryCertificates(*entry)) {
      for (ByteView certificate : *list)
        state.certificates.emplace(certificate.begin(), certificate.end());
    }
    KeyRingEntryFree(entry);
  } while (!cursor.AtEnd());
  return state;
}

std::string UniqueLabel(const Asn1Item& subject, std::set<std::string>& labels) {
  const std::string base = SubjectLabel(subject);
  std::string label = base;
  for (int n = 2; labels.count(label) != 0; ++n) label = base + " (" + std::to_string(n) + ")";
  labels.insert(label);
  return label;
}

std::optional<Bytes> CanonicalKeyOf(const ChainLink& link) {
  return CanonicalPublicKeyFromSpki(Asn1Bytes(link.fields.subjectPublicKeyInfo));
}

bool KeyHeldByEntry(const Bytes& publicKey) {
  std::optional<KeyRingEntry> holder = KeyRingFindByPublicKey(publicKey);
  const bool held = holder.has_value();
  KeyRingEntryFree(holder);
  return held;
}

KeyRingEntry CertificateEntry(const ChainLink& link, Bytes publicKey, std::set<std::string>& labels,
                              std::uint8_t flags) {
  KeyRingEntry entry;
  entry.label = LabelBytes(UniqueLabel(link.fields.subject, labels));
  const ByteView subject = Asn1Bytes(link.fields.subject);
  entry.subjectName.assign(subject.begin(), subject.end());
  entry.publicKey = std::move(publicKey);
  entry.certificates = link.der;
  entry.flags = flags;
  return entry;
}

int StoreAuthorities(const std::vector<ChainLink>& links, std::uint32_t* slot) {
  StoredState stored = ReadStoredState();
  for (const ChainLink& link : links) {
    if (stored.certificates.count(link.der) != 0) continue;
    std::optional<Bytes> publicKey = CanonicalKeyOf(link);
    if (!publicKey || KeyHeldByEntry(*publicKey)) continue;
    if (!Succeeded(
            KeyRingInsertEntry(CertificateEntry(link, std::move(*publicKey), stored.labels, 0)))) {
      return FailWith(slot, kMsgAddCertFailed);
    }
  }
  return 0;
}

}  // namespace kcertadm
