// Throughput of the digests and DES ciphers over 8 KiB buffers, through the
// toolkit's object calls (the path the library takes) and raw.
#include <benchmark/benchmark.h>

#include <vector>

#include "crypto/cipher/des.h"
#include "crypto/digest/md5.h"
#include "crypto/digest/sha1.h"
#include "crypto/digest/sha2.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_scope.h"

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

// Records a failed toolkit call, so that the run reports it instead of a
// figure. True while every call has succeeded.
bool Succeeded(benchmark::State& state, ToolkitStatus status) {
  if (status.ok()) return true;
  state.SkipWithError("a toolkit call failed");
  return false;
}

void BM_DigestObject(benchmark::State& state, const AlgorithmInfoType* type) {
  const auto data = Input();
  ToolkitLockHeld lock;
  OwnedAlgorithm alg;
  if (!Succeeded(state, alg.Create(lock)) ||
      !Succeeded(state, AlgSetInfo(lock, alg.get(), type, nullptr)) ||
      !Succeeded(state, DigestInit(lock, alg.get(), nullptr, DigestMethods, nullptr)))
    return;
  std::uint8_t out[64];
  std::uint32_t length;
  for (auto _ : state) {
    if (!Succeeded(state, DigestUpdate(lock, alg.get(), data.data(), kBufferSize, nullptr)) ||
        !Succeeded(state, DigestFinal(lock, alg.get(), out, &length, sizeof(out), nullptr)))
      break;
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK_CAPTURE(BM_DigestObject, Md5, AlgInfoMd5())->Name("Md5Object/8192");
BENCHMARK_CAPTURE(BM_DigestObject, Sha1, AlgInfoSha1())->Name("Sha1Object/8192");
BENCHMARK_CAPTURE(BM_DigestObject, Sha256, AlgInfoSha256())->Name("Sha256Object/8192");

// A CBC cipher object keyed with `key` in form `form`, initialised to encrypt.
bool NewCipher(benchmark::State& state, const ToolkitLockHeld& lock, OwnedAlgorithm& alg,
               OwnedKey& key, const AlgorithmInfoType* type, const KeyInfoType* form,
               const void* material, const CbcParams& params, MethodList methods) {
  return Succeeded(state, alg.Create(lock)) && Succeeded(state, key.Create(lock)) &&
         Succeeded(state, KeySetInfo(lock, key.get(), form, material)) &&
         Succeeded(state, AlgSetInfo(lock, alg.get(), type, &params)) &&
         Succeeded(state, EncryptInit(lock, alg.get(), key.get(), methods, nullptr));
}

void BM_CipherObject(benchmark::State& state, const AlgorithmInfoType* type,
                     const KeyInfoType* form, std::size_t key_size, MethodList methods) {
  const auto data = Input();
  std::vector<std::uint8_t> out(kBufferSize), key(key_size), iv(8, 0x42);
  for (std::size_t i = 0; i < key_size; ++i) key[i] = static_cast<std::uint8_t>(i * 37 + 1);
  ToolkitLockHeld lock;
  OwnedAlgorithm alg;
  OwnedKey key_object;
  const CbcParams params{iv.data()};
  if (!NewCipher(state, lock, alg, key_object, type, form, key.data(), params, methods)) return;
  std::uint32_t length;
  for (auto _ : state) {
    if (!Succeeded(state, EncryptUpdate(lock, alg.get(), out.data(), &length, kBufferSize,
                                        data.data(), kBufferSize, nullptr, nullptr)))
      break;
    benchmark::DoNotOptimize(out.data());
  }
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
  const CbcParams params{iv};
  ToolkitLockHeld lock;
  for (auto _ : state) {
    OwnedAlgorithm alg;
    OwnedKey key_object;
    std::uint32_t length;
    if (!NewCipher(state, lock, alg, key_object, AlgInfoDesCbc(), KeyInfoDesParity(), key, params,
                   DesCbcMethods) ||
        !Succeeded(state,
                   EncryptUpdate(lock, alg.get(), block, &length, 8, block, 8, nullptr, nullptr)) ||
        !Succeeded(state, EncryptFinal(lock, alg.get(), block, &length, 8, nullptr, nullptr)))
      break;
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 8));
}
BENCHMARK(BM_DesObjectPerBlock)->Name("DesCbcObjectPerBlock/8");

}  // namespace
}  // namespace kcertadm

BENCHMARK_MAIN();
