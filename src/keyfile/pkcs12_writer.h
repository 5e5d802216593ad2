// Writing PKCS #12 files as OpenSSL 3 does by default: the certificates in
// an encrypted SafeContents (PBES2: PBKDF2-HMAC-SHA256, AES-256-CBC), the
// key in a pkcs8ShroudedKeyBag under the same scheme, the key and its
// certificate tied by localKeyId (the SHA-1 of the certificate) and named
// by friendlyName, and an HMAC-SHA256 MAC keyed by the PKCS #12 key
// derivation.
#pragma once

#include "keyfile/key_file.h"

namespace kcertadm {

KeyFileStatus WritePkcs12(const KeyFileExport& contents, std::string_view password, Bytes& out);

}  // namespace kcertadm
