// Base64 decoding of arbitrary text, and round trips of arbitrary bytes
// through the block encoder and the line writer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "armour/base64.h"
#include "kcertadm.h"

using namespace kcertadm;

namespace {

// Decodes text and checks it equals expected (when given).
void DecodeAndCompare(const char* text, std::size_t length, const std::uint8_t* expected,
                      std::size_t expectedSize) {
  Asn1Item decoded{};
  const std::int32_t n = Base64Decode(text, static_cast<std::int32_t>(length), &decoded);
  if (n != static_cast<std::int32_t>(expectedSize) ||
      std::memcmp(decoded.data, expected, expectedSize) != 0) {
    std::abort();
  }
  std::free(decoded.data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  // Arbitrary text: whatever decodes must survive encoding and decoding.
  Asn1Item decoded{};
  const std::int32_t n =
      Base64Decode(reinterpret_cast<const char*>(data), static_cast<std::int32_t>(size), &decoded);
  if (n < 0 || (n == 0 && decoded.data != nullptr)) std::abort();
  if (n > 0) {
    if (static_cast<std::size_t>(n) > (size / 4) * 3) std::abort();
    Asn1Item text{};
    const std::int32_t t = Base64Encode(decoded.data, n, &text);
    if (t <= 0 || text.data[t] != '\0') std::abort();
    DecodeAndCompare(reinterpret_cast<char*>(text.data), static_cast<std::size_t>(t), decoded.data,
                     static_cast<std::size_t>(n));
    std::free(text.data);
    std::free(decoded.data);
  }
  if (size == 0) return 0;

  // Arbitrary bytes: the single line and the PEM lines both decode back.
  Asn1Item line{};
  const std::int32_t t = Base64Encode(data, static_cast<std::int32_t>(size), &line);
  if (t != static_cast<std::int32_t>((size + 2) / 3 * 4)) std::abort();
  DecodeAndCompare(reinterpret_cast<char*>(line.data), static_cast<std::size_t>(t), data, size);
  std::free(line.data);

  char* pem = nullptr;
  std::size_t pemSize = 0;
  std::FILE* file = open_memstream(&pem, &pemSize);
  if (file == nullptr) return 0;
  const int indent = data[0] & 1;
  if (PemWriteBase64(file, data, static_cast<std::int32_t>(size), indent) != 0) std::abort();
  std::fclose(file);
  DecodeAndCompare(pem, pemSize, data, size);
  std::free(pem);
  return 0;
}
