// Throughput of the digests and DES ciphers over 8 KiB buffers, through the
// toolkit's object calls (the path the library takes) and raw.
#include <benchmark/benchmark.h>

#include <vector>

#include "crypto/cipher/des.h"
#include "crypto/digest/md5.h"
#include "crypto/digest/sha1.h"
#include "crypto/digest/sha2.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {
namespace {

constexpr std::size_t kBufferSize = 8192;

std::vector<std::uint8_t> Input() {
  std::vector<std::uint8_t> data(kBufferSize);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return data;
}

template <typename Digest>
void BM_RawDigest(benchmark::State& state) {
  const auto data = Input();
  Digest digest;
  std::uint8_t out[Digest::kDigestSize];
  for (auto _ : state) {
    digest.Update(data.data(), data.size());
    digest.Final(out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK(BM_RawDigest<Md5>)->Name("Md5Raw/8192");
BENCHMARK(BM_RawDigest<Sha1>)->Name("Sha1Raw/8192");
BENCHMARK(BM_RawDigest<Sha256>)->Name("Sha256Raw/8192");
BENCHMARK(BM_RawDigest<Sha384>)->Name("Sha384Raw/8192");
BENCHMARK(BM_RawDigest<Sha512>)->Name("Sha512Raw/8192");

void BM_DigestObject(benchmark::State& state, const AlgorithmInfoType* type) {
  const auto data = Input();
  ToolkitLockHeld lock;
  AlgorithmObject* alg = nullptr;
  AlgCreate(lock, &alg);
  AlgSetInfo(lock, alg, type, nullptr);
  DigestInit(lock, alg, nullptr, DigestMethods, nullptr);
  std::uint8_t out[64];
  std::uint32_t length;
  for (auto _ : state) {
    DigestUpdate(lock, alg, data.data(), kBufferSize, nullptr);
    DigestFinal(lock, alg, out, &length, sizeof(out), nullptr);
    benchmark::DoNotOptimize(out);
  }
  AlgDestroy(lock, &alg);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK_CAPTURE(BM_DigestObject, Md5, AlgInfoMd5())->Name("Md5Object/8192");
BENCHMARK_CAPTURE(BM_DigestObject, Sha1, AlgInfoSha1())->Name("Sha1Object/8192");
BENCHMARK_CAPTURE(BM_DigestObject, Sha256, AlgInfoSha256())->Name("Sha256Object/8192");

void BM_CipherObject(benchmark::State& state, const AlgorithmInfoType* type,
                     const KeyInfoType* form, std::size_t key_size, MethodList methods) {
  const auto data = Input();
  std::vector<std::uint8_t> out(kBufferSize), key(key_size), iv(8, 0x42);
  for (std::size_t i = 0; i < key_size; ++i) key[i] = static_cast<std::uint8_t>(i * 37 + 1);
  ToolkitLockHeld lock;
  AlgorithmObject* alg = nullptr;
  KeyObject* key_object = nullptr;
  AlgCreate(lock, &alg);
  KeyCreate(lock, &key_object);
  KeySetInfo(lock, key_object, form, key.data());
  const CbcParams params{iv.data()};
  AlgSetInfo(lock, alg, type, &params);
  EncryptInit(lock, alg, key_object, methods, nullptr);
  std::uint32_t length;
  for (auto _ : state) {
    EncryptUpdate(lock, alg, out.data(), &length, kBufferSize, data.data(), kBufferSize, nullptr,
                  nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  AlgDestroy(lock, &alg);
  KeyDestroy(lock, &key_object);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK_CAPTURE(BM_CipherObject, Des, AlgInfoDesCbc(), KeyInfoDes8(), 8, DesCbcMethods)
    ->Name("DesCbcObject/8192");
BENCHMARK_CAPTURE(BM_CipherObject, DesEde3, AlgInfoDesEde3Cbc(), KeyInfoDesEde3(), 24,
                  DesEde3CbcMethods)
    ->Name("DesEde3CbcObject/8192");

// Key ring use: a new DES object per 8-byte block (key schedule each time).
void BM_DesObjectPerBlock(benchmark::State& state) {
  const std::uint8_t key[8] = {1, 35, 69, 103, 137, 171, 205, 239};
  std::uint8_t iv[8] = {}, block[8] = {};
  ToolkitLockHeld lock;
  for (auto _ : state) {
    AlgorithmObject* alg = nullptr;
    KeyObject* key_object = nullptr;
    AlgCreate(lock, &alg);
    KeyCreate(lock, &key_object);
    KeySetInfo(lock, key_object, KeyInfoDesParity(), key);
    const CbcParams params{iv};
    AlgSetInfo(lock, alg, AlgInfoDesCbc(), &params);
    EncryptInit(lock, alg, key_object, DesCbcMethods, nullptr);
    std::uint32_t length;
    EncryptUpdate(lock, alg, block, &length, 8, block, 8, nullptr, nullptr);
    EncryptFinal(lock, alg, block, &length, 8, nullptr, nullptr);
    AlgDestroy(lock, &alg);
    KeyDestroy(lock, &key_object);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 8));
}
BENCHMARK(BM_DesObjectPerBlock)->Name("DesCbcObjectPerBlock/8");

}  // namespace
}  // namespace kcertadm

BENCHMARK_MAIN();
