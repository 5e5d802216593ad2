// Key files: a private key with its certificates, protected by a file
// password, as other tools exchange them. Read: PKCS #12 (DER), and PEM
// text holding a private key ("PRIVATE KEY", "RSA PRIVATE KEY",
// "ENCRYPTED PRIVATE KEY") and "CERTIFICATE" blocks. Written: PKCS #12,
// or an encrypted PEM private key followed by the certificates.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "keyfile/key_file_status.h"
#include "keyring/keyring_entry.h"
#include "keyring/password_protection.h"

namespace kcertadm {

// The most certificates a key file may carry; more are no chain.
inline constexpr std::size_t kMaxKeyFileCertificates = 64;

struct KeyFileContents {
  std::optional<RsaPrivateNumbers> key;  // the first private key of the file
  std::vector<Bytes> certificates;       // DER, in file order
};

// Reads a whole key file: PKCS #12 when it starts with a DER SEQUENCE, PEM
// text otherwise. kOk means a key was found (certificates may be none);
// kNoPrivateKey a file that decoded but held none.
KeyFileStatus ReadKeyFile(ByteView file, std::string_view password, KeyFileContents& out);

// What a key file written for export holds: the key, its certificate and
// the certificates of its chain, and the name of the key.
struct KeyFileExport {
  const RsaPrivateNumbers* key = nullptr;
  ByteView certificate;
  std::vector<ByteView> chain;
  std::string_view friendlyName;
};

// The PKCS #12 file of an export (pkcs12_writer.h says what it holds).
KeyFileStatus WritePkcs12KeyFile(const KeyFileExport& contents, std::string_view password,
                                 Bytes& out);

// The PEM text of an export: "ENCRYPTED PRIVATE KEY", then the certificate
// and the chain as "CERTIFICATE" blocks.
KeyFileStatus WritePemKeyFile(const KeyFileExport& contents, std::string_view password,
                              SecureBytes& out);

}  // namespace kcertadm
