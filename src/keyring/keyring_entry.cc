#include "keyring/keyring_entry.h"

#include <algorithm>

#include "asn1/der_reader.h"

namespace kcertadm {

std::string KeyRingEntry::LabelText() const {
  auto end = std::find(label.begin(), label.end(), std::uint8_t{0});
  return std::string(label.begin(), end);
}

Bytes LabelBytes(std::string_view text) {
  Bytes out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

bool LabelEquals(const KeyRingEntry& entry, std::string_view label) {
  return entry.label.size() == label.size() + 1 &&
         std::equal(label.begin(), label.end(), entry.label.begin()) && entry.label.back() == 0;
}

bool KeyRingEntryFieldsFit(const KeyRingEntry& e) {
  for (std::size_t n :
       {e.label.size(), e.subjectName.size(), e.protectedData.size(), e.publicKey.size(),
        e.privateKey.size(), e.certificates.size(), e.auxiliaryData.size()}) {
    if (n > kKeyRingFieldMax) return false;
  }
  return true;
}

KeyRingEntry KeyRingEntryCopy(const KeyRingEntry& entry) { return entry; }

void KeyRingEntryFree(std::optional<KeyRingEntry>& entry) {
  // SecureBytes wipes the protected data and the private key on release.
  entry.reset();
}

std::optional<std::vector<ByteView>> KeyRingEntryCertificates(const KeyRingEntry& entry) {
  std::vector<ByteView> out;
  der::View rest(entry.certificates.data(), entry.certificates.size());
  while (!rest.empty()) {
    auto element = der::Next(rest, der::kIndefiniteAsEmpty);
    if (!element || element->whole.size() > kKeyRingFieldMax) return std::nullopt;
    out.push_back(element->whole);
  }
  return out;
}

}  // namespace kcertadm
