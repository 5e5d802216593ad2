#include "commands/key_chain.h"

#include <algorithm>

#include "asn1/asn1.h"
#include "commands/authority_entries.h"
#include "commands/cert_chain.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

std::optional<ChainLink> LinkOf(ByteView certificate) {
  ChainLink link;
  std::uint32_t ignored = 0;
  if (MakeChainLink(certificate, &link, &ignored) != 0) return std::nullopt;
  return link;
}

}  // namespace

std::optional<std::string> SubjectCommonNameLabel(ByteView certificate) {
  std::optional<ChainLink> link = LinkOf(certificate);
  if (!link) return std::nullopt;
  std::optional<std::string> commonName = SubjectCommonName(link->fields.subject);
  if (!commonName || commonName->empty() || commonName->find('\0') != std::string::npos)
    return std::nullopt;
  return commonName;
}

int StoreChainCertificates(const std::vector<ByteView>& certificates, std::uint32_t* slot) {
  std::vector<ChainLink> links;
  for (ByteView certificate : certificates) {
    if (std::optional<ChainLink> link = LinkOf(certificate)) links.push_back(std::move(*link));
  }
  return StoreAuthorities(links, slot);
}

std::vector<Bytes> IssuerChainOf(ByteView certificate) {
  std::vector<Bytes> chain;
  std::optional<ChainLink> link = LinkOf(certificate);
  while (link &&
         !std::ranges::equal(Asn1Bytes(link->fields.issuer), Asn1Bytes(link->fields.subject)) &&
         chain.size() < kMaxExportChain) {
    std::optional<KeyRingEntry> issuer = KeyRingFindBySubject(Asn1Bytes(link->fields.issuer));
    std::optional<std::vector<ByteView>> certificates;
    if (issuer) certificates = KeyRingEntryCertificates(*issuer);
    if (!certificates || certificates->empty()) {
      KeyRingEntryFree(issuer);
      break;
    }
    Bytes current(certificates->front().begin(), certificates->front().end());
    KeyRingEntryFree(issuer);
    if (std::find(chain.begin(), chain.end(), current) != chain.end() ||
        std::ranges::equal(current, certificate))
      break;
    chain.push_back(current);
    link = LinkOf(chain.back());
  }
  return chain;
}

}  // namespace kcertadm
