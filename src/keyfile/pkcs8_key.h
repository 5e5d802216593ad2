// PKCS #8 private keys as key files carry them: PrivateKeyInfo (RSA only),
// the PKCS #1 RSAPrivateKey of "BEGIN RSA PRIVATE KEY", and the
// EncryptedPrivateKeyInfo of "BEGIN ENCRYPTED PRIVATE KEY" and of PKCS #12
// shrouded key bags.
#pragma once

#include <string_view>

#include "keyfile/key_file_cipher.h"
#include "keyfile/key_file_status.h"
#include "keyring/password_protection.h"

namespace kcertadm {

// version 0, rsaEncryption and an RSAPrivateKey: kOk; kNotRsa for a key of
// another algorithm; kUnsupported when it does not decode.
KeyFileStatus DecodeRsaPrivateKeyInfo(der::View privateKeyInfo, RsaPrivateNumbers& out);

// A two-prime RSAPrivateKey (version 0) and nothing after it.
KeyFileStatus DecodePkcs1PrivateKey(der::View rsaPrivateKey, RsaPrivateNumbers& out);

// Decrypts an EncryptedPrivateKeyInfo and decodes what it holds. A
// plaintext that is no PrivateKeyInfo means the password was wrong.
KeyFileStatus DecryptPrivateKeyInfo(der::View encrypted, const FilePassword& password,
                                    RsaPrivateNumbers& out);

// The EncryptedPrivateKeyInfo of the numbers under password (PBES2 with
// PBKDF2-HMAC-SHA256 and AES-256-CBC).
KeyFileStatus EncryptPrivateKeyInfo(const RsaPrivateNumbers& numbers, std::string_view password,
                                    SecureBytes& out);

}  // namespace kcertadm
