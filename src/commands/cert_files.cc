#include "commands/cert_files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "armour/pem.h"
#include "cert/certificate.h"
#include "commands/common_steps.h"
#include "commands/file_identity.h"
#include "commands/pem_keys.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

// The whole file in a malloc block with a NUL after it; false when nothing
// could be read or the file is too large to be a certificate.
bool ReadWholeFile(std::FILE* file, std::uint8_t** block, std::int32_t* length) {
  std::size_t size = 0;
  std::size_t capacity = 4096;
  auto* data = static_cast<std::uint8_t*>(std::malloc(capacity + 1));
  if (data == nullptr) return false;
  while (true) {
    size += std::fread(data + size, 1, capacity - size, file);
    if (size < capacity) break;
    if (size > kMaxCertificateFileSize) {
      std::free(data);
      return false;
    }
    // One byte past the limit is enough to know the file is too large.
    capacity = std::min(capacity * 2, kMaxCertificateFileSize + 1);
    auto* grown = static_cast<std::uint8_t*>(std::realloc(data, capacity + 1));
    if (grown == nullptr) {
      std::free(data);
      return false;
    }
    data = grown;
  }
  if (size == 0 || std::ferror(file)) {
    std::free(data);
    return false;
  }
  data[size] = 0;
  *block = data;
  *length = static_cast<std::int32_t>(size);
  return true;
}

bool StoreBase64(Asn1Item& out, const Asn1Item& source) {
  if (source.data == nullptr || source.length <= 0) return false;
  Asn1Item text{nullptr, 0};
  if (Base64Encode(source.data, source.length, &text) <= 0) return false;
  std::free(out.data);
  out = text;
  return true;
}

}  // namespace

int WriteRequestFile(const SecurityCmdContext& context, const CertData& object,
                     KeyObject* privateKey, OutputFile& file, std::uint32_t* slot) {
  if (!HasText(context.certReqFile) || NamesKeyRingFile(context, context.certReqFile)) {
    return FailWith(slot, kMsgRequestFileCreateFailed);
  }
  file = OutputFile(context.certReqFile);
  if (!file) return FailWith(slot, kMsgRequestFileCreateFailed);
  const int written = context.usePEM
                          ? WritePemRequest(file.get(), object.der.data, object.der.length,
                                            kPemRequestBody, privateKey)
                          : WriteArmouredObject(object, file.get(), !context.selfSigned);
  return written == 0 ? 0 : FailWith(slot, kMsgOutputWriteFailed);
}

int ReadCertificateFile(CertData* cert, std::FILE* file, bool binary, bool isRequest,
                        std::uint32_t* slot) {
  std::uint8_t* block = nullptr;
  std::int32_t length = 0;
  if (!ReadWholeFile(file, &block, &length)) return FailWith(slot, kMsgCertFileReadFailed);
  if (binary) {
    ReplaceDer(cert, Asn1Item{block, length});
    return 0;
  }
  cert->fileText = Asn1Item{block, length};
  const int status = ParseCertificateText(cert, isRequest, slot);
  std::free(block);
  cert->fileText = Asn1Item{nullptr, 0};
  return status;
}

int ReadWholeCertificateFile(std::FILE* file, std::vector<std::uint8_t>& bytes,
                             std::uint32_t* slot) {
  std::uint8_t* block = nullptr;
  std::int32_t length = 0;
  if (!ReadWholeFile(file, &block, &length)) return FailWith(slot, kMsgCertFileReadFailed);
  bytes.assign(block, block + length);
  std::free(block);
  return 0;
}

int DecodeCertificateText(CertData* cert, bool isRequest, std::uint32_t* slot) {
  if (cert->fileText.data != nullptr) return ParseCertificateText(cert, isRequest, slot);
  const Asn1Item& text = isRequest ? cert->reqText : cert->certText;
  if (text.data == nullptr || text.length <= 0) return FailWith(slot, kMsgDecodeFailed);
  Asn1Item decoded{nullptr, 0};
  if (Base64Decode(reinterpret_cast<const char*>(text.data), text.length, &decoded) <= 0) {
    return FailWith(slot, kMsgDecodeFailed);
  }
  ReplaceDer(cert, decoded);
  return 0;
}

int EncodeCertificateText(CertData* cert, bool isRequest, std::uint32_t* slot) {
  const Asn1Item& source = cert->pkcs7.data != nullptr ? cert->pkcs7 : cert->der;
  return StoreBase64(isRequest ? cert->reqText : cert->certText, source)
             ? 0
             : FailWith(slot, kMsgBase64EncodeFailed);
}

}  // namespace kcertadm
