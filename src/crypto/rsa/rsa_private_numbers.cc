#include "crypto/rsa/rsa_private_numbers.h"

namespace kcertadm {
namespace {

ByteItem ItemOf(const SecureBytes& bytes) {
  return ByteItem{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
}

SecureBytes CopyOf(const ByteItem& item) {
  if (item.length == 0) return SecureBytes();
  return SecureBytes(item.data, item.data + item.length);
}

}  // namespace

RsaPrivateKeyRecord RecordOf(const RsaPrivateNumbers& n) {
  return {ItemOf(n.modulus),   ItemOf(n.publicExponent), ItemOf(n.privateExponent),
          ItemOf(n.prime1),    ItemOf(n.prime2),         ItemOf(n.exponent1),
          ItemOf(n.exponent2), ItemOf(n.coefficient)};
}

RsaPrivateNumbers NumbersOf(const RsaPrivateKeyRecord& r) {
  return {CopyOf(r.modulus),   CopyOf(r.publicExponent), CopyOf(r.privateExponent),
          CopyOf(r.prime1),    CopyOf(r.prime2),         CopyOf(r.exponent1),
          CopyOf(r.exponent2), CopyOf(r.coefficient)};
}

RsaPrivateNumbers NumbersOf(const RsaKeyMaterial& material) {
  RsaPrivateNumbers numbers;
  const auto from = material.Parts();
  const auto to = numbers.Parts();
  for (std::size_t i = 0; i < from.size(); ++i) *to[i] = from[i]->ToBytes();
  return numbers;
}

RsaKeyMaterial MaterialOf(const RsaPrivateNumbers& numbers) {
  RsaKeyMaterial material;
  const auto from = numbers.Parts();
  const auto to = material.Parts();
  for (std::size_t i = 0; i < from.size(); ++i)
    *to[i] = BigNum::FromBytes(from[i]->data(), from[i]->size());
  return material;
}

RsaPublicNumbers PublicNumbersOf(const RsaPrivateNumbers& n) {
  return {n.modulus, n.publicExponent};
}

}  // namespace kcertadm
