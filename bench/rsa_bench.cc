// RSA private- and public-key operations and key generation. Compare with
// `openssl speed -seconds 3 rsa2048` and `openssl genrsa` run alongside
// (bench/compare_openssl.sh runs both and prints the ratios).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "crypto/rsa.h"
#include "crypto/rsa_keygen.h"

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
  static RsaKeyMaterial keys[2];
  RsaKeyMaterial& key = keys[bits == 2048 ? 1 : 0];
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
BENCHMARK(BM_RsaPrivate)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);

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
BENCHMARK(BM_RsaPublic)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);

void BM_RsaKeyGen(benchmark::State& state) {
  const auto bits = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    RsaKeyMaterial key;
    GenerateRsaKey(bits, BigNum(65537), DeviceRandom(), nullptr, &key);
    benchmark::DoNotOptimize(key.modulus.limbs().data());
  }
}
// One key per repetition; the median over 21 keys is the figure compared.
BENCHMARK(BM_RsaKeyGen)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Repetitions(21)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kcertadm

BENCHMARK_MAIN();
