// The password-based encryption of key files, named by an
// AlgorithmIdentifier: PBES2 (PBKDF2 with HMAC-SHA1 or HMAC-SHA256, and
// AES-128/192/256-CBC) both ways, and the PKCS #12 ciphers
// pbeWithSHAAnd3-KeyTripleDES-CBC and pbeWithSHAAnd40BitRC2-CBC for
// reading. Every field is read through bounded views; iteration counts
// above kMaxKeyFileIterations are refused before any work is done.
#pragma once

#include <optional>
#include <string_view>

#include "asn1/der_reader.h"
#include "base/secure_memory.h"
#include "keyfile/key_file_status.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

// The file password in both forms a key file may use: PBES2 takes the text
// as it is (UTF-8), the PKCS #12 derivation its BMPString.
struct FilePassword {
  std::string_view text;
  SecureBytes bmp;
};

// None when the text is not UTF-8.
std::optional<FilePassword> MakeFilePassword(std::string_view text);

// Reads an INTEGER's contents as an iteration count: kOk with 1 or more up
// to kMaxKeyFileIterations, kTooManyIterations above, kUnsupported for 0,
// a negative number or no digits.
KeyFileStatus ReadIterationCount(der::View content, std::uint32_t& iterations);

// Decrypts ciphertext under the AlgorithmIdentifier (the whole element).
// kWrongPassword when the decryption fails on well-formed input; the
// caller that finds the plaintext makes no sense reports the same.
KeyFileStatus DecryptWithAlgorithm(der::View algorithm, const FilePassword& password,
                                   der::View ciphertext, SecureBytes& plain);

// Encrypts plain with PBES2: PBKDF2-HMAC-SHA256 with a random 16-byte salt
// and kKeyFileWriteIterations, AES-256-CBC with a random IV. algorithm
// receives the AlgorithmIdentifier, cipher the ciphertext.
KeyFileStatus EncryptWithPbes2(std::string_view password, ByteView plain, Bytes& algorithm,
                               SecureBytes& cipher);

}  // namespace kcertadm
