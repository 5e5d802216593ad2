#include "crypto/random/entropy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

#include "base/secure_memory.h"
#include "host/host_random.h"

namespace kcertadm {
namespace {

constexpr std::size_t kMaxSeedPath = 200;
constexpr std::size_t kPieceSize = 120;
// Bounds the listing text on machines with very many sockets or entries.
constexpr std::size_t kMaxCommandText = 1 << 20;
constexpr const char* kSystemDirectory = "/usr";
constexpr const char* kEtcDirectory = "/etc";
constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::size_t kShortTableRead = 2048;

std::atomic<KeyRingSampleFn> g_sampler{nullptr};

void PutLe(std::uint8_t* out, std::uint64_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// At most `limit` bytes of a file, read until its end or, with
// shortReadEnds, until a read that came back well short.
std::string ReadFileText(const char* path, std::size_t limit, bool shortReadEnds) {
  std::string text;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[kReadChunk];
  while (text.size() < limit) {
    const std::size_t room = std::min(sizeof buffer, limit - text.size());
    const ssize_t got = read(fd, buffer, room);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    // The kernel hands out a /proc/net table one buffer (at least a page)
    // at a time and walks its socket hash tables again for every read, the
    // read that only reports the end included. Its lines are far shorter
    // than half a page, so a read that came back with less than that ended
    // for want of lines, not of room: the table is complete.
    if (shortReadEnds && static_cast<std::size_t>(got) < kShortTableRead &&
        room >= 2 * kShortTableRead)
      break;
  }
  close(fd);
  SecureWipe(buffer, sizeof buffer);
  return text;
}

std::string ReadSmallFile(const char* path, std::size_t limit) {
  return ReadFileText(path, limit, false);
}
std::string ReadNetTable(const char* path, std::size_t limit) {
  return ReadFileText(path, limit, true);
}

// A usable seed path: at most 200 bytes, else the fallback.
std::string BoundedPath(const std::string& path, const char* fallback) {
  return !path.empty() && path.size() <= kMaxSeedPath ? path : fallback;
}

// The first swap area named in /proc/swaps (its header line skipped);
// "\040"-style escapes in the name are decoded.
std::string FirstSwapArea() {
  std::istringstream lines(ReadSmallFile("/proc/swaps", 64 * 1024));
  std::string line;
  std::getline(lines, line);
  if (!std::getline(lines, line)) return {};
  std::string name = line.substr(0, line.find_first_of(" \t"));
  std::string decoded;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() &&
        std::isdigit(static_cast<unsigned char>(name[i + 1]))) {
      decoded += static_cast<char>(std::strtol(name.substr(i + 1, 3).c_str(), nullptr, 8));
      i += 3;
    } else {
      decoded += name[i];
    }
  }
  return decoded;
}

std::string DirectoryListing(const char* directory) {
  std::vector<std::string> names;
  DIR* dir = opendir(directory);
  if (dir == nullptr) return {};
  while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) {
    struct stat status {};
    if (fstatat(dirfd(dir), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    char line[64];
    std::snprintf(line, sizeof line, "%lld %lld %o ", static_cast<long long>(status.st_mtime),
                  static_cast<long long>(status.st_size), static_cast<unsigned>(status.st_mode));
    text += line;
    text += name;
    text += '\n';
  }
  closedir(dir);
  return text;
}

}  // namespace

void SetKeyRingEntrySampler(KeyRingSampleFn sampler) { g_sampler.store(sampler); }

void SeedFromClocks(const SeedSink& sink) {
  std::uint8_t seed[12];
  PutLe(seed, static_cast<std::uint64_t>(std::clock()), 4);
  PutLe(seed + 4, static_cast<std::uint64_t>(std::time(nullptr)), 4);
  PutLe(seed + 8, static_cast<std::uint64_t>(getpid()), 4);
  sink(seed, sizeof seed);
}

std::vector<std::string> StatusSeedPaths() {
  const char* tmp = std::getenv("TMPDIR");
  const std::string system_dir = kSystemDirectory;
  return {BoundedPath(FirstSwapArea(), kSystemDirectory), system_dir,
          BoundedPath(tmp ? tmp : "", "/tmp"), kEtcDirectory};
}

void FileStatusRecord(const std::string& path, std::uint8_t record[36]) {
  std::memset(record, 0, 36);
  std::string query = path;
  if (query.size() > 1 && query.back() == '/') query.pop_back();
  struct stat status {};
  if (stat(query.c_str(), &status) != 0) return;
  PutLe(record + 0, status.st_dev, 4);
  PutLe(record + 4, status.st_ino, 2);
  PutLe(record + 6, status.st_mode, 2);
  PutLe(record + 8, status.st_nlink, 2);
  PutLe(record + 10, status.st_uid, 2);
  PutLe(record + 12, status.st_gid, 2);
  // record[14..15]: padding
  PutLe(record + 16, status.st_rdev, 4);
  PutLe(record + 20, static_cast<std::uint64_t>(status.st_size), 4);
  PutLe(record + 24, static_cast<std::uint64_t>(status.st_atime), 4);
  PutLe(record + 28, static_cast<std::uint64_t>(status.st_mtime), 4);
  PutLe(record + 32, static_cast<std::uint64_t>(status.st_ctime), 4);
}

void SeedFromFileStatus(const SeedSink& sink) {
  std::uint8_t records[4 * 36];
  const std::vector<std::string> paths = StatusSeedPaths();
  for (std::size_t i = 0; i < 4; ++i) FileStatusRecord(paths[i], records + 36 * i);
  sink(records, sizeof records);
}

KeyRingSampleBatch::~KeyRingSampleBatch() {
  Flush();
  SecureWipe(samples_, sizeof samples_);
}

void KeyRingSampleBatch::Field(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t start = phase_;
  if (size == 0 || start > size) {
    phase_ = static_cast<std::uint32_t>(start - size);
    return;
  }
  phase_ = static_cast<std::uint32_t>(7 - ((size - start) % 8));
  for (std::size_t pos = start; pos < size;) {
    const std::size_t take = std::min(kBatchSize - count_, (size - pos + 7) / 8);
    for (std::size_t k = 0; k < take; ++k) samples_[count_ + k] = data[pos + 8 * k];
    count_ += take;
    pos += 8 * take;
    if (count_ == kBatchSize) Flush();
  }
}

void KeyRingSampleBatch::Flush() {
  if (count_ == 0) return;
  sink_(samples_, count_);
  count_ = 0;
}

void SeedFromKeyRingEntries(const SeedSink& sink) {
  const KeyRingSampleFn sampler = g_sampler.load();
  if (sampler == nullptr) return;
  KeyRingSampleBatch batch(sink, static_cast<std::uint32_t>(std::time(nullptr) % 8));
  sampler([](void* raw, const std::uint8_t* data,
             std::size_t size) { static_cast<KeyRingSampleBatch*>(raw)->Field(data, size); },
          &batch);
}

std::string CommandOutputText() {
  static const char* const kTables[] = {"/proc/net/tcp",  "/proc/net/tcp6", "/proc/net/udp",
                                        "/proc/net/udp6", "/proc/net/raw",  "/proc/net/raw6",
                                        "/proc/net/unix"};
  std::string text;
  for (const char* table : kTables) {
    if (text.size() >= kMaxCommandText) break;
    text += ReadNetTable(table, kMaxCommandText - text.size());
  }
  if (text.size() < kMaxCommandText) text += DirectoryListing("/");
  if (text.size() > kMaxCommandText) text.resize(kMaxCommandText);
  return text;
}

void SeedTextPieces(const SeedSink& sink, const std::string& text) {
  if (text.empty()) return;
  // Without NUL bytes the pieces put back together are the text itself.
  if (std::memchr(text.data(), '\0', text.size()) == nullptr) {
    sink(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return;
  }
  std::string kept;
  kept.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && end - pos < kPieceSize) {
      if (text[end++] == '\n') break;
    }
    const void* nul = std::memchr(text.data() + pos, '\0', end - pos);
    const std::size_t length =
        nul != nullptr ? static_cast<const char*>(nul) - (text.data() + pos) : end - pos;
    kept.append(text, pos, length);
    pos = end;
  }
  if (!kept.empty()) sink(reinterpret_cast<const std::uint8_t*>(kept.data()), kept.size());
  SecureWipe(kept.data(), kept.size());
}

void SeedFromCommandOutput(const SeedSink& sink) {
  std::string text = CommandOutputText();
  SeedTextPieces(sink, text);
  SecureWipe(text.data(), text.size());
  std::uint8_t host[32];
  for (std::size_t i = 0; i < sizeof host; i += 2) {
    const std::uint16_t word = HostRandomWord();
    host[i] = static_cast<std::uint8_t>(word & 0xFF);
    host[i + 1] = static_cast<std::uint8_t>(word >> 8);
  }
  sink(host, sizeof host);
  SecureWipe(host, sizeof host);
}

void SeedFromMachine(const SeedSink& sink) {
  SeedFromClocks(sink);
  SeedFromFileStatus(sink);
  SeedFromKeyRingEntries(sink);
  SeedFromCommandOutput(sink);
}

}  // namespace kcertadm
