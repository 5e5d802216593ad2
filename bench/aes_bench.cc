// AES-CBC throughput over 8 KiB buffers on each kernel, and the cost of a
// key schedule: the portable kernel is constant-time first and fast second.
#include <benchmark/benchmark.h>

#include <vector>

#include "crypto/cipher/aes.h"

namespace kcertadm {
namespace {

constexpr std::size_t kBufferSize = 8192;

bool Skipped(benchmark::State& state, AesKernel kernel) {
  if (kernel == AesKernel::kPortable || AesNiAvailable()) return false;
  state.SkipWithError("no AES instructions on this processor");
  return true;
}

void BM_AesCbc(benchmark::State& state, AesKernel kernel, bool encrypt) {
  if (Skipped(state, kernel)) return;
  const std::size_t key_size = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint8_t> key(key_size, 0x5a), data(kBufferSize, 0x17), iv(kAesBlockSize, 0x42);
  AesKeySchedule schedule;
  AesSetKey(schedule, key.data(), key_size, kernel);
  for (auto _ : state) {
    if (encrypt)
      AesCbcEncrypt(schedule, iv.data(), data.data(), data.data(), kBufferSize / kAesBlockSize);
    else
      AesCbcDecrypt(schedule, iv.data(), data.data(), data.data(), kBufferSize / kAesBlockSize);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK_CAPTURE(BM_AesCbc, PortableEncrypt, AesKernel::kPortable, true)->Arg(16)->Arg(32);
BENCHMARK_CAPTURE(BM_AesCbc, PortableDecrypt, AesKernel::kPortable, false)->Arg(16)->Arg(32);
BENCHMARK_CAPTURE(BM_AesCbc, AesNiEncrypt, AesKernel::kAesNi, true)->Arg(16)->Arg(32);
BENCHMARK_CAPTURE(BM_AesCbc, AesNiDecrypt, AesKernel::kAesNi, false)->Arg(16)->Arg(32);

void BM_AesSetKey(benchmark::State& state, AesKernel kernel) {
  if (Skipped(state, kernel)) return;
  const std::vector<std::uint8_t> key(32, 0x5a);
  AesKeySchedule schedule;
  for (auto _ : state) {
    AesSetKey(schedule, key.data(), key.size(), kernel);
    benchmark::DoNotOptimize(&schedule);
  }
}
BENCHMARK_CAPTURE(BM_AesSetKey, Portable, AesKernel::kPortable);
BENCHMARK_CAPTURE(BM_AesSetKey, AesNi, AesKernel::kAesNi);

}  // namespace
}  // namespace kcertadm

BENCHMARK_MAIN();
