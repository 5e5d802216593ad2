#include "crypto/rsa/rsa_key_info.h"

#include <cstring>
#include <new>

#include "crypto/bignum/bignum_ct.h"
#include "crypto/bignum/montgomery.h"

namespace kcertadm {
namespace {

std::size_t LeadingZeros(const ByteItem& item) {
  std::size_t i = 0;
  while (i < item.length && item.data[i] == 0) ++i;
  return i;
}

bool IsUsable(const ByteItem& item) { return item.data != nullptr || item.length == 0; }

BigNum Number(const ByteItem& item) {
  return item.length == 0 ? BigNum() : BigNum::FromBytes(item.data, item.length);
}

// Copies the records' byte strings, without leading zeros, together with
// the record itself into one block owned by the key; *stored points to it.
template <typename Record, std::size_t kCount>
int StoreRecord(KeyObject& key, const ByteItem (&items)[kCount], Record** stored) {
  std::size_t total = sizeof(Record);
  for (const ByteItem& item : items) total += item.length - LeadingZeros(item);
  void* block = key.blocks.Allocate(total);
  if (block == nullptr) return TkErrNoMemory;
  auto* fields = static_cast<ByteItem*>(block);
  auto* bytes = static_cast<std::uint8_t*>(block) + sizeof(Record);
  for (std::size_t i = 0; i < kCount; ++i) {
    const std::size_t skip = LeadingZeros(items[i]);
    const std::uint32_t length = items[i].length - static_cast<std::uint32_t>(skip);
    if (length > 0) std::memcpy(bytes, items[i].data + skip, length);
    fields[i] = ByteItem{bytes, length};
    bytes += length;
  }
  *stored = static_cast<Record*>(block);
  return TkOk;
}

template <typename Record>
int AddStored(KeyObject& key, const KeyInfoType* type, Record* stored) {
  if (key.AddInfo(type, stored) != TkOk) {
    key.blocks.Release(stored);
    return TkErrNoMemory;
  }
  return TkOk;
}

// value mod m (m > 0) by the fixed-pattern remainder: the values completed
// here are secret.
BigNum SecretMod(const BigNum& value, const BigNum& m) {
  LimbVector r(m.limbs().size());
  ConstTimeMod(r.data(), value.limbs().data(), value.limbs().size(), m.limbs().data(), r.size());
  return BigNum::FromLimbs(r.data(), r.size());
}

// e = d^-1 mod phi for the secret d and phi of a key that lacks its public
// exponent, in steps that follow the lengths only: with u = (phi mod d)^-1
// mod d, e = (1 + (d - u) phi) / d, the division exact and done as a
// product by d^-1 modulo a power of two. d must be odd (phi is even).
int PublicFromPrivateExponent(const BigNum& d, const BigNum& phi, BigNum* e) {
  if (!d.IsOdd() || d.IsOne()) return kBigNumNoInverse;
  const std::size_t nd = d.limbs().size(), nphi = phi.limbs().size(), nx = nd + nphi;
  LimbVector residue(nd), k(nd), x(nx, 0), one(nx, 0), d_wide(nx, 0), d_inverse(nx), q(2 * nx);
  ConstTimeMod(residue.data(), phi.limbs().data(), nphi, d.limbs().data(), nd);
  BigNum u;
  if (int code = ConstTimeModInverse(BigNum::FromLimbs(residue.data(), nd), d, &u)) return code;
  u.CopyLimbs(residue.data(), nd);
  u.Wipe();
  LimbsSub(k.data(), d.limbs().data(), residue.data(), nd);
  LimbsMul(x.data(), k.data(), nd, phi.limbs().data(), nphi);
  one[0] = 1;
  LimbsAdd(x.data(), x.data(), one.data(), nx);
  d.CopyLimbs(d_wide.data(), nx);
  LimbsInverseModLimbPower(d_inverse.data(), d_wide.data(), nx);
  LimbsMul(q.data(), x.data(), nx, d_inverse.data(), nx);
  *e = BigNum::FromLimbs(q.data(), nx);
  return kBigNumOk;
}

// Fills in a missing exponent (public from private or private from public)
// and the CRT parts, all modulo (p - 1)(q - 1), every value that involves
// the private ones by constant-time steps (a private exponent from an odd
// public exponent above 1, the only kind the generator makes; an even or
// unit one has no use and keeps the plain Euclid).
int CompleteMaterial(RsaKeyMaterial* k) {
  if (k->modulus.IsZero() || k->prime1.IsZero() || k->prime2.IsZero()) return TkErrBadKeyForm;
  BigNum p1 = k->prime1, q1 = k->prime2;
  p1.SubSmall(1);
  q1.SubSmall(1);
  const BigNum phi = BigNum::Mul(p1, q1);
  if (phi.IsZero()) return TkErrBadKeyForm;
  if (k->public_exponent.IsZero() && k->private_exponent.IsZero()) return TkErrBadKeyForm;
  if (k->public_exponent.IsZero() &&
      PublicFromPrivateExponent(k->private_exponent, phi, &k->public_exponent) != kBigNumOk)
    return TkErrBadKeyForm;
  if (k->private_exponent.IsZero()) {
    const BigNum& e = k->public_exponent;
    const int code = e.IsOdd() && !e.IsOne() ? InverseOfPublicOdd(e, phi, &k->private_exponent)
                                             : BigNum::ModInverse(e, phi, &k->private_exponent);
    if (code != kBigNumOk) return TkErrBadKeyForm;
  }
  if (k->exponent1.IsZero()) k->exponent1 = SecretMod(k->private_exponent, p1);
  if (k->exponent2.IsZero()) k->exponent2 = SecretMod(k->private_exponent, q1);
  if (k->coefficient.IsZero() &&
      ConstTimeModInverse(SecretMod(k->prime2, k->prime1), k->prime1, &k->coefficient) != kBigNumOk)
    return TkErrBadKeyForm;
  return TkOk;
}

class RsaPublicKeyInfo final : public KeyInfoType {
 public:
  int AddInfo(KeyObject& key, const void* material) const override {
    const auto* in = static_cast<const RsaPublicKeyRecord*>(material);
    if (in == nullptr || !IsUsable(in->modulus) || !IsUsable(in->publicExponent))
      return TkErrBadParameter;
    const ByteItem items[] = {in->modulus, in->publicExponent};
    RsaPublicKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, items, &stored)) return status;
    return AddStored(key, this, stored);
  }
  int MakeInfo(const ToolkitLockHeld& lock, void** record, KeyObject& key) const override {
    const void* crt_record = nullptr;
    if (int status = KeyGetInfo(lock, &crt_record, &key, KeyInfoRsaCrt()).code()) return status;
    const RsaKeyMaterial& m = static_cast<const RsaCrtRecord*>(crt_record)->material();
    const SecureBytes n = m.modulus.ToBytes(), e = m.public_exponent.ToBytes();
    const ByteItem items[] = {{n.data(), static_cast<std::uint32_t>(n.size())},
                              {e.data(), static_cast<std::uint32_t>(e.size())}};
    RsaPublicKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, items, &stored)) return status;
    *record = stored;
    return TkOk;
  }
};

void ReleaseCrt(void* data) { delete static_cast<RsaCrtRecord*>(data); }

class RsaPrivateKeyInfo final : public KeyInfoType {
 public:
  int AddInfo(KeyObject& key, const void* material) const override {
    const auto* in = static_cast<const RsaPrivateKeyRecord*>(material);
    if (in == nullptr) return TkErrBadParameter;
    const ByteItem items[] = {in->modulus,   in->publicExponent, in->privateExponent,
                              in->prime1,    in->prime2,         in->exponent1,
                              in->exponent2, in->coefficient};
    for (const ByteItem& item : items)
      if (!IsUsable(item)) return TkErrBadParameter;

    RsaKeyMaterial numbers;
    BigNum* parts[] = {&numbers.modulus,   &numbers.public_exponent, &numbers.private_exponent,
                       &numbers.prime1,    &numbers.prime2,          &numbers.exponent1,
                       &numbers.exponent2, &numbers.coefficient};
    for (std::size_t i = 0; i < 8; ++i) *parts[i] = Number(items[i]);
    if (int status = CompleteMaterial(&numbers)) {
      numbers.Wipe();
      return status;
    }
    // The stored private form carries the completed values.
    SecureBytes bytes[8];
    ByteItem completed[8];
    for (std::size_t i = 0; i < 8; ++i) {
      bytes[i] = parts[i]->ToBytes();
      completed[i] = ByteItem{bytes[i].data(), static_cast<std::uint32_t>(bytes[i].size())};
    }
    RsaPrivateKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, completed, &stored)) return status;
    if (int status = AddStored(key, this, stored)) return status;

    auto* crt = new (std::nothrow) RsaCrtRecord(std::move(numbers));
    if (crt == nullptr) return TkErrNoMemory;
    if (!key.blocks.Adopt(crt, sizeof(RsaCrtRecord), &ReleaseCrt)) {
      delete crt;
      return TkErrNoMemory;
    }
    if (key.AddInfo(KeyInfoRsaCrt(), crt) != TkOk) {
      key.blocks.Release(crt);
      return TkErrNoMemory;
    }
    return TkOk;
  }

  int MakeInfo(const ToolkitLockHeld& lock, void** record, KeyObject& key) const override {
    const void* crt_record = nullptr;
    if (int status = KeyGetInfo(lock, &crt_record, &key, KeyInfoRsaCrt()).code()) return status;
    const RsaKeyMaterial& m = static_cast<const RsaCrtRecord*>(crt_record)->material();
    const BigNum* parts[] = {&m.modulus, &m.public_exponent, &m.private_exponent, &m.prime1,
                             &m.prime2,  &m.exponent1,       &m.exponent2,        &m.coefficient};
    SecureBytes bytes[8];
    ByteItem items[8];
    for (std::size_t i = 0; i < 8; ++i) {
      if (parts[i]->IsZero()) return TkErrBadKeyForm;
      bytes[i] = parts[i]->ToBytes();
      items[i] = ByteItem{bytes[i].data(), static_cast<std::uint32_t>(bytes[i].size())};
    }
    RsaPrivateKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, items, &stored)) return status;
    *record = stored;
    return TkOk;
  }
};

class RsaCrtKeyInfo final : public KeyInfoType {
 public:
  int AddInfo(KeyObject&, const void*) const override { return TkErrWrongKind; }
  int MakeInfo(const ToolkitLockHeld&, void**, KeyObject&) const override {
    return TkErrBadKeyForm;
  }
};

const RsaPublicKeyInfo kRsaPublicInfo;
const RsaPrivateKeyInfo kRsaPrivateInfo;
const RsaCrtKeyInfo kRsaCrtInfo;

}  // namespace

int RsaCrtRecord::Operation(const RsaPrivateKeyOp** op) const {
  if (op_status_ < 0) {
    op_.reset(new (std::nothrow) RsaPrivateKeyOp);
    op_status_ = op_ == nullptr ? TkErrNoMemory : op_->Init(material_);
    if (op_status_ != TkOk) op_.reset();
    if (op_status_ == TkErrNoMemory) op_status_ = -1;  // may work later
  }
  if (op_ == nullptr) return op_status_ < 0 ? TkErrNoMemory : op_status_;
  *op = op_.get();
  return TkOk;
}

void PublicKeyNumbers(const RsaPublicKeyRecord& record, BigNum* modulus, BigNum* exponent) {
  *modulus = Number(record.modulus);
  *exponent = Number(record.publicExponent);
}

const KeyInfoType* KeyInfoRsaPublic() { return &kRsaPublicInfo; }
const KeyInfoType* KeyInfoRsaPrivate() { return &kRsaPrivateInfo; }
const KeyInfoType* KeyInfoRsaCrt() { return &kRsaCrtInfo; }

}  // namespace kcertadm
