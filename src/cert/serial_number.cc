#include "cert/serial_number.h"

#include "crypto/random/random_shared.h"
#include "crypto/toolkit/toolkit_status.h"

namespace kcertadm {

std::vector<std::uint8_t> NewSerialNumber() {
  std::vector<std::uint8_t> serial(kSerialNumberLength);
  if (GetRandomBytes(serial.data(), serial.size()) != TkOk) return {};
  serial[0] = static_cast<std::uint8_t>((serial[0] & 0x3F) | 0x40);
  return serial;
}

}  // namespace kcertadm
