#include "keyring/private_key_info.h"

namespace kcertadm {
namespace {

std::optional<der::Element> Outer(der::View in, Framing framing, der::LengthRule rule) {
  return framing == Framing::kWhole ? der::ExpectOnly(in, der::kSequence, rule)
                                    : der::Expect(in, der::kSequence, rule);
}

}  // namespace

std::optional<PrivateKeyInfoParts> DecodePrivateKeyInfoParts(der::View in, Framing framing,
                                                             der::LengthRule rule) {
  const auto outer = Outer(in, framing, rule);
  if (!outer) return std::nullopt;
  der::View content = outer->content;
  const auto version = der::Expect(content, der::kInteger, rule);
  const auto algorithm = version ? der::Expect(content, der::kSequence, rule) : std::nullopt;
  const auto key = algorithm ? der::Expect(content, der::kOctetString, rule) : std::nullopt;
  if (!key) return std::nullopt;
  der::View identifier = algorithm->content;
  const auto oid = der::Expect(identifier, der::kOid, rule);
  if (!oid) return std::nullopt;
  return PrivateKeyInfoParts{version->content, oid->content, key->content};
}

std::optional<EncryptedPrivateKeyInfoParts> DecodeEncryptedPrivateKeyInfoParts(
    der::View in, Framing framing, der::LengthRule rule) {
  const auto outer = Outer(in, framing, rule);
  if (!outer) return std::nullopt;
  der::View content = outer->content;
  const auto algorithm = der::Expect(content, der::kSequence, rule);
  const auto data = algorithm ? der::Expect(content, der::kOctetString, rule) : std::nullopt;
  if (!data || (framing == Framing::kWhole && !content.empty())) return std::nullopt;
  return EncryptedPrivateKeyInfoParts{*algorithm, data->content};
}

}  // namespace kcertadm
