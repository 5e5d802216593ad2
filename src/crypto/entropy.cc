#include "crypto/entropy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <exception>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

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
    if (shortReadEnds && static_cast<std::size_t>(got) < kShortTableRead && room >= 2 * kShortTableRead) break;
  }
  close(fd);
  SecureWipe(buffer, sizeof buffer);
  return text;
}

std::string ReadSmallFile(const char* path, std::size_t limit) { return ReadFileText(path, limit, false); }
std::string ReadNetTable(const char* path, std::size_t limit) { return ReadFileText(path, limit, true); }

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
    if (name[i] == '\\' && i + 3 < name.size() && std::isdigit(static_cast<unsigned char>(name[i + 1]))) {
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

// Feeds queued batches to the sink, in order, on its own thread. At the
// end the caller feeds what the thread has not started on itself rather
// than wait for it: on a busy machine every wait for another thread can
// cost a scheduler tick.
class KeyRingSampleBatch::Worker {
 public:
  // Starts the thread; throws std::system_error or std::bad_alloc when
  // none can be had.
  explicit Worker(const SeedSink& sink) : sink_(sink), thread_([this] { Run(); }) {}
  ~Worker() {
    Close();
    thread_.join();
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Queues the first `size` bytes of batch for the sink.
  void Queue(SecureBytes batch, std::size_t size) {
    {
      std::lock_guard lock(mutex_);
      queued_.emplace_back(std::move(batch), size);
    }
    changed_.notify_all();
  }

  // A buffer of kBatchSize bytes to fill next: a new one while fewer than
  // kMaxQueued + 1 exist, else one the thread is done with (waiting for it
  // if need be).
  SecureBytes Spare() {
    std::unique_lock lock(mutex_);
    if (spare_.empty() && buffers_ < kMaxQueued + 1) {
      ++buffers_;
      lock.unlock();
      return SecureBytes(kBatchSize);
    }
    changed_.wait(lock, [this] { return !spare_.empty(); });
    SecureBytes next = std::move(spare_.back());
    spare_.pop_back();
    return next;
  }

  // No batch follows: the thread ends once the queue is empty.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    changed_.notify_all();
  }

  // Takes back the batches the thread has not started on, waits for the
  // one it is feeding, feeds the rest on the calling thread and lets the
  // thread end. Rethrows what the sink threw on the thread.
  void Finish() {
    std::deque<Batch> rest;
    std::exception_ptr failure;
    {
      std::unique_lock lock(mutex_);
      closed_ = true;
      rest.swap(queued_);
      changed_.wait(lock, [this] { return !feeding_; });
      failure = failure_;
    }
    changed_.notify_all();
    if (failure) std::rethrow_exception(failure);
    for (const auto& [batch, size] : rest) sink_(batch.data(), size);
  }

 private:
  using Batch = std::pair<SecureBytes, std::size_t>;

  void Run() noexcept {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !queued_.empty() || closed_; });
      if (queued_.empty()) return;
      Batch batch = std::move(queued_.front());
      queued_.pop_front();
      feeding_ = true;
      const bool failed = failure_ != nullptr;
      lock.unlock();
      // After a failure the queue is still emptied, so the caller never
      // waits for a buffer, but nothing more is fed.
      std::exception_ptr error;
      if (!failed) {
        try {
          sink_(batch.first.data(), batch.second);
        } catch (...) {
          error = std::current_exception();
        }
      }
      lock.lock();
      if (error) failure_ = error;
      feeding_ = false;
      spare_.push_back(std::move(batch.first));
      changed_.notify_all();
    }
  }

  const SeedSink& sink_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> queued_;
  std::vector<SecureBytes> spare_;
  std::size_t buffers_ = 1;  // the caller's own included
  bool feeding_ = false;     // the thread has a batch in hand
  bool closed_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: starts once the rest is ready
};

KeyRingSampleBatch::KeyRingSampleBatch(SeedSink sink, std::uint32_t phase)
    : sink_(std::move(sink)), phase_(phase) {}

KeyRingSampleBatch::~KeyRingSampleBatch() {
  try {
    Finish();
  } catch (...) {
    // A destructor cannot report it; Finish called directly does.
  }
}

void KeyRingSampleBatch::Field(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t start = phase_;
  if (size == 0 || start > size) {
    phase_ = static_cast<std::uint32_t>(start - size);
    return;
  }
  phase_ = static_cast<std::uint32_t>(7 - ((size - start) % 8));
  if (filling_.empty()) filling_.resize(kBatchSize);
  for (std::size_t pos = start; pos < size;) {
    const std::size_t take = std::min(kBatchSize - count_, (size - pos + 7) / 8);
    std::uint8_t* const samples = filling_.data() + count_;  // a new buffer after each full one
    for (std::size_t k = 0; k < take; ++k) samples[k] = data[pos + 8 * k];
    count_ += take;
    pos += 8 * take;
    if (count_ == kBatchSize) PassOn(true);
  }
}

// A thread pays for itself only on a machine with a second core and with
// enough samples, so the first kBatchesBeforeThread - 1 full batches are
// fed here, from the one buffer; the thread starts with the next.
void KeyRingSampleBatch::PassOn(bool full) {
  if (count_ == 0) return;
  static const bool several_cores = std::thread::hardware_concurrency() > 1;
  if (full && ++full_batches_ == kBatchesBeforeThread && several_cores) {
    try {
      worker_ = std::make_unique<Worker>(sink_);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
  }
  const std::size_t size = std::exchange(count_, 0);
  if (!worker_) {
    sink_(filling_.data(), size);
    return;
  }
  worker_->Queue(std::move(filling_), size);
  if (full) filling_ = worker_->Spare();
}

void KeyRingSampleBatch::Close() {
  PassOn(false);
  if (worker_) worker_->Close();
}

void KeyRingSampleBatch::Finish() {
  PassOn(false);
  if (worker_) {
    const std::unique_ptr<Worker> worker = std::move(worker_);
    worker->Finish();
  }
}

void SeedFromKeyRingEntries(const SeedSink& sink, const std::function<void()>& meanwhile) {
  KeyRingSampleBatch batch(sink, static_cast<std::uint32_t>(std::time(nullptr) % 8));
  if (const KeyRingSampleFn sampler = g_sampler.load()) {
    sampler(
        [](void* raw, const std::uint8_t* data, std::size_t size) {
          static_cast<KeyRingSampleBatch*>(raw)->Field(data, size);
        },
        &batch);
  }
  batch.Close();
  if (meanwhile) meanwhile();
  batch.Finish();
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
    const std::size_t length = nul != nullptr ? static_cast<const char*>(nul) - (text.data() + pos) : end - pos;
    kept.append(text, pos, length);
    pos = end;
  }
  if (!kept.empty()) sink(reinterpret_cast<const std::uint8_t*>(kept.data()), kept.size());
  SecureWipe(kept.data(), kept.size());
}

namespace {

void SeedFromKeyRingAndCommandOutput(const SeedSink& sink) {
  std::string text;
  struct WipeText {
    std::string& text;
    ~WipeText() { SecureWipe(text.data(), text.size()); }
  } wipe_text{text};
  SeedFromKeyRingEntries(sink, [&text] { text = CommandOutputText(); });
  SeedTextPieces(sink, text);
  std::uint8_t host[32];
  for (std::size_t i = 0; i < sizeof host; i += 2) {
    const std::uint16_t word = HostRandomWord();
    host[i] = static_cast<std::uint8_t>(word & 0xFF);
    host[i + 1] = static_cast<std::uint8_t>(word >> 8);
  }
  sink(host, sizeof host);
  SecureWipe(host, sizeof host);
}

}  // namespace

void SeedFromMachine(const SeedSink& sink) {
  SeedFromClocks(sink);
  SeedFromFileStatus(sink);
  SeedFromKeyRingAndCommandOutput(sink);
}

}  // namespace kcertadm
