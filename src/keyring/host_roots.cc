#include "keyring/host_roots.h"

#include <cstdlib>
#include <sstream>

#include "armour/base64.h"
#include "asn1/der_reader.h"
#include "asn1/oids.h"
#include "host/regular_file.h"
#include "kcertadm.h"
#include "keyring/certificate_parts.h"

namespace kcertadm {
namespace {

constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
constexpr std::string_view kEnd = "-----END CERTIFICATE-----";

std::string Trim(std::string_view s) {
  std::size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(first, last - first + 1));
}

enum class RowOutcome { kMade, kNotRsa, kUndecodable };

// One row from a certificate and the label given for it, if any.
RowOutcome MakeRow(Bytes der, std::string label, std::size_t index, HostRootRow& row) {
  Bytes tbs, subject, spki;
  if (CertificateParts(der, &tbs, nullptr, nullptr) != 0) return RowOutcome::kUndecodable;
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsSubject] = &subject;
  fields[kTbsSubjectPublicKeyInfo] = &spki;
  if (TbsCertificateFields(tbs, fields) != 0) return RowOutcome::kUndecodable;
  auto key = CanonicalPublicKeyFromSpki(spki);
  if (!key) return RowOutcome::kNotRsa;
  if (label.empty()) label = NameCommonName(subject);
  if (label.empty()) label = "Root " + std::to_string(index);
  row.flags = kKeyRingTrustedRoot;
  row.label = std::move(label);
  row.certificate = std::move(der);
  row.publicKey = std::move(*key);
  return RowOutcome::kMade;
}

}  // namespace

std::string NameCommonName(ByteView name) {
  der::View in = name;
  auto outer = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
  if (!outer) return {};
  der::View rdns = outer->content;
  while (!rdns.empty()) {
    auto set = der::Expect(rdns, der::kSet, der::kIndefiniteAsEmpty);
    if (!set) return {};
    der::View attributes = set->content;
    while (!attributes.empty()) {
      auto attribute = der::Expect(attributes, der::kSequence, der::kIndefiniteAsEmpty);
      if (!attribute) return {};
      der::View parts = attribute->content;
      auto oid = der::Expect(parts, der::kOid, der::kIndefiniteAsEmpty);
      auto value = der::Next(parts, der::kIndefiniteAsEmpty);
      if (oid && value && der::Equal(oid->content, oid::bytes::kCommonName))
        return std::string(value->content.begin(), value->content.end());
    }
  }
  return {};
}

int ParseHostRoots(const std::string& text, std::vector<HostRootRow>& rows, std::size_t& skipped) {
  std::istringstream in(text);
  std::string line, label, base64;
  bool inside = false;
  while (std::getline(in, line)) {
    std::string trimmed = Trim(line);
    if (!inside) {
      if (trimmed == kBegin) {
        inside = true;
        base64.clear();
      } else if (!trimmed.empty() && trimmed[0] == '#') {
        label = Trim(std::string_view(trimmed).substr(1));
      } else if (!trimmed.empty()) {
        label.clear();  // a comment applies only to the block right after it
      }
      continue;
    }
    if (trimmed != kEnd) {
      base64 += trimmed;
      continue;
    }
    inside = false;
    Bytes der;
    if (!Base64DecodeBytes(base64, der)) return -1;
    HostRootRow row;
    const RowOutcome outcome = MakeRow(std::move(der), label, rows.size() + 1, row);
    if (outcome == RowOutcome::kUndecodable) return -1;
    if (outcome == RowOutcome::kNotRsa) {
      ++skipped;
    } else {
      rows.push_back(std::move(row));
    }
    label.clear();
  }
  return inside ? -1 : 0;
}

int HostGetTrustedRoots(std::vector<HostRootRow>& rows, std::size_t& skipped) {
  rows.clear();
  skipped = 0;
  const char* path = std::getenv(kHostRootsVariable);
  if (!path || !*path) return 0;
  std::string text;
  if (ReadRegularFile(path, kNoFileSizeLimit, text) != FileReadStatus::kOk) return -1;
  return ParseHostRoots(text, rows, skipped);
}

}  // namespace kcertadm
