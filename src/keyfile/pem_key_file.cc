#include "keyfile/pem_key_file.h"

#include <cstdlib>

#include "armour/base64.h"
#include "asn1/asn1.h"
#include "keyfile/pkcs8_key.h"

namespace kcertadm {
namespace {

constexpr std::string_view kBegin = "-----BEGIN ";
constexpr std::string_view kEnd = "-----END ";
constexpr std::string_view kDashes = "-----";
constexpr std::size_t kLineWidth = 64;

enum class BlockKind {
  kOther,
  kCertificate,
  kPrivateKeyInfo,
  kRsaPrivateKey,
  kEncryptedKey,
  kForeignKey
};

struct BlockLabel {
  std::string_view label;
  BlockKind kind;
};
constexpr BlockLabel kLabels[] = {
    {"CERTIFICATE", BlockKind::kCertificate},
    {"PRIVATE KEY", BlockKind::kPrivateKeyInfo},
    {"RSA PRIVATE KEY", BlockKind::kRsaPrivateKey},
    {"ENCRYPTED PRIVATE KEY", BlockKind::kEncryptedKey},
    {"EC PRIVATE KEY", BlockKind::kForeignKey},
    {"DSA PRIVATE KEY", BlockKind::kForeignKey},
};

BlockKind KindOf(std::string_view label) {
  for (const BlockLabel& row : kLabels)
    if (row.label == label) return row.kind;
  return BlockKind::kOther;
}

// The next line of text without its line end; false at the end.
bool NextLine(std::string_view& text, std::string_view& line) {
  if (text.empty()) return false;
  const std::size_t end = text.find('\n');
  line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.remove_suffix(1);
  return true;
}

// The label of a "-----BEGIN label-----" or "-----END label-----" line.
std::optional<std::string_view> LabelOf(std::string_view line, std::string_view start) {
  if (!line.starts_with(start) || !line.ends_with(kDashes) ||
      line.size() < start.size() + kDashes.size())
    return std::nullopt;
  return line.substr(start.size(), line.size() - start.size() - kDashes.size());
}

// One block: its kind, its Base64 text and whether it carried headers.
struct PemBlock {
  BlockKind kind = BlockKind::kOther;
  SecureString base64;
  bool hasHeaders = false;
};

// Reads the block whose BEGIN line was just read, up to its END line.
bool ReadBlockBody(std::string_view& text, std::string_view label, PemBlock& block) {
  std::string_view line;
  while (NextLine(text, line)) {
    if (std::optional<std::string_view> end = LabelOf(line, kEnd)) return *end == label;
    if (line.find(':') != std::string_view::npos) {
      block.hasHeaders = true;
    } else {
      block.base64.append(line.data(), line.size());
    }
  }
  return false;  // no END line: a cut file
}

bool DecodeBase64(const SecureString& base64, SecureBytes& out) {
  if (base64.empty() || base64.size() > 0x7FFFFFFF) return false;
  Asn1Item decoded{nullptr, 0};
  if (Base64DecodeItem(base64.data(), static_cast<std::int32_t>(base64.size()), &decoded) <= 0)
    return false;
  out.assign(decoded.data, decoded.data + decoded.length);
  DerFree(&decoded);  // wiped
  return true;
}

KeyFileStatus TakeBlock(const PemBlock& block, const FilePassword& password, KeyFileContents& out) {
  if (block.kind == BlockKind::kOther) return KeyFileStatus::kOk;
  if (block.kind == BlockKind::kForeignKey)
    return out.key ? KeyFileStatus::kOk : KeyFileStatus::kNotRsa;
  // Old OpenSSL encryption (Proc-Type: 4,ENCRYPTED and DEK-Info) is not read.
  if (block.hasHeaders) return KeyFileStatus::kUnsupported;
  SecureBytes der;
  if (!DecodeBase64(block.base64, der)) return KeyFileStatus::kUnsupported;
  const der::View view(der.data(), der.size());
  if (block.kind == BlockKind::kCertificate) {
    if (out.certificates.size() >= kMaxKeyFileCertificates) return KeyFileStatus::kUnsupported;
    out.certificates.emplace_back(der.begin(), der.end());
    return KeyFileStatus::kOk;
  }
  if (out.key) return KeyFileStatus::kOk;  // the first key is the one
  RsaPrivateNumbers numbers;
  KeyFileStatus status = KeyFileStatus::kUnsupported;
  if (block.kind == BlockKind::kPrivateKeyInfo) status = DecodeRsaPrivateKeyInfo(view, numbers);
  if (block.kind == BlockKind::kRsaPrivateKey) status = DecodePkcs1PrivateKey(view, numbers);
  if (block.kind == BlockKind::kEncryptedKey)
    status = DecryptPrivateKeyInfo(view, password, numbers);
  if (status == KeyFileStatus::kOk) out.key = std::move(numbers);
  return status;
}

void AppendText(SecureBytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

bool AppendBlock(SecureBytes& out, std::string_view label, ByteView der) {
  Asn1Item text{nullptr, 0};
  if (der.empty() || der.size() > 0x3FFFFFFF ||
      Base64EncodeItem(der.data(), static_cast<std::int32_t>(der.size()), &text) <= 0)
    return false;
  AppendText(out, kBegin);
  AppendText(out, label);
  AppendText(out, "-----\n");
  const std::string_view base64(reinterpret_cast<const char*>(text.data),
                                static_cast<std::size_t>(text.length));
  for (std::size_t at = 0; at < base64.size(); at += kLineWidth) {
    AppendText(out, base64.substr(at, kLineWidth));
    out.push_back('\n');
  }
  AppendText(out, kEnd);
  AppendText(out, label);
  AppendText(out, "-----\n");
  DerFree(&text);
  return true;
}

}  // namespace

KeyFileStatus ReadPemKeyText(ByteView bytes, const FilePassword& password, KeyFileContents& out) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string_view line;
  bool anyBlock = false;
  while (NextLine(text, line)) {
    std::optional<std::string_view> label = LabelOf(line, kBegin);
    if (!label) continue;
    PemBlock block;
    block.kind = KindOf(*label);
    if (!ReadBlockBody(text, *label, block)) return KeyFileStatus::kUnsupported;
    anyBlock = true;
    if (KeyFileStatus s = TakeBlock(block, password, out); s != KeyFileStatus::kOk) return s;
  }
  return anyBlock ? KeyFileStatus::kOk : KeyFileStatus::kUnsupported;
}

KeyFileStatus WritePemKeyText(const KeyFileExport& contents, std::string_view password,
                              SecureBytes& out) {
  if (contents.key == nullptr) return KeyFileStatus::kNoPrivateKey;
  SecureBytes encrypted;
  if (KeyFileStatus s = EncryptPrivateKeyInfo(*contents.key, password, encrypted);
      s != KeyFileStatus::kOk)
    return s;
  out.clear();
  bool written =
      AppendBlock(out, "ENCRYPTED PRIVATE KEY", ByteView(encrypted.data(), encrypted.size())) &&
      AppendBlock(out, "CERTIFICATE", contents.certificate);
  for (ByteView certificate : contents.chain)
    written = written && AppendBlock(out, "CERTIFICATE", certificate);
  return written ? KeyFileStatus::kOk : KeyFileStatus::kNoMemory;
}

}  // namespace kcertadm
