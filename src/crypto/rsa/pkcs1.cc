#include "crypto/rsa/pkcs1.h"

#include <cstring>

#include "crypto/rsa/rsa.h"

namespace kcertadm {
namespace {

constexpr int kModulusTooShort = 535;

int CheckSizes(std::size_t size, std::size_t k) {
  if (k < kPkcs1MinModulusBytes) return kModulusTooShort;
  if (size > k - kPkcs1Overhead) return kRsaInputTooLong;
  return kRsaOk;
}

// The data follows the first 00 at or after position 2; at least eight
// padding bytes must precede it.
int FinishDecode(std::size_t separator, std::size_t k, std::size_t* offset, std::size_t* size) {
  if (separator >= k) return kRsaBadData;
  const std::size_t length = k - separator - 1;
  if (length > k - kPkcs1Overhead) return kRsaBadData;
  *offset = separator + 1;
  *size = length;
  return kRsaOk;
}

}  // namespace

int Pkcs1EncodeType1(const std::uint8_t* data, std::size_t size, std::size_t k,
                     std::uint8_t* block) {
  if (int status = CheckSizes(size, k)) return status;
  const std::size_t padding = k - 3 - size;
  block[0] = 0x00;
  block[1] = 0x01;
  std::memset(block + 2, 0xFF, padding);
  block[2 + padding] = 0x00;
  if (size > 0) std::memcpy(block + 3 + padding, data, size);
  return kRsaOk;
}

int Pkcs1EncodeType2(const std::uint8_t* data, std::size_t size, std::size_t k,
                     const RandomByte& random_byte, std::uint8_t* block) {
  if (int status = CheckSizes(size, k)) return status;
  const std::size_t padding = k - 3 - size;
  block[0] = 0x00;
  block[1] = 0x02;
  for (std::size_t i = 0; i < padding; ++i) {
    std::uint8_t byte = 0;
    while (byte == 0) {
      if (int status = random_byte(&byte)) return status;
    }
    block[2 + i] = byte;
  }
  block[2 + padding] = 0x00;
  if (size > 0) std::memcpy(block + 3 + padding, data, size);
  return kRsaOk;
}

int Pkcs1DecodeType1(const std::uint8_t* block, std::size_t k, std::size_t* offset,
                     std::size_t* size) {
  if (k < 2 || block[0] != 0x00 || block[1] != 0x01) return kRsaBadData;
  std::size_t i = 2;
  while (i < k && block[i] == 0xFF) ++i;
  if (i < k && block[i] != 0x00) return kRsaBadData;
  return FinishDecode(i, k, offset, size);
}

int Pkcs1DecodeType2(const std::uint8_t* block, std::size_t k, std::size_t* offset,
                     std::size_t* size) {
  if (k < 2 || block[0] != 0x00 || block[1] != 0x02) return kRsaBadData;
  std::size_t i = 2;
  while (i < k && block[i] != 0x00) ++i;
  return FinishDecode(i, k, offset, size);
}

}  // namespace kcertadm
