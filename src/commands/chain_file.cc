#include "commands/chain_file.h"

#include <string>
#include <string_view>

#include "armour/base64.h"
#include "asn1/asn1.h"
#include "cert/certificate.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

constexpr std::string_view kDashes = "-----";
constexpr std::string_view kBeginPrefix = "-----BEGIN ";
constexpr std::string_view kEndPrefix = "-----END ";

enum class BlockKind { kCertificate, kBundle, kOther };

BlockKind KindOf(std::string_view label) {
  if (label == "CERTIFICATE" || label == "X509 CERTIFICATE") return BlockKind::kCertificate;
  if (label == "PKCS7" || label == "PKCS #7 SIGNED DATA") return BlockKind::kBundle;
  return BlockKind::kOther;
}

std::string_view Trim(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t\r\f\v");
  if (first == std::string_view::npos) return {};
  const std::size_t last = line.find_last_not_of(" \t\r\f\v");
  return line.substr(first, last - first + 1);
}

// The label of a "-----BEGIN label-----" or "-----END label-----" line.
std::optional<std::string_view> ArmourLabel(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size() + kDashes.size() || !line.starts_with(prefix) ||
      !line.ends_with(kDashes)) {
    return std::nullopt;
  }
  return line.substr(prefix.size(), line.size() - prefix.size() - kDashes.size());
}

// Text: no NUL and no control character but tab, line and form feeds,
// carriage returns and the end-of-file mark of old DOS files.
bool IsText(ByteView bytes) {
  for (const std::uint8_t byte : bytes) {
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' &&
         byte != '\v' && byte != 0x1A) ||
        byte == 0x7F) {
      return false;
    }
  }
  return true;
}

bool IsOneDerElement(ByteView bytes) {
  if (bytes.size() < 2 || bytes.size() > 0x7FFFFFFF || bytes[0] != kAsn1Sequence) return false;
  const Asn1Item item{const_cast<std::uint8_t*>(bytes.data()),
                      static_cast<std::int32_t>(bytes.size())};
  return Asn1TotalSize(item) == item.length;
}

int TooMany(std::uint32_t* slot) { return FailWith(slot, kMsgTooManyCertificates); }

// The certificates of one DER element: a bundle's list, or the element
// itself when it is no container. The list must be read to its end.
int CertificatesOfDer(ByteView der, std::vector<Bytes>& certificates, std::uint32_t* slot) {
  if (!IsOneDerElement(der)) return FailWith(slot, kMsgBadCertificate);
  CertData record{};  // views into der; nothing to free
  record.der =
      Asn1Item{const_cast<std::uint8_t*>(der.data()), static_cast<std::int32_t>(der.size())};
  CertFields fields{};
  if (ParseCert(&record, &fields, slot) != 0) return -1;
  if (record.container.data == nullptr) {
    certificates.emplace_back(der.begin(), der.end());
    return certificates.size() > kMaxChainCertificates ? TooMany(slot) : 0;
  }
  const std::int32_t listLength = record.setRemaining;
  std::int64_t read = 0;
  do {
    if (certificates.size() >= kMaxChainCertificates) return TooMany(slot);
    certificates.emplace_back(record.der.data, record.der.data + record.der.length);
    read += record.der.length;
  } while (NextCertInSet(&record) == 1);
  return read == listLength ? 0 : FailWith(slot, kMsgBadCertificate);
}

struct OpenBlock {
  BlockKind kind = BlockKind::kOther;
  std::string label;
  std::string base64;
};

int CloseBlock(const OpenBlock& block, std::vector<Bytes>& certificates, std::uint32_t* slot) {
  if (block.kind == BlockKind::kOther) return 0;
  Bytes der;
  if (!Base64DecodeBytes(block.base64, der)) return FailWith(slot, kMsgDecodeFailed);
  if (block.kind == BlockKind::kBundle) return CertificatesOfDer(der, certificates, slot);
  if (certificates.size() >= kMaxChainCertificates) return TooMany(slot);
  certificates.push_back(std::move(der));
  return 0;
}

int ReadArmourBlocks(std::string_view text, std::vector<Bytes>& certificates, std::uint32_t* slot) {
  std::optional<OpenBlock> block;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!block) {
      if (std::optional<std::string_view> label = ArmourLabel(line, kBeginPrefix)) {
        block = OpenBlock{KindOf(*label), std::string(*label), {}};
      } else if (line.starts_with(kEndPrefix)) {
        return FailWith(slot, kMsgDecodeFailed);  // an END without its BEGIN
      }
      continue;
    }
    if (!line.starts_with(kDashes)) {
      if (block->kind != BlockKind::kOther) block->base64.append(line);
      continue;
    }
    // Only the END line of the open block may start with dashes in it.
    if (ArmourLabel(line, kEndPrefix) != std::optional<std::string_view>(block->label)) {
      return FailWith(slot, kMsgDecodeFailed);
    }
    if (CloseBlock(*block, certificates, slot) != 0) return -1;
    block.reset();
  }
  return block ? FailWith(slot, kMsgDecodeFailed) : 0;
}

}  // namespace

bool HoldsSeveralBlocks(ByteView bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::size_t first = text.find(kBeginPrefix);
  return first != std::string_view::npos &&
         text.find(kBeginPrefix, first + kBeginPrefix.size()) != std::string_view::npos;
}

int ReadChainFile(ByteView bytes, bool binary, std::vector<Bytes>& certificates,
                  std::uint32_t* slot) {
  certificates.clear();
  if (binary) return CertificatesOfDer(bytes, certificates, slot);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.find(kBeginPrefix) == std::string_view::npos) return 0;
  if (!IsText(bytes)) return FailWith(slot, kMsgDecodeFailed);
  return ReadArmourBlocks(text, certificates, slot);
}

}  // namespace kcertadm
