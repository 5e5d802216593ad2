// Sources of seed material for the shared random generator, in the order
// CreateSeededRandom feeds them: clocks and process id; file-system status
// records of the swap area, the system directory, the temporary directory
// and /etc; sampled bytes of the in-memory key ring entries; the network
// tables and a listing of the root directory; bits of the kernel's random
// source. Every source is optional: what cannot be read feeds zeros or
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kcertadm {

// Receives one seeding call (one RandomSeed) of `size` bytes.
using SeedSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

// ---------------------------------------------------- key ring entry hook
//
// The key ring lives outside the toolkit, so it hands its entries in through
// a sampler it registers with SetKeyRingEntrySampler when it first loads or
// builds a key ring. When called, the sampler must walk the in-memory entry
// list in list order, reading each entry under KeyRingLock (taken for each
// entry), and call sample(context, data, size) for five fields of each
// entry in this order: label, subjectName, publicKey, privateKey,
// certificates. The seeding code calls the sampler while holding
// KeyRingLock (which is recursive). Without a registered sampler the key
// ring step feeds nothing. Passing null removes the sampler.
using KeyRingFieldSample = void (*)(void* context, const std::uint8_t* data, std::size_t size);
using KeyRingSampleFn = void (*)(KeyRingFieldSample sample, void* context);
void SetKeyRingEntrySampler(KeyRingSampleFn sampler);

// ------------------------------------------------------------- the steps

// clock(), time() and the process id, 4 bytes each (little-endian), as one
// 12-byte seed.
void SeedFromClocks(const SeedSink& sink);

// The four status paths in feeding order: the swap device or file (first
// entry of /proc/swaps, else the system directory), the system directory
// (/usr), the temporary directory (TMPDIR, else /tmp) and /etc.
std::vector<std::string> StatusSeedPaths();
// The 36-byte status record of a path (dev, ino, mode, nlink, uid, gid,
// rdev, size, atime, mtime, ctime as 32- and 16-bit little-endian fields);
// zeros when the path cannot be queried. A trailing "/" is dropped except
// for the root itself.
void FileStatusRecord(const std::string& path, std::uint8_t record[36]);
// One 144-byte seed: the four records in order.
void SeedFromFileStatus(const SeedSink& sink);

// Samples the key ring entries through the registered sampler: phase
// starts at time() mod 8 and runs through every field (KeyRingSampleBatch).
void SeedFromKeyRingEntries(const SeedSink& sink);

// Samples key ring fields one after another: of each field the bytes
// data[phase], data[phase + 8], ... below its size; the phase for the next
// field is phase - size when the field is empty or shorter than the phase,
// 7 when the phase equals its size, otherwise 7 - ((size - phase) mod 8).
//
// The samples reach the sink in batches of up to kBatchSize bytes rather
// than one seed per byte. The seeding steps come after the generator has
// warmed up and before any output is taken, so every seed lands in the same
// running digest and the batches feed exactly what one-byte seeds would.
class KeyRingSampleBatch {
 public:
  static constexpr std::size_t kBatchSize = 4096;

  KeyRingSampleBatch(SeedSink sink, std::uint32_t phase) : sink_(std::move(sink)), phase_(phase) {}
  ~KeyRingSampleBatch();  // flushes, then wipes the batch
  KeyRingSampleBatch(const KeyRingSampleBatch&) = delete;
  KeyRingSampleBatch& operator=(const KeyRingSampleBatch&) = delete;

  void Field(const std::uint8_t* data, std::size_t size);
  // Hands the samples gathered so far to the sink (nothing when none).
  void Flush();
  std::uint32_t phase() const { return phase_; }

 private:
  SeedSink sink_;
  std::uint32_t phase_;
  std::size_t count_ = 0;
  std::uint8_t samples_[kBatchSize];
};

// The text a network listing and a root directory listing would show:
// the socket tables under /proc/net, then one line per entry of "/".
std::string CommandOutputText();
// Feeds text as a line reader with a 121-byte buffer would return it:
// pieces of at most 120 characters, ending at each newline, each piece up
// to its first NUL byte. The pieces go to the sink back to back as one
// seed, which feeds the running digest the same bytes as one seed each.
void SeedTextPieces(const SeedSink& sink, const std::string& text);
// CommandOutputText in pieces, then 32 bytes from HostRandomWord (sixteen
// calls, low byte then high byte of each) as one seed.
void SeedFromCommandOutput(const SeedSink& sink);
// Every step in order, on the calling thread: clocks, file status, the key
// ring samples, the command output.
void SeedFromMachine(const SeedSink& sink);

}  // namespace kcertadm
