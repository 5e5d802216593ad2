// Key ring scaling: opening, writing, listing, receiving a certificate into
// and deleting an entry from rings of 100, 1,000 and 10,000 certificate
// entries; and what the first seeding of the shared random generator costs
// next to one 1024-bit key generation.
//
// Every benchmark reports the file size and the peak of heap bytes in use
// above what was in use before the operation (peak_bytes); peak_per_file is
// their ratio. bench/compare.sh turns the times into growth ratios.
//
// With --make-ring OUT PASSWORD BUNDLE [KEPT] the program instead builds a
// key ring file at OUT from the DER certificates held back to back in
// BUNDLE, one certificate entry per certificate (labels cert0, cert1, ...),
// writes the certificates it took to KEPT, and exits.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "asn1/der_reader.h"
#include "commands/report.h"
#include "crypto/random/random_shared.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "kcertadm.h"
#include "keyring/keyring.h"
#include "keyring_bench_certs.h"

// --- Heap accounting ----------------------------------------------------------
//
// Every C++ allocation of the program (the library is linked statically)
// goes through these; the usable size of each block is counted.

namespace {
std::atomic<long long> g_inUse{0};
std::atomic<long long> g_peak{0};

void Count(void* p) {
  if (p == nullptr) return;
  long long now = g_inUse += static_cast<long long>(malloc_usable_size(p));
  long long peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}
void Uncount(void* p) {
  if (p != nullptr) g_inUse -= static_cast<long long>(malloc_usable_size(p));
}
void* Allocate(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  Count(p);
  return p;
}
void Release(void* p) noexcept {
  Uncount(p);
  std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace kcertadm {
namespace {

constexpr char kPassword[] = "bench-password";

// Peak heap use above the level at construction.
class PeakMeter {
 public:
  PeakMeter() : base_(g_inUse.load()) { g_peak = base_; }
  long long Peak() const { return g_peak.load() - base_; }

 private:
  long long base_;
};

std::string TempDirectory() {
  static const std::string dir = [] {
    std::string pattern =
        std::filesystem::temp_directory_path().string() + "/kcertadm-bench-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) std::abort();
    return std::string(name.data());
  }();
  return dir;
}

// The path of a ring file of n certificate entries, written on first use.
const std::string& RingFile(std::int64_t n) {
  static std::map<std::int64_t, std::string> files;
  auto it = files.find(n);
  if (it != files.end()) return it->second;
  bench::CertificateMaker maker(static_cast<std::uint32_t>(n));
  KeyRingClear();
  for (std::int64_t i = 0; i < n; ++i) {
    const Bytes cert = maker.Make(static_cast<std::uint32_t>(i));
    if (!Succeeded(KeyRingAddCertificate(cert, "cert" + std::to_string(i), nullptr))) std::abort();
  }
  std::string path = TempDirectory() + "/ring" + std::to_string(n) + ".kyr";
  if (!Succeeded(KeyRingWrite(path, kPassword))) std::abort();
  KeyRingClear();
  return files.emplace(n, path).first->second;
}

std::int64_t FileSize(const std::string& path) {
  return static_cast<std::int64_t>(std::filesystem::file_size(path));
}

void ReportMemory(benchmark::State& state, const std::string& ring, long long peak) {
  const double size = static_cast<double>(FileSize(ring));
  state.counters["file_bytes"] = size;
  state.counters["peak_bytes"] = static_cast<double>(peak);
  state.counters["peak_per_file"] = static_cast<double>(peak) / size;
}

void OpenOrDie(benchmark::State& state, const std::string& ring) {
  if (!Succeeded(KeyRingOpen(ring, kPassword))) state.SkipWithError("KeyRingOpen failed");
}

// --- Whole-ring operations ------------------------------------------------------

void BM_KeyRingOpen(benchmark::State& state) {
  const std::string& ring = RingFile(state.range(0));
  long long peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    KeyRingClear();
    PeakMeter meter;
    state.ResumeTiming();
    OpenOrDie(state, ring);
    peak = std::max(peak, meter.Peak());
  }
  ReportMemory(state, ring, peak);
  KeyRingClear();
}

void BM_KeyRingWrite(benchmark::State& state) {
  const std::string& ring = RingFile(state.range(0));
  const std::string out = TempDirectory() + "/written.kyr";
  OpenOrDie(state, ring);
  long long peak = 0;
  for (auto _ : state) {
    PeakMeter meter;
    if (!Succeeded(KeyRingWrite(out, kPassword))) state.SkipWithError("KeyRingWrite failed");
    peak = std::max(peak, meter.Peak());
  }
  ReportMemory(state, ring, peak);
  KeyRingClear();
}

// The work of GetEntries: open, then every entry's report into a file.
void BM_GetEntries(benchmark::State& state) {
  const std::string& ring = RingFile(state.range(0));
  const std::string out = TempDirectory() + "/entries.txt";
  long long peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    KeyRingClear();
    PeakMeter meter;
    state.ResumeTiming();
    OpenOrDie(state, ring);
    std::FILE* file = std::fopen(out.c_str(), "w");
    KeyRingCursor cursor;
    std::uint32_t error = 0;
    do {
      auto entry = KeyRingNextEntry(cursor);
      if (!entry) break;
      if (WriteEntryReport(file, *entry, EntryReportOptions{}, &error) != 0) {
        state.SkipWithError("entry report failed");
        break;
      }
    } while (!cursor.AtEnd());
    std::fclose(file);
    peak = std::max(peak, meter.Peak());
  }
  ReportMemory(state, ring, peak);
  KeyRingClear();
}

// A command that changes one entry: open, change, write.
template <typename Change>
void OpenChangeWrite(benchmark::State& state, Change change) {
  const std::string& ring = RingFile(state.range(0));
  const std::string out = TempDirectory() + "/changed.kyr";
  long long peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    KeyRingClear();
    PeakMeter meter;
    state.ResumeTiming();
    OpenOrDie(state, ring);
    if (!Succeeded(change())) state.SkipWithError("change failed");
    if (!Succeeded(KeyRingWrite(out, kPassword))) state.SkipWithError("KeyRingWrite failed");
    peak = std::max(peak, meter.Peak());
  }
  ReportMemory(state, ring, peak);
  KeyRingClear();
}

// ReceiveCert of a certificate for a new key: open, add at the head, write.
void BM_ReceiveCert(benchmark::State& state) {
  const Bytes cert = bench::CertificateMaker(1).Make(0xFFFFFFF0u);
  OpenChangeWrite(state, [&] { return KeyRingAddCertificate(cert, "received", nullptr); });
}

// DeleteEntry of the last entry in the ring (the longest search).
void BM_DeleteEntry(benchmark::State& state) {
  const std::string last = "cert0";  // the first added, so the last in the list
  OpenChangeWrite(state, [&] { return KeyRingDeleteEntry(last); });
}

// --- The in-memory changes alone --------------------------------------------------

void BM_AddCertificateInMemory(benchmark::State& state) {
  OpenOrDie(state, RingFile(state.range(0)));
  const Bytes cert = bench::CertificateMaker(1).Make(0xFFFFFFF0u);
  for (auto _ : state) {
    if (!Succeeded(KeyRingAddCertificate(cert, "received", nullptr)))
      state.SkipWithError("add failed");
    state.PauseTiming();
    if (!Succeeded(KeyRingDeleteEntry("received"))) state.SkipWithError("delete failed");
    state.ResumeTiming();
  }
  KeyRingClear();
}

void BM_DeleteEntryInMemory(benchmark::State& state) {
  OpenOrDie(state, RingFile(state.range(0)));
  const Bytes cert = bench::CertificateMaker(1).Make(0xFFFFFFF0u);
  for (auto _ : state) {
    state.PauseTiming();
    if (!Succeeded(KeyRingAddCertificate(cert, "received", nullptr)))
      state.SkipWithError("add failed");
    state.ResumeTiming();
    if (!Succeeded(KeyRingDeleteEntry("received"))) state.SkipWithError("delete failed");
  }
  KeyRingClear();
}

#define RING_SIZES ->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_KeyRingOpen) RING_SIZES;
BENCHMARK(BM_KeyRingWrite) RING_SIZES;
BENCHMARK(BM_GetEntries) RING_SIZES;
BENCHMARK(BM_ReceiveCert) RING_SIZES;
BENCHMARK(BM_DeleteEntry) RING_SIZES;
BENCHMARK(BM_AddCertificateInMemory) RING_SIZES;
BENCHMARK(BM_DeleteEntryInMemory) RING_SIZES;

// --- Seeding ------------------------------------------------------------------------

// The first seeding of the shared generator with the in-memory key ring
// holding n entries (0: none), which the seeding samples: the first
// GetRandomBytes of a process, which creates SharedRandom by
// CreateSeededRandom under KeyRingLock and RandomLock. The generator is
// dropped again between iterations.
void BM_SeedRandom(benchmark::State& state) {
  KeyRingClear();
  if (state.range(0) > 0) OpenOrDie(state, RingFile(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    InstallSharedRandomForTesting(nullptr);
    state.ResumeTiming();
    std::uint8_t byte;
    if (GetRandomBytes(&byte, 1) != 0) state.SkipWithError("GetRandomBytes failed");
  }
  KeyRingClear();
}
// Medians of 9 repetitions, to be set beside the median key generation.
// Wall time is what the caller waits; the CPU time is the whole process's.
BENCHMARK(BM_SeedRandom)
    ->Arg(0)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// The key ring's key-pair creation on the (already seeded) shared generator.
void BM_KeyGenShared(benchmark::State& state) {
  std::uint8_t warm;
  if (!GetRandomBytes(&warm, 1).ok()) state.SkipWithError("GetRandomBytes failed");
  for (auto _ : state) {
    OwnedKey key;
    if (GenerateRsaPrivateKey(static_cast<std::uint32_t>(state.range(0)), key) != 0)
      state.SkipWithError("key generation failed");
  }
}
// One key per repetition; the median is the figure compared.
BENCHMARK(BM_KeyGenShared)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(51)
    ->ReportAggregatesOnly(true);

// --- Ring building for the whole-process comparisons -------------------------------

// Certificates the key ring refuses (keys other than RSA, for one) are
// left out and counted; with `kept` the certificates taken are written
// there back to back, so that the other side lists the same ones.
int MakeRing(const char* out, const char* password, const char* bundlePath, const char* kept) {
  std::ifstream in(bundlePath, std::ios::binary);
  const Bytes bundle((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  der::View rest(bundle.data(), bundle.size());
  KeyRingClear();
  Bytes taken;
  std::size_t count = 0, refused = 0;
  for (; !rest.empty(); ++count) {
    auto element = der::Next(rest, der::kIndefiniteAsEmpty);
    if (!element) {
      std::fprintf(stderr, "%s: certificate %zu does not decode\n", bundlePath, count);
      return 1;
    }
    const std::string label = "cert" + std::to_string(count);
    if (const KeyRingStatus status = KeyRingAddCertificate(element->whole, label, nullptr);
        !Succeeded(status)) {
      if (refused++ == 0)
        std::fprintf(stderr, "%s: certificate %zu left out (status %d)\n", bundlePath, count,
                     KeyRingStatusNumber(status));
      continue;
    }
    taken.insert(taken.end(), element->whole.begin(), element->whole.end());
  }
  if (refused == count) {
    std::fprintf(stderr, "%s: no certificate taken\n", bundlePath);
    return 1;
  }
  if (refused != 0)
    std::fprintf(stderr, "%s: %zu of %zu certificates taken, the first left out as above\n",
                 bundlePath, count - refused, count);
  if (const KeyRingStatus status = KeyRingWrite(out, password); !Succeeded(status)) {
    std::fprintf(stderr, "%s: write failed (%d)\n", out, KeyRingStatusNumber(status));
    return 1;
  }
  if (kept != nullptr) {
    std::ofstream keptFile(kept, std::ios::binary);
    keptFile.write(reinterpret_cast<const char*>(taken.data()),
                   static_cast<std::streamsize>(taken.size()));
    if (!keptFile.flush()) {
      std::fprintf(stderr, "%s: cannot write\n", kept);
      return 1;
    }
  }
  return 0;
}

}  // namespace
}  // namespace kcertadm

int main(int argc, char** argv) {
  InitSecLib(nullptr);
  if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "--make-ring") == 0)
    return kcertadm::MakeRing(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : nullptr);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(kcertadm::TempDirectory());
  return 0;
}
