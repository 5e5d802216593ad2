#include "cert/signed_structure.h"

namespace kcertadm {

namespace {

// The octets of a BIT STRING content with no unused bits, or none.
std::optional<der::View> WholeOctets(der::View bitStringContent) noexcept {
  if (bitStringContent.empty() || bitStringContent[0] != 0) return std::nullopt;
  return bitStringContent.subspan(1);
}

}  // namespace

std::optional<SignedParts> DecodeSigned(der::View in, der::LengthRule rule) noexcept {
  auto outer = der::Peek(in, rule);
  if (!outer || (outer->tag & der::kConstructedBit) == 0) return std::nullopt;
  der::View body = outer->content;
  auto tbs = der::Expect(body, der::kSequence, rule);
  auto algorithm = tbs ? der::Expect(body, der::kSequence, rule) : std::nullopt;
  auto bits = algorithm ? der::Expect(body, der::kBitString, rule) : std::nullopt;
  if (!bits) return std::nullopt;
  auto signature = WholeOctets(bits->content);
  if (!signature) return std::nullopt;
  return SignedParts{outer->whole, tbs->whole, algorithm->whole, *signature};
}

std::optional<TbsParts> DecodeTbs(der::View tbs, der::LengthRule rule) noexcept {
  auto outer = der::Peek(tbs, rule);
  if (!outer || (outer->tag & der::kConstructedBit) == 0) return std::nullopt;
  der::View body = outer->content;
  TbsParts parts;
  if (!body.empty() && (body[0] == der::kContext0 || body[0] == der::kPrivate0)) {
    parts.version = der::Next(body, rule);
    if (!parts.version) return std::nullopt;
  }
  der::Element* const fields[] = {&parts.serialNumber, &parts.signature,
                                  &parts.issuer,       &parts.validity,
                                  &parts.subject,      &parts.subjectPublicKeyInfo};
  std::uint8_t tag = der::kInteger;
  for (der::Element* field : fields) {
    auto element = der::Expect(body, tag, rule);
    if (!element) return std::nullopt;
    *field = *element;
    tag = der::kSequence;
  }
  parts.rest = body;
  return parts;
}

std::optional<RsaSpkiParts> DecodeRsaSpki(der::View spki, der::LengthRule rule) noexcept {
  auto outer = der::Peek(spki, rule);
  if (!outer || outer->tag != der::kSequence) return std::nullopt;
  der::View body = outer->content;
  auto algorithm = der::Expect(body, der::kSequence, rule);
  auto bits = algorithm ? der::Expect(body, der::kBitString, rule) : std::nullopt;
  if (!bits) return std::nullopt;
  auto keyBytes = WholeOctets(bits->content);
  if (!keyBytes) return std::nullopt;
  auto key = der::Expect(*keyBytes, der::kSequence, rule);
  if (!key) return std::nullopt;
  der::View numbers = key->content;
  auto modulus = der::Expect(numbers, der::kInteger, rule);
  auto exponent = modulus ? der::Expect(numbers, der::kInteger, rule) : std::nullopt;
  if (!exponent || modulus->content.empty() || exponent->content.empty()) return std::nullopt;
  return RsaSpkiParts{algorithm->whole, {modulus->content, exponent->content}};
}

}  // namespace kcertadm
