// Statistical timing check of the operations on secret values (in the
// manner of dudect): each target runs many times on inputs of two classes,
// a fixed secret and random secrets, chosen at random for every run, and
// the run times of the two classes are compared by Welch's t-test. A t of
// at least kThreshold in absolute value, on all runs or on the runs below a
// percentile of the times, means the time tells the classes apart.
//
// Targets:
//   rsa-ciphertext  the private-key operation (CRT) on one key, a fixed
//                   ciphertext against random ones;
//   rsa-key         key loading and the private-key operation, a fixed key
//                   against random keys of the same size, one ciphertext;
//   prime           the prime search on a window whose first candidate is
//                   prime (sieve remainders and marks, gcd with e, Montgomery
//                   set-up, the four Fermat tests), a fixed prime against
//                   random ones;
//   control         the variable-time sliding-window exponentiation, a fixed
//                   sparse exponent against random ones: it must be caught,
//                   or the check has lost its power on this machine.
//
// Usage: timing_leak_check [TARGET ...]
//   KCERTADM_TIMING_SECONDS  seconds of measurement per target and attempt
//                            (default 4; by hand try 120 and more)
//   KCERTADM_TIMING_BITS     RSA modulus size (default 1024; primes of half)
// A target that fails is measured again, up to kAttempts times in all, so
// that a noisy moment of a loaded machine does not fail it; a real leak
// fails every attempt. Exit status 0, 1 when a target leaks or the control
// goes unseen, 77 (skipped) under a sanitizer.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

#include "crypto/montgomery.h"
#include "crypto/rsa.h"
#include "crypto/rsa_keygen.h"
#include "crypto/rsa_prime.h"

namespace kcertadm {
namespace {

constexpr double kThreshold = 10;
constexpr int kAttempts = 3;
constexpr std::size_t kPoolSize = 32;
// Fractions of the combined times below which both classes are compared
// again: the slow tail holds interrupts and other processes' time.
constexpr double kCrops[] = {1.0, 0.99, 0.95, 0.9, 0.75, 0.5};

using Bytes = std::vector<std::uint8_t>;

std::uint64_t Ticks() {
#if defined(__x86_64__)
  _mm_lfence();
  const std::uint64_t t = __rdtsc();
  _mm_lfence();
  return t;
#else
  return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

double EnvNumber(const char* name, double fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atof(value) : fallback;
}

// One operation under test: Prepare sets up the input of a class (0 fixed,
// 1 random) outside the measurement, Run is measured.
struct Target {
  std::string name;
  std::function<void(int cls, std::mt19937_64& rng)> prepare;
  std::function<void()> run;
  bool must_leak = false;
};

struct Welch {
  double n = 0, mean = 0, m2 = 0;
  void Add(double x) {
    n += 1;
    const double d = x - mean;
    mean += d / n;
    m2 += d * (x - mean);
  }
  double Variance() const { return n > 1 ? m2 / (n - 1) : 0; }
};

double TStatistic(const Welch& a, const Welch& b) {
  const double se = std::sqrt(a.Variance() / a.n + b.Variance() / b.n);
  return se > 0 ? (a.mean - b.mean) / se : 0;
}

struct Sample {
  std::uint64_t ticks;
  int cls;
};

// The largest |t| over the crops, the t of each crop, the number of runs.
struct Verdict {
  double max_t = 0;
  std::vector<double> t;
  std::size_t runs = 0;
};

Verdict Measure(Target& target, double seconds, std::mt19937_64& rng) {
  std::vector<Sample> samples;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  // Warm-up runs of both classes, not counted.
  for (int i = 0; i < 20; ++i) target.prepare(i & 1, rng), target.run();
  while (std::chrono::steady_clock::now() < end) {
    for (int i = 0; i < 64; ++i) {
      const int cls = static_cast<int>(rng() & 1);
      target.prepare(cls, rng);
      const std::uint64_t start = Ticks();
      target.run();
      samples.push_back({Ticks() - start, cls});
    }
  }
  std::vector<std::uint64_t> sorted;
  for (const Sample& s : samples) sorted.push_back(s.ticks);
  std::sort(sorted.begin(), sorted.end());
  Verdict verdict{0, {}, samples.size()};
  for (double crop : kCrops) {
    const std::uint64_t limit = sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(crop * (sorted.size() - 1)))];
    Welch classes[2];
    for (const Sample& s : samples)
      if (s.ticks <= limit) classes[s.cls].Add(static_cast<double>(s.ticks));
    const double t = classes[0].n < 100 || classes[1].n < 100 ? 0 : TStatistic(classes[0], classes[1]);
    verdict.t.push_back(t);
    verdict.max_t = std::max(verdict.max_t, std::fabs(t));
  }
  return verdict;
}

// Deterministic random bytes for making keys and primes.
RandomFill SeededFill(std::uint64_t seed) {
  auto rng = std::make_shared<std::mt19937_64>(seed);
  return [rng](std::uint8_t* out, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>((*rng)() >> 56);
    return 0;
  };
}

// A pool of kPoolSize copies of one value for the fixed class and kPoolSize
// different values for the random class: both classes read their input
// from as many places, so the caches treat them alike.
template <typename T>
struct Pools {
  std::vector<T> fixed, random;
  const T& Pick(int cls, std::mt19937_64& rng) const {
    const std::vector<T>& pool = cls == 0 ? fixed : random;
    return pool[rng() % pool.size()];
  }
};

Bytes RandomBelowTopByte(std::size_t k, std::mt19937_64& rng) {
  Bytes x(k);
  for (auto& b : x) b = static_cast<std::uint8_t>(rng());
  x[0] = 0;  // below any modulus of exactly 8k bits
  return x;
}

std::vector<RsaKeyMaterial> MakeKeys(std::uint32_t bits, std::size_t count, std::uint64_t seed) {
  std::vector<RsaKeyMaterial> keys(count);
  for (std::size_t i = 0; i < count; ++i)
    if (GenerateRsaKey(bits, BigNum(65537), SeededFill(seed + i), nullptr, &keys[i]) != 0) std::abort();
  return keys;
}

// FindPrime's seed bytes that make `prime` its first candidate (16-bit
// digits, least significant first, each high byte first).
Bytes SeedOf(const BigNum& prime, std::size_t bits) {
  Bytes seed(PrimeSeedBytes(bits));
  for (std::size_t i = 0; i < seed.size() / 2; ++i) {
    const Limb digit = prime.limbs()[i / 4] >> (16 * (i % 4));
    seed[2 * i] = static_cast<std::uint8_t>(digit >> 8);
    seed[2 * i + 1] = static_cast<std::uint8_t>(digit);
  }
  return seed;
}

Target CiphertextTarget(std::uint32_t bits, std::mt19937_64& rng) {
  auto key = std::make_shared<RsaKeyMaterial>(MakeKeys(bits, 1, 1)[0]);
  auto op = std::make_shared<RsaPrivateKeyOp>();
  if (op->Init(*key) != 0) std::abort();
  const std::size_t k = op->ModulusBytes();
  const Bytes fixed = RandomBelowTopByte(k, rng);
  auto in = std::make_shared<Bytes>(k), out = std::make_shared<Bytes>(k);
  // Both classes draw a random input and copy one into place, so that the
  // preparation leaves the caches alike.
  return {"rsa-ciphertext",
          [=](int cls, std::mt19937_64& r) {
            const Bytes random = RandomBelowTopByte(k, r);
            std::copy_n((cls == 0 ? fixed : random).begin(), k, in->begin());
          },
          [=] {
            if (op->Apply(in->data(), k, out->data(), k) != 0) std::abort();
          }};
}

Target KeyTarget(std::uint32_t bits, std::mt19937_64& rng) {
  std::vector<RsaKeyMaterial> keys = MakeKeys(bits, kPoolSize + 1, 100);
  auto pools = std::make_shared<Pools<RsaKeyMaterial>>();
  for (std::size_t i = 0; i < kPoolSize; ++i) {
    pools->fixed.push_back(keys[0]);
    pools->random.push_back(keys[i + 1]);
  }
  const std::size_t k = keys[0].modulus.ByteLength();
  auto in = std::make_shared<Bytes>(RandomBelowTopByte(k, rng)), out = std::make_shared<Bytes>(k);
  auto chosen = std::make_shared<const RsaKeyMaterial*>(nullptr);
  return {"rsa-key", [=](int cls, std::mt19937_64& r) { *chosen = &pools->Pick(cls, r); },
          [=] {
            RsaPrivateKeyOp op;
            if (op.Init(**chosen) != 0 || op.Apply(in->data(), k, out->data(), k) != 0) std::abort();
          }};
}

Target PrimeTarget(std::size_t bits) {
  auto pools = std::make_shared<Pools<Bytes>>();
  std::vector<Bytes> seeds;
  for (std::uint64_t s = 1000; seeds.size() <= kPoolSize; ++s) {
    Bytes bytes(PrimeSeedBytes(bits));
    SeededFill(s)(bytes.data(), bytes.size());
    BigNum prime;
    if (FindPrime(bytes.data(), bits, BigNum(65537), &prime) != 0 || prime.BitLength() != bits) continue;
    seeds.push_back(SeedOf(prime, bits));
  }
  for (std::size_t i = 0; i < kPoolSize; ++i) {
    pools->fixed.push_back(seeds[0]);
    pools->random.push_back(seeds[i + 1]);
  }
  auto seed = std::make_shared<Bytes>(seeds[0].size());
  return {"prime", [=](int cls, std::mt19937_64& r) { *seed = pools->Pick(cls, r); },
          [=] {
            BigNum prime;
            if (FindPrime(seed->data(), bits, BigNum(65537), &prime) != 0) std::abort();
          }};
}

// The public-exponent exponentiation used on secrets: a sparse exponent
// takes far fewer products than random ones.
Target ControlTarget(std::size_t bits, std::mt19937_64& rng) {
  const RsaKeyMaterial key = MakeKeys(static_cast<std::uint32_t>(2 * bits), 1, 1)[0];
  auto mont = std::make_shared<MontgomeryContext>();
  if (mont->Init(key.prime1) != 0) std::abort();
  BigNum sparse;
  sparse.SetBit(bits - 1);
  sparse.SetBit(0);
  auto pools = std::make_shared<Pools<BigNum>>();
  for (std::size_t i = 0; i < kPoolSize; ++i) {
    pools->fixed.push_back(sparse);
    Bytes e = RandomBelowTopByte(bits / 8 + 1, rng);
    e[1] |= 0x80;
    pools->random.push_back(BigNum::FromBytes(e.data(), e.size()));
  }
  auto base = std::make_shared<BigNum>(BigNum::Mul(key.prime2, BigNum(3)));
  auto exponent = std::make_shared<const BigNum*>(nullptr);
  return {"control", [=](int cls, std::mt19937_64& r) { *exponent = &pools->Pick(cls, r); },
          [=] { mont->Exp(*base, **exponent); }, true};
}

int RunChecks(int argc, char** argv) {
  const double seconds = EnvNumber("KCERTADM_TIMING_SECONDS", 4);
  const auto bits = static_cast<std::uint32_t>(EnvNumber("KCERTADM_TIMING_BITS", 1024));
  const std::uint64_t seed = std::random_device{}();
  std::mt19937_64 rng(seed);
  std::printf("timing check: %u-bit keys, %.1f s per target and attempt, |t| threshold %.0f, seed %llu\n",
              bits, seconds, kThreshold, static_cast<unsigned long long>(seed));
  std::vector<Target> targets = {ControlTarget(bits / 2, rng), CiphertextTarget(bits, rng), KeyTarget(bits, rng),
                                 PrimeTarget(bits / 2)};
  int failures = 0;
  for (Target& target : targets) {
    const bool wanted =
        argc < 2 || std::any_of(argv + 1, argv + argc, [&](const char* a) { return target.name == a; });
    if (!wanted) continue;
    bool passed = false;
    for (int attempt = 1; attempt <= kAttempts && !passed; ++attempt) {
      const Verdict v = Measure(target, target.must_leak ? std::min(seconds, 2.0) : seconds, rng);
      const bool leaks = v.max_t >= kThreshold;
      passed = leaks == target.must_leak;
      std::printf("%-15s attempt %d: %8zu runs, max |t| = %8.2f  %s\n", target.name.c_str(), attempt, v.runs,
                  v.max_t, passed ? "ok" : target.must_leak ? "(control not caught yet)" : "(leak suspected)");
      std::printf("%-15s   t by crop:", "");
      for (std::size_t i = 0; i < v.t.size(); ++i) std::printf(" %g%%: %.2f", 100 * kCrops[i], v.t[i]);
      std::printf("\n");
      std::fflush(stdout);
    }
    if (!passed) {
      ++failures;
      std::printf("%s: %s\n", target.name.c_str(),
                  target.must_leak ? "FAILED: the known leak went unseen, the measurement is not trustworthy"
                                   : "FAILED: the time depends on the secret");
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace kcertadm

int main(int argc, char** argv) {
#if defined(KCERTADM_TIMING_SKIP)
  (void)argc, (void)argv;
  std::puts("timing check skipped: instrumented build");
  return 77;
#else
  return kcertadm::RunChecks(argc, argv);
#endif
}
