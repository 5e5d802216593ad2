#include "crypto/rsa/rsa_key_info.h"

#include <array>
#include <cstring>
#include <new>

#include "crypto/bignum/bignum_ct.h"
#include "crypto/rsa/rsa_private_numbers.h"

namespace kcertadm {
namespace {

std::size_t LeadingZeros(const ByteItem& item) {
  std::size_t i = 0;
  while (i < item.length && item.data[i] == 0) ++i;
  return i;
}

bool IsUsable(const ByteItem& item) { return item.data != nullptr || item.length == 0; }

ByteItem ItemOf(ByteView bytes) {
  return ByteItem{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
}

ByteView ViewOf(const ByteItem& item) {
  return item.length == 0 ? ByteView() : ByteView(item.data, item.length);
}

BigNum Number(const ByteItem& item) {
  return item.length == 0 ? BigNum() : BigNum::FromBytes(item.data, item.length);
}

// The byte strings of a record, in the order of its fields.
std::array<ByteItem, 2> ItemsOf(const RsaPublicKeyRecord& r) {
  return {r.modulus, r.publicExponent};
}
std::array<ByteItem, 8> ItemsOf(const RsaPrivateKeyRecord& r) {
  return {r.modulus, r.publicExponent, r.privateExponent, r.prime1,
          r.prime2,  r.exponent1,      r.exponent2,       r.coefficient};
}

// Copies the record's byte strings, without leading zeros, together with
// the record itself into one block owned by the key; *stored points to it.
template <typename Record>
int StoreRecord(KeyObject& key, const Record& record, Record** stored) {
  const auto items = ItemsOf(record);
  static_assert(sizeof(Record) == sizeof(items));  // the record is laid out as its items
  std::size_t total = sizeof(Record);
  for (const ByteItem& item : items) total += item.length - LeadingZeros(item);
  void* block = key.blocks.Allocate(total);
  if (block == nullptr) return TkErrNoMemory;
  auto* fields = static_cast<ByteItem*>(block);
  auto* bytes = static_cast<std::uint8_t*>(block) + sizeof(Record);
  for (std::size_t i = 0; i < items.size(); ++i) {
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
      !ConstTimeInverseOfOdd(k->private_exponent, phi, &k->public_exponent).ok())
    return TkErrBadKeyForm;
  if (k->private_exponent.IsZero()) {
    const BigNum& e = k->public_exponent;
    const BigNumStatus status = e.IsOdd() && !e.IsOne()
                                    ? ConstTimeInverseOfOdd(e, phi, &k->private_exponent)
                                    : BigNum::ModInverse(e, phi, &k->private_exponent);
    if (!status.ok()) return TkErrBadKeyForm;
  }
  if (k->exponent1.IsZero() && !ConstTimeRemainder(k->private_exponent, p1, &k->exponent1).ok())
    return TkErrBadKeyForm;
  if (k->exponent2.IsZero() && !ConstTimeRemainder(k->private_exponent, q1, &k->exponent2).ok())
    return TkErrBadKeyForm;
  BigNum q_mod_p;
  if (k->coefficient.IsZero() && (!ConstTimeRemainder(k->prime2, k->prime1, &q_mod_p).ok() ||
                                  !ConstTimeModInverse(q_mod_p, k->prime1, &k->coefficient).ok()))
    return TkErrBadKeyForm;
  return TkOk;
}

class RsaPublicKeyInfo final : public KeyInfoType {
 public:
  int AddInfo(KeyObject& key, const void* material) const override {
    const auto* in = static_cast<const RsaPublicKeyRecord*>(material);
    if (in == nullptr || !IsUsable(in->modulus) || !IsUsable(in->publicExponent))
      return TkErrBadParameter;
    RsaPublicKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, *in, &stored)) return status;
    return AddStored(key, this, stored);
  }
  int MakeInfo(const ToolkitLockHeld& lock, void** record, KeyObject& key) const override {
    const void* crt_record = nullptr;
    if (int status = KeyGetInfo(lock, &crt_record, &key, KeyInfoRsaCrt()).code()) return status;
    const RsaKeyMaterial& m = static_cast<const RsaCrtRecord*>(crt_record)->material();
    const SecureBytes n = m.modulus.ToBytes(), e = m.public_exponent.ToBytes();
    RsaPublicKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, RecordOf(RsaPublicNumbers{n, e}), &stored)) return status;
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
    const auto items = ItemsOf(*in);
    for (const ByteItem& item : items)
      if (!IsUsable(item)) return TkErrBadParameter;

    RsaKeyMaterial numbers;
    const auto parts = numbers.Parts();
    for (std::size_t i = 0; i < parts.size(); ++i) *parts[i] = Number(items[i]);
    if (int status = CompleteMaterial(&numbers)) {
      numbers.Wipe();
      return status;
    }
    // The stored private form carries the completed values.
    RsaPrivateKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, RecordOf(NumbersOf(numbers)), &stored)) return status;
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
    for (const BigNum* part : m.Parts())
      if (part->IsZero()) return TkErrBadKeyForm;
    RsaPrivateKeyRecord* stored = nullptr;
    if (int status = StoreRecord(key, RecordOf(NumbersOf(m)), &stored)) return status;
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

RsaPublicKeyRecord RecordOf(const RsaPublicNumbers& numbers) {
  return {ItemOf(numbers.modulus), ItemOf(numbers.publicExponent)};
}

RsaPublicNumbers NumbersOf(const RsaPublicKeyRecord& record) {
  return {ViewOf(record.modulus), ViewOf(record.publicExponent)};
}

const KeyInfoType* KeyInfoRsaPublic() { return &kRsaPublicInfo; }
const KeyInfoType* KeyInfoRsaPrivate() { return &kRsaPrivateInfo; }
const KeyInfoType* KeyInfoRsaCrt() { return &kRsaCrtInfo; }

}  // namespace kcertadm
