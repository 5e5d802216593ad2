// PEM text key files: the private key block ("PRIVATE KEY", "RSA PRIVATE
// KEY" or "ENCRYPTED PRIVATE KEY") and "CERTIFICATE" blocks, in any order,
// with any text between the blocks. The text is read as bytes, line by
// line, never beyond its end.
#pragma once

#include "keyfile/key_file.h"
#include "keyfile/key_file_cipher.h"

namespace kcertadm {

// The first private key block and every certificate. kUnsupported for a
// block that does not decode or an RSA PRIVATE KEY under the old OpenSSL
// encryption headers; kNotRsa for an EC or DSA key.
KeyFileStatus ReadPemKeyText(ByteView text, const FilePassword& password, KeyFileContents& out);

// "ENCRYPTED PRIVATE KEY" (PBES2), then the certificate and the chain.
KeyFileStatus WritePemKeyText(const KeyFileExport& contents, std::string_view password,
                              SecureBytes& out);

}  // namespace kcertadm
