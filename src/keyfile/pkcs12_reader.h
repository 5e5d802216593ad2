// Reading PKCS #12 files (RFC 7292) in password privacy and integrity
// mode, as OpenSSL 3 writes them (PBES2 with AES, HMAC-SHA256 MAC) and as
// older tools do ("-legacy": triple-DES key bags, RC2-40 certificates,
// HMAC-SHA1 MAC). The MAC, when there is one, is checked before anything
// is decrypted. Only DER is read.
#pragma once

#include "keyfile/key_file.h"
#include "keyfile/key_file_cipher.h"

namespace kcertadm {

// The most safe bags a file may hold.
inline constexpr std::size_t kMaxPkcs12Bags = 256;

// Fills out with the first private key and every X.509 certificate.
KeyFileStatus ReadPkcs12(der::View file, const FilePassword& password, KeyFileContents& out);

}  // namespace kcertadm
