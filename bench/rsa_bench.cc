// RSA private- and public-key operations and key generation, 1024 to 4096
// bits, on the kernel KCERTADM_RSA_KERNEL names (or the fastest). Compare
// with `openssl speed rsa2048` and `openssl genrsa` run alongside:
// bench/compare_openssl.sh runs both for every kernel and prints the ratios.
//   rsa_bench --kernel     prints the kernel in use and exits
//   rsa_bench --kernels    prints the kernels this processor runs
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "crypto/bignum/montgomery_kernel.h"
#include "crypto/rsa/rsa.h"
#include "crypto/rsa/rsa_keygen.h"

namespace kcertadm {
namespace {

RandomFill DeviceRandom() {
  return [](std::uint8_t* out, std::size_t size) {
    static std::random_device device;
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(device());
    return 0;
  };
}

const RsaKeyMaterial& Key(std::uint32_t bits) {
  static std::map<std::uint32_t, RsaKeyMaterial> keys;
  RsaKeyMaterial& key = keys[bits];
  if (key.modulus.IsZero()) GenerateRsaKey(bits, BigNum(65537), DeviceRandom(), nullptr, &key);
  return key;
}

void BM_RsaPrivate(benchmark::State& state) {
  const RsaKeyMaterial& key = Key(static_cast<std::uint32_t>(state.range(0)));
  RsaPrivateKeyOp op;
  op.Init(key);
  const std::size_t k = op.ModulusBytes();
  std::vector<std::uint8_t> in(k, 0x5A), out(k);
  in[0] = 0;
  for (auto _ : state) {
    op.Apply(in.data(), k, out.data(), k);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_RsaPrivate)->Arg(1024)->Arg(2048)->Arg(3072)->Arg(4096)->Unit(benchmark::kMicrosecond);

void BM_RsaPublic(benchmark::State& state) {
  const RsaKeyMaterial& key = Key(static_cast<std::uint32_t>(state.range(0)));
  RsaPublicKeyOp op;
  op.Init(key.modulus, key.public_exponent);
  const std::size_t k = op.ModulusBytes();
  std::vector<std::uint8_t> in(k, 0x5A), out(k);
  in[0] = 0;
  for (auto _ : state) {
    op.Apply(in.data(), k, out.data(), k);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_RsaPublic)->Arg(1024)->Arg(2048)->Arg(3072)->Arg(4096)->Unit(benchmark::kMicrosecond);

void BM_RsaKeyGen(benchmark::State& state) {
  const auto bits = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    RsaKeyMaterial key;
    GenerateRsaKey(bits, BigNum(65537), DeviceRandom(), nullptr, &key);
    benchmark::DoNotOptimize(key.modulus.limbs().data());
  }
}
// One key per repetition; with --benchmark_repetitions=21 (as
// compare_openssl.sh passes it) the median is the figure compared, as prime
// search time varies from key to key.
BENCHMARK(BM_RsaKeyGen)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(3072)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kcertadm

int main(int argc, char** argv) {
  using namespace kcertadm;
  if (argc == 2 && std::strcmp(argv[1], "--kernel") == 0) {
    std::puts(RsaKernelName(ActiveRsaKernel()));
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--kernels") == 0) {
    for (RsaKernel kernel : AvailableRsaKernels()) std::printf("%s\n", RsaKernelName(kernel));
    return 0;
  }
  benchmark::AddCustomContext("rsa_kernel", RsaKernelName(ActiveRsaKernel()));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
