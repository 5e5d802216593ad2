#include "commands/key_chain.h"

#include <algorithm>

#include "host_interface/messages.h"
#include "keyring/certificate_parts.h"
#include "keyring/der_view.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

// 2.5.4.3 commonName
constexpr std::uint8_t kCommonNameOid[] = {0x55, 0x04, 0x03};
constexpr int kMaxLabelSuffix = 100;

struct NameParts {
  Bytes issuer;
  Bytes subject;
  Bytes spki;
};

std::optional<NameParts> NamesOf(ByteView certificate) {
  Bytes tbs;
  if (CertificateParts(certificate, &tbs, nullptr, nullptr) != 0) return std::nullopt;
  NameParts parts;
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsIssuer] = &parts.issuer;
  fields[kTbsSubject] = &parts.subject;
  fields[kTbsSubjectPublicKeyInfo] = &parts.spki;
  if (TbsCertificateFields(tbs, fields) != 0) return std::nullopt;
  return parts;
}

// The value of the last commonName of a Name, as text.
std::optional<std::string> CommonNameOf(der::View name) {
  auto sequence = der::Expect(name, der::kSequence);
  if (!sequence) return std::nullopt;
  std::optional<std::string> found;
  for (der::View rdns = sequence->content; !rdns.empty();) {
    auto rdn = der::Expect(rdns, der::kSet);
    if (!rdn) return std::nullopt;
    for (der::View members = rdn->content; !members.empty();) {
      auto member = der::Expect(members, der::kSequence);
      if (!member) return std::nullopt;
      der::View in = member->content;
      auto type = der::Expect(in, der::kOid);
      auto value = der::Next(in);
      if (!type || !value || !der::Equal(type->content, kCommonNameOid)) continue;
      const der::View text = value->content;
      if (text.empty() || std::find(text.begin(), text.end(), 0) != text.end()) continue;
      found = std::string(text.begin(), text.end());
    }
  }
  return found;
}

// The label, or the first of "label (2)", "label (3)" ... no entry has.
std::optional<std::string> UnusedLabel(const std::string& label) {
  for (int n = 1; n <= kMaxLabelSuffix; ++n) {
    const std::string candidate = n == 1 ? label : label + " (" + std::to_string(n) + ")";
    std::optional<KeyRingEntry> existing = KeyRingFindEntry(std::string_view(candidate));
    if (!existing) return candidate;
    KeyRingEntryFree(existing);
  }
  return std::nullopt;
}

bool KeyRingHoldsKeyOf(const NameParts& parts, bool& holdable) {
  std::optional<Bytes> publicKey = CanonicalPublicKeyFromSpki(parts.spki);
  holdable = publicKey.has_value();
  if (!publicKey) return false;
  std::optional<KeyRingEntry> holder = KeyRingFindByPublicKey(*publicKey);
  const bool held = holder.has_value();
  KeyRingEntryFree(holder);
  return held;
}

}  // namespace

std::optional<std::string> SubjectCommonNameLabel(ByteView certificate) {
  std::optional<NameParts> parts = NamesOf(certificate);
  if (!parts) return std::nullopt;
  return CommonNameOf(parts->subject);
}

int StoreChainCertificates(const std::vector<ByteView>& certificates, std::uint32_t* slot) {
  for (ByteView certificate : certificates) {
    std::optional<NameParts> parts = NamesOf(certificate);
    bool holdable = false;
    if (!parts || KeyRingHoldsKeyOf(*parts, holdable) || !holdable) continue;
    const std::optional<std::string> label =
        UnusedLabel(CommonNameOf(parts->subject).value_or("CA certificate"));
    if (!label || KeyRingAddCertificate(certificate, std::string_view(*label), nullptr) != 0) {
      return FailWith(slot, kMsgAddCertFailed);
    }
  }
  return 0;
}

std::vector<Bytes> IssuerChainOf(ByteView certificate) {
  std::vector<Bytes> chain;
  std::optional<NameParts> parts = NamesOf(certificate);
  Bytes current(certificate.begin(), certificate.end());
  while (parts && parts->issuer != parts->subject && chain.size() < kMaxExportChain) {
    std::optional<KeyRingEntry> issuer = KeyRingFindBySubject(parts->issuer);
    std::optional<std::vector<ByteView>> certificates;
    if (issuer) certificates = KeyRingEntryCertificates(*issuer);
    if (!certificates || certificates->empty()) {
      KeyRingEntryFree(issuer);
      break;
    }
    current.assign(certificates->front().begin(), certificates->front().end());
    KeyRingEntryFree(issuer);
    if (std::find(chain.begin(), chain.end(), current) != chain.end() ||
        der::Equal(current, certificate))
      break;
    chain.push_back(current);
    parts = NamesOf(current);
  }
  return chain;
}

}  // namespace kcertadm
