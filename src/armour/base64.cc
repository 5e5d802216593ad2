// Base64 block encoder and white-space tolerant decoder.
#include "armour/base64.h"

#include <array>
#include <climits>
#include <cstdlib>

#include "armour/base64_alphabet.h"
#include "base/secure_memory.h"

namespace kcertadm {

namespace {

// Symbol codes: position in "=" followed by the alphabet; -1 elsewhere.
constexpr std::array<std::int8_t, 256> MakeSymbolTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& code : table) code = -1;
  table[static_cast<unsigned char>('=')] = 0;
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::int8_t>(i + 1);
  }
  return table;
}

constexpr std::array<std::int8_t, 256> kSymbolTable = MakeSymbolTable();

bool IsBase64Space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void SkipSpace(const char** text, std::int32_t* remaining) noexcept {
  while (*remaining > 0 && IsBase64Space(**text)) {
    ++*text;
    --*remaining;
  }
}

}  // namespace

std::int32_t Base64SymbolCode(char c) noexcept {
  return kSymbolTable[static_cast<unsigned char>(c)];
}

std::int32_t Base64NextSymbol(const char** text, std::int32_t* remaining) noexcept {
  SkipSpace(text, remaining);
  if (*remaining <= 0 || **text == '\0') return -1;
  const char c = **text;
  ++*text;
  --*remaining;
  return Base64SymbolCode(c);
}

std::int32_t Base64EncodeItem(const std::uint8_t* bytes, std::int32_t count,
                              Asn1Item* out) noexcept {
  if (bytes == nullptr || count <= 0 || out == nullptr) return 0;
  const std::int64_t groups = (std::int64_t{count} + 2) / 3;
  const std::int64_t textLength = groups * 4;
  if (textLength > INT32_MAX) return 0;
  // One block of (count / 3) * 4 + 6 zero octets always holds the text and
  // its terminating NUL.
  const std::size_t blockSize = static_cast<std::size_t>(count / 3) * 4 + 6;
  auto* text = static_cast<char*>(std::calloc(blockSize, 1));
  if (text == nullptr) return 0;
  for (std::int64_t g = 0; g < groups; ++g) {
    const std::int32_t offset = static_cast<std::int32_t>(g * 3);
    Base64EncodeGroup(bytes + offset, count - offset, text + g * 4);
  }
  *out = Asn1Item{reinterpret_cast<uint8_t*>(text), static_cast<int32_t>(textLength)};
  return static_cast<int32_t>(textLength);
}

std::int32_t Base64DecodeItem(const char* text, std::int32_t length, Asn1Item* out) noexcept {
  if (text == nullptr || length <= 0 || out == nullptr) return 0;
  const std::size_t capacity = (static_cast<std::size_t>(length) / 4 + 1) * 3;
  auto* block = static_cast<uint8_t*>(std::malloc(capacity));
  if (block == nullptr) return 0;

  std::size_t used = 0;
  const char* p = text;
  std::int32_t remaining = length;
  bool failed = false;
  for (;;) {
    SkipSpace(&p, &remaining);
    if (remaining == 0) break;
    const std::int32_t c1 = Base64NextSymbol(&p, &remaining);
    const std::int32_t c2 = Base64NextSymbol(&p, &remaining);
    const std::int32_t c3 = Base64NextSymbol(&p, &remaining);
    const std::int32_t c4 = Base64NextSymbol(&p, &remaining);
    if (c1 < 1 || c2 < 1 || c3 < 0 || c4 < 0) {
      failed = true;
      break;
    }
    block[used++] = static_cast<uint8_t>(((c1 - 1) << 2) | (((c2 - 1) >> 4) & 0x03));
    if (c3 == 0) continue;  // "=" in the third place: one octet
    block[used++] = static_cast<uint8_t>(((c2 - 1) << 4) | (((c3 - 1) >> 2) & 0x0F));
    if (c4 == 0) continue;  // "=" in the fourth place: two octets
    block[used++] = static_cast<uint8_t>(((c3 - 1) << 6) | (c4 - 1));
  }
  if (failed || used == 0) {
    SecureWipe(block, capacity);
    std::free(block);
    return 0;
  }
  *out = Asn1Item{block, static_cast<int32_t>(used)};
  return static_cast<int32_t>(used);
}

bool Base64DecodeBytes(std::string_view text, std::vector<std::uint8_t>& out) {
  out.clear();
  if (text.empty() || text.size() > 0x7FFFFFFF) return false;
  Asn1Item decoded{nullptr, 0};
  if (Base64DecodeItem(text.data(), static_cast<std::int32_t>(text.size()), &decoded) <= 0) {
    return false;
  }
  out.assign(decoded.data, decoded.data + decoded.length);
  std::free(decoded.data);
  return true;
}

}  // namespace kcertadm
