// What reading or writing a key file (PKCS #12, PEM private key) came to.
// Each outcome has its own message for the commands to report.
#pragma once

#include <cstdint>

namespace kcertadm {

enum class KeyFileStatus : std::uint8_t {
  kOk,
  kWrongPassword,      // the MAC does not verify, or the key does not decrypt
  kUnsupported,        // not a key file this library reads, damaged, or an unknown algorithm
  kTooManyIterations,  // a key derivation asks for more than kMaxKeyFileIterations
  kNotRsa,             // the private key is of another type
  kNoPrivateKey,       // the file holds no private key
  kBadPrivateKey,      // the RSA numbers do not belong together
  kNoMemory,
};

// The most iterations a key file's key derivation or MAC may ask for.
// Today's tools write 2048 (OpenSSL) to 600,000 (current guidance for
// PBKDF2-HMAC-SHA256); ten million is a few seconds of work at most, while
// a crafted file asking for four billion would hold the command for hours.
inline constexpr std::uint32_t kMaxKeyFileIterations = 10'000'000;

// For fuzz targets and tests: a lower bound in force instead (0 restores
// kMaxKeyFileIterations), so that no input can ask for seconds of work.
void SetKeyFileIterationLimitForTesting(std::uint32_t limit);

// The iterations ExportKey writes: OpenSSL 3's default.
inline constexpr std::uint32_t kKeyFileWriteIterations = 2048;

}  // namespace kcertadm
