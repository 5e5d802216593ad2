#include "crypto/toolkit_util.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm::test_support {

std::string ToHex(const BigNum& x) {
  const SecureBytes bytes = x.ToBytes();
  const std::string hex = ToHex(bytes.data(), bytes.size());
  return x.IsZero() ? "0" : hex[0] == '0' ? hex.substr(1) : hex;
}

namespace {

BigNum Reduced(const BigNum& x, const BigNum& modulus) {
  BigNum r;
  if (!BigNum::Mod(x, modulus, &r).ok()) throw std::invalid_argument("a zero modulus");
  return r;
}

}  // namespace

BigNum PlainModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus) {
  BigNum result = Reduced(BigNum(1), modulus);
  const BigNum b = Reduced(base, modulus);
  for (std::size_t i = exponent.BitLength(); i-- > 0;) {
    result = Reduced(BigNum::Mul(result, result), modulus);
    if (exponent.Bit(i)) result = Reduced(BigNum::Mul(result, b), modulus);
  }
  return result;
}

std::vector<std::vector<std::string>> ReadVectorFile(const std::string& path) {
  std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/" + path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    if (!line.empty() && line[0] != '#')
      rows.emplace_back(std::istream_iterator<std::string>(fields),
                        std::istream_iterator<std::string>());
  }
  return rows;
}

const RsaKeyMaterial& TestKey(std::uint32_t bits) {
  static std::map<std::uint32_t, std::unique_ptr<RsaKeyMaterial>> keys;
  auto& slot = keys[bits];
  if (!slot) {
    slot = std::make_unique<RsaKeyMaterial>();
    Lcg lcg(1000 + bits);
    GenerateRsaKey(bits, BigNum(65537), lcg.AsRandomFill(), nullptr, slot.get());
  }
  return *slot;
}

OwnedKey PrivateKeyObject(const ToolkitLockHeld& lock, const RsaKeyMaterial& m) {
  const RsaPrivateNumbers numbers = NumbersOf(m);
  const RsaPrivateKeyRecord record = RecordOf(numbers);
  OwnedKey key;
  if (key.Create(lock) != 0 || KeySetInfo(lock, key.get(), KeyInfoRsaPrivate(), &record) != 0)
    return OwnedKey();
  return key;
}

OwnedKey PublicKeyObject(const ToolkitLockHeld& lock, KeyObject* privateKey) {
  const void* record = nullptr;
  OwnedKey key;
  if (KeyGetInfo(lock, &record, privateKey, KeyInfoRsaPublic()) != 0 || key.Create(lock) != 0 ||
      KeySetInfo(lock, key.get(), KeyInfoRsaPublic(), record) != 0)
    return OwnedKey();
  return key;
}

int RunCipher(const CipherSetup& setup, bool encrypt, const std::vector<std::uint8_t>& in,
              std::vector<std::uint8_t>* out, std::size_t piece, std::uint32_t room) {
  ToolkitLockHeld lock;
  OwnedAlgorithm alg;
  OwnedKey key;
  int status = alg.Create(lock).code() | key.Create(lock).code();
  if (status == 0) status = KeySetInfo(lock, key.get(), setup.keyForm, setup.keyMaterial).code();
  if (status == 0) status = AlgSetInfo(lock, alg.get(), setup.type, setup.params).code();
  if (status == 0)
    status =
        (encrypt ? EncryptInit : DecryptInit)(lock, alg.get(), key.get(), setup.methods, nullptr)
            .code();
  out->assign(room != 0 ? room : in.size() + 16, 0);
  std::uint32_t total = 0, written = 0;
  if (piece == 0) piece = std::max<std::size_t>(in.size(), 1);
  for (std::size_t at = 0; status == 0 && at < in.size(); at += piece, total += written) {
    const auto n = static_cast<std::uint32_t>(std::min(piece, in.size() - at));
    const auto left = static_cast<std::uint32_t>(out->size() - total);
    status =
        (encrypt ? EncryptUpdate : DecryptUpdate)(lock, alg.get(), out->data() + total, &written,
                                                  left, in.data() + at, n, nullptr, nullptr)
            .code();
  }
  if (status == 0) {
    const auto left = static_cast<std::uint32_t>(out->size() - total);
    status = (encrypt ? EncryptFinal : DecryptFinal)(lock, alg.get(), out->data() + total, &written,
                                                     left, nullptr, nullptr)
                 .code();
    total += written;
  }
  out->resize(total);
  return status;
}

}  // namespace kcertadm::test_support
