#include "keyfile/key_file.h"

#include <new>

#include "keyfile/key_file_cipher.h"
#include "keyfile/pem_key_file.h"
#include "keyfile/pkcs12_reader.h"
#include "keyfile/pkcs12_writer.h"

namespace kcertadm {

KeyFileStatus ReadKeyFile(ByteView file, std::string_view password, KeyFileContents& out) {
  try {
    std::optional<FilePassword> filePassword = MakeFilePassword(password);
    if (!filePassword) return KeyFileStatus::kWrongPassword;
    out = KeyFileContents();
    const KeyFileStatus status = !file.empty() && file[0] == der::kSequence
                                     ? ReadPkcs12(file, *filePassword, out)
                                     : ReadPemKeyText(file, *filePassword, out);
    if (status != KeyFileStatus::kOk) return status;
    return out.key ? KeyFileStatus::kOk : KeyFileStatus::kNoPrivateKey;
  } catch (const std::bad_alloc&) {
    return KeyFileStatus::kNoMemory;
  }
}

KeyFileStatus WritePkcs12KeyFile(const KeyFileExport& contents, std::string_view password,
                                 Bytes& out) {
  try {
    return WritePkcs12(contents, password, out);
  } catch (const std::bad_alloc&) {
    return KeyFileStatus::kNoMemory;
  }
}

KeyFileStatus WritePemKeyFile(const KeyFileExport& contents, std::string_view password,
                              SecureBytes& out) {
  try {
    return WritePemKeyText(contents, password, out);
  } catch (const std::bad_alloc&) {
    return KeyFileStatus::kNoMemory;
  }
}

}  // namespace kcertadm
