// The key ring reader over arbitrary file contents, without and with a
// password. The first input byte chooses the mode: bit 0 repairs the check
// value and the trailer (so that mutations reach the records rather than
// stopping at the integrity checks), bit 1 opens with a password. A ring
// that opens is listed entry by entry through the entry report with every
// option on. The same bytes are also read as a stash file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "commands/report.h"
#include "crypto/digest/md5.h"
#include "keyring/keyring.h"
#include "keyring/stash.h"

using namespace kcertadm;

namespace {

constexpr char kPassword[] = "fuzz password";

const std::string& Directory() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/kcertadm-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) std::abort();
    return std::string(made);
  }();
  return dir;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void HashPassword(Md5& md5, bool withPassword) {
  if (withPassword) md5.Update(kPassword, std::strlen(kPassword));
}

// Sets the check value and, when the records walk to an end marker, puts
// the matching trailer after it.
void Repair(std::vector<std::uint8_t>& ring, bool withPassword) {
  if (ring.size() < 16) return;
  std::uint8_t digest[Md5::kDigestSize];
  Md5 check;
  HashPassword(check, withPassword);
  check.Update(ring.data(), 8);
  check.Final(digest);
  std::memcpy(ring.data() + 8, digest, 8);
  std::size_t at = 16;
  while (at + 16 <= ring.size()) {
    const std::uint8_t* h = ring.data() + at;
    bool zero = true;
    for (int i = 0; i < 16; ++i) zero = zero && h[i] == 0;
    if (zero) {
      at += 16;
      Md5 trailer;
      HashPassword(trailer, withPassword);
      trailer.Update(ring.data(), at);
      trailer.Final(digest);
      ring.resize(at + 16);
      std::memcpy(ring.data() + at, digest, 16);
      return;
    }
    std::size_t body = 0;
    for (int i = 0; i < 7; ++i) body += std::size_t{h[2 * i]} << 8 | h[2 * i + 1];
    at += 16 + body;
  }
}

void ReportEntries() {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  EntryReportOptions options;
  options.showRawCert = options.writeBER = options.showPrivateKey = options.verify = true;
  KeyRingCursor cursor;
  for (std::size_t n = KeyRingEntryCount(); n > 0; --n) {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    std::uint32_t error = 0;
    (void)WriteEntryReport(sink, *entry, options, &error);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  const bool repair = data[0] & 1;
  const bool withPassword = data[0] & 2;
  std::vector<std::uint8_t> ring(data + 1, data + size);
  if (repair) Repair(ring, withPassword);
  const std::string path = Directory() + "/ring.kyr";
  WriteFile(path, ring);
  const KeyRingStatus status =
      KeyRingOpen(path, withPassword ? OptionalPassword(kPassword) : std::nullopt);
  if (Succeeded(status)) {
    ReportEntries();
  } else if (KeyRingEntryCount() != 0 || KeyRingHasPassword()) {
    std::abort();  // a failed read leaves nothing behind
  }
  KeyRingClear();

  WriteFile(Directory() + "/ring.sth", ring);
  std::optional<SecureString> stashed = StashRead(path);
  if (stashed && stashed->size() > 128) std::abort();
  return 0;
}
