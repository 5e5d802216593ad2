// Protection of key ring contents by the key ring password: the PKCS #8
// encryption of private keys (pbeWithMD2AndDES-CBC, random salt, 3
// iterations) and the encryption of each entry's protected data (the
// toolkit's pbeWithMD5AndDES-CBC, fixed salt, 7 iterations).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "asn1/der_reader.h"
#include "base/secure_memory.h"
#include "crypto/rsa/rsa_private_numbers.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/keyring_entry.h"
#include "keyring/keyring_status.h"

namespace kcertadm {

// Key and IV derived from a password: PBKDF1 with MD2.
struct PbeKey {
  std::uint8_t key[8];
  std::uint8_t salt[8];
  std::uint8_t iv[8];
  std::uint32_t iterationCount;
  ~PbeKey();
};

inline constexpr std::uint32_t kPrivateKeyIterations = 3;
// The most iterations a stored private key may ask for. This system seals
// with 3, and 2048 is already far above what other tools choose by
// default; every iteration is one MD2 run, so a count near 2^32 would hold
// the key ring for a day.
inline constexpr std::uint32_t kMaxPrivateKeyIterations = 2048;
inline constexpr std::size_t kPbeSaltSize = 8;

// T1 = MD2(password, salt), Ti = MD2(Ti-1); key = first 8 bytes of the last
// T, IV = its last 8 bytes. An iteration count of 0 is treated as 1.
void DerivePbeKey(std::string_view password, const std::uint8_t salt[kPbeSaltSize],
                  std::uint32_t iterationCount, PbeKey& out);

// DES-CBC with PKCS #5 padding under the key and IV of pbeKey.
SecureBytes PbeEncrypt(const PbeKey& pbeKey, ByteView data);
// None when the ciphertext is not whole blocks or the padding is wrong.
std::optional<SecureBytes> PbeDecrypt(const PbeKey& pbeKey, ByteView ciphertext);

// DER PKCS #8 EncryptedPrivateKeyInfo of the numbers under password, with
// the given salt. The key ring's writers use the random-salt form below.
SecureBytes EncryptPrivateKeyNumbers(const RsaPrivateNumbers& numbers, std::string_view password,
                                     const std::uint8_t salt[kPbeSaltSize]);
// The parts of an EncryptedPrivateKeyInfo sealed with pbeWithMD2AndDES-CBC:
// views into it, and the iteration count (a count beyond 64 bits reads as
// the largest one). None when it does not decode that far, names another
// algorithm, or gives a negative iteration count. rule: how the caller
// reads indefinite lengths.
struct SealedKey {
  ByteView salt;  // the first kPbeSaltSize octets of the salt
  std::uint64_t iterations;
  ByteView encryptedData;
};
std::optional<SealedKey> DecodeSealedKey(ByteView encrypted, der::LengthRule rule);

// The PrivateKeyInfo DER sealed in an EncryptedPrivateKeyInfo; none on any
// failure (bad encoding, another algorithm, an iteration count outside 1 to
// kMaxPrivateKeyIterations, wrong password, a plaintext that does not start
// with a SEQUENCE).
std::optional<SecureBytes> DecryptSealedKey(ByteView encrypted, std::string_view password,
                                            der::LengthRule rule);

// Decrypts an EncryptedPrivateKeyInfo; none on any failure (bad encoding,
// another algorithm, an iteration count outside 1 to
// kMaxPrivateKeyIterations, wrong password). The numbers are the INTEGER contents
// as encoded, a leading zero byte included.
std::optional<RsaPrivateNumbers> DecryptPrivateKeyNumbers(ByteView encrypted,
                                                          std::string_view password);

// True when the EncryptedPrivateKeyInfo asks for more iterations than
// kMaxPrivateKeyIterations: a damaged or crafted field, refused before any
// work is spent on it.
bool SealedKeyIterationsOverBound(ByteView encrypted);

// The numbers of a DER RSAPrivateKey (the version is read, not checked;
// what follows the eighth number is ignored); none when it does not decode.
std::optional<RsaPrivateNumbers> DecodeRsaPrivateKey(ByteView der);

// DER RSAPrivateKey and PrivateKeyInfo of the numbers.
SecureBytes EncodeRsaPrivateKey(const RsaPrivateNumbers& numbers);
SecureBytes EncodePrivateKeyInfo(const RsaPrivateNumbers& numbers);

// EncryptPrivateKey: the toolkit private key object sealed under password
// with a fresh random salt. 0, or a nonzero status with out left empty.
KeyRingStatus EncryptPrivateKey(KeyObject* privateKey, std::string_view password, SecureBytes& out);
// DecryptPrivateKey: a new toolkit key object holding the private key;
// empty on any failure.
OwnedKey DecryptPrivateKey(ByteView encrypted, std::string_view password);

// Protected data of an entry: one pass of the toolkit's password-based
// encryption; the key is the password with its terminating zero byte (no
// password counts as the empty one). 0, the toolkit's status, or 5.
int EncryptProtectedData(ByteView data, std::optional<std::string_view> password, SecureBytes& out);
int DecryptProtectedData(ByteView encrypted, std::optional<std::string_view> password,
                         SecureBytes& out);

}  // namespace kcertadm
