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
//   rsa-exponent    the private-key operation on one key's primes, sparse
//                   CRT exponents against random ones;
//   rsa-key         key loading and the private-key operation, a fixed key
//                   against random keys of the same size, one ciphertext;
//   prime           the prime search on a window whose first candidate is
//                   prime (sieve remainders and marks, gcd with e, Montgomery
//                   set-up, the four Fermat tests), a fixed prime against
//                   random ones;
//   control         the variable-time sliding-window exponentiation, a fixed
//                   sparse exponent against random ones: it must be caught,
//                   or the check has lost its power on this machine.
// Run only when named, to tell a leak from the machine's noise:
//   same-ciphertext  rsa-ciphertext with the fixed ciphertext in both
//                   classes: the |t| this machine gives where nothing can
//                   differ;
//   two-ciphertexts rsa-ciphertext with a second fixed ciphertext in place
//                   of the random ones: a time that follows the value
//                   through any path shows here as well.
//
// Usage: timing_leak_check [TARGET ...]
//   KCERTADM_TIMING_SECONDS  seconds of measurement per target and attempt
//                            (default 3: about 15 s for all, at most 45 s
//                            with every rerun; by hand try 120 and more)
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

#include "crypto/bignum/montgomery.h"
#include "crypto/rsa/rsa.h"
#include "crypto/rsa/rsa_keygen.h"
#include "crypto/rsa/rsa_prime.h"

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
  bool only_when_named = false;
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
    const std::uint64_t limit =
        sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(crop * (sorted.size() - 1)))];
    Welch classes[2];
    for (const Sample& s : samples)
      if (s.ticks <= limit) classes[s.cls].Add(static_cast<double>(s.ticks));
    const double t =
        classes[0].n < 100 || classes[1].n < 100 ? 0 : TStatistic(classes[0], classes[1]);
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

// The inputs of a target: one fixed value and kPoolSize random ones. The
// operation always reads its input from one slot, the same memory for
// both classes, which Prepare overwrites with the class's value: objects
// of their own per class would differ in alignment and cache sets, and
// that alone shows up as a |t| of 10 and more.
template <typename T>
struct Inputs {
  T fixed;
  std::vector<T> random;
  const T& Pick(int cls, std::mt19937_64& rng) const {
    const T& r = random[rng() % random.size()];  // drawn for both classes alike
    return cls == 0 ? fixed : r;
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
    if (GenerateRsaKey(bits, BigNum(65537), SeededFill(seed + i), nullptr, &keys[i]) != 0)
      std::abort();
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

// A random value of `bits` bits (top bit set).
BigNum RandomOfBits(std::size_t bits, std::mt19937_64& rng) {
  Bytes bytes = RandomBelowTopByte((bits + 7) / 8, rng);
  BigNum x = BigNum::FromBytes(bytes.data(), bytes.size());
  x.SetBit(bits - 1);
  return x;
}

// Where the class-1 ciphertexts come from: random ones, the fixed one
// itself, or one other fixed value.
enum class Others { kRandom, kSame, kSecondFixed };

Target CiphertextTarget(std::uint32_t bits, std::mt19937_64& rng, Others others = Others::kRandom) {
  auto op = std::make_shared<RsaPrivateKeyOp>();
  if (op->Init(MakeKeys(bits, 1, 1)[0]) != 0) std::abort();
  const std::size_t k = op->ModulusBytes();
  auto inputs = std::make_shared<Inputs<Bytes>>();
  inputs->fixed = RandomBelowTopByte(k, rng);
  const Bytes second = others == Others::kSame ? inputs->fixed : RandomBelowTopByte(k, rng);
  for (std::size_t i = 0; i < kPoolSize; ++i)
    inputs->random.push_back(others == Others::kRandom ? RandomBelowTopByte(k, rng) : second);
  auto in = std::make_shared<Bytes>(k), out = std::make_shared<Bytes>(k);
  const char* name = others == Others::kRandom ? "rsa-ciphertext"
                     : others == Others::kSame ? "same-ciphertext"
                                               : "two-ciphertexts";
  return {name, [=](int cls, std::mt19937_64& r) { *in = inputs->Pick(cls, r); },
          [=] {
            if (op->Apply(in->data(), k, out->data(), k) != 0) std::abort();
          },
          false, others != Others::kRandom};
}

// One key's primes with a sparse pair of CRT exponents (fixed) or random
// ones (random); the slot's operation is set up with them beforehand, so
// the exponentiation alone is measured, where a variable-time one would
// show the exponents' bits most.
Target ExponentTarget(std::uint32_t bits, std::mt19937_64& rng) {
  const RsaKeyMaterial key = MakeKeys(bits, 1, 1)[0];
  const std::size_t exp_bits = key.prime2.BitLength() - 1;  // below both primes
  auto inputs = std::make_shared<Inputs<RsaKeyMaterial>>();
  inputs->fixed = key;
  inputs->fixed.exponent1 = BigNum(1);
  inputs->fixed.exponent1.SetBit(exp_bits - 1);
  inputs->fixed.exponent2 = inputs->fixed.exponent1;
  for (std::size_t i = 0; i < kPoolSize; ++i) {
    inputs->random.push_back(key);
    inputs->random.back().exponent1 = RandomOfBits(exp_bits, rng);
    inputs->random.back().exponent2 = RandomOfBits(exp_bits, rng);
  }
  const std::size_t k = key.modulus.ByteLength();
  auto op = std::make_shared<RsaPrivateKeyOp>();
  auto in = std::make_shared<Bytes>(RandomBelowTopByte(k, rng)), out = std::make_shared<Bytes>(k);
  return {"rsa-exponent",
          [=](int cls, std::mt19937_64& r) {
            if (op->Init(inputs->Pick(cls, r)) != 0) std::abort();
          },
          [=] {
            if (op->Apply(in->data(), k, out->data(), k) != 0) std::abort();
          }};
}

// Key loading and the operation: a fixed key against random keys, copied
// into the slot's key beforehand (same lengths: the limbs stay in place).
Target KeyTarget(std::uint32_t bits, std::mt19937_64& rng) {
  std::vector<RsaKeyMaterial> keys = MakeKeys(bits, kPoolSize + 1, 100);
  auto inputs = std::make_shared<Inputs<RsaKeyMaterial>>();
  inputs->fixed = keys[0];
  inputs->random.assign(keys.begin() + 1, keys.end());
  const std::size_t k = keys[0].modulus.ByteLength();
  auto in = std::make_shared<Bytes>(RandomBelowTopByte(k, rng)), out = std::make_shared<Bytes>(k);
  auto slot = std::make_shared<RsaKeyMaterial>(keys[0]);
  return {"rsa-key", [=](int cls, std::mt19937_64& r) { *slot = inputs->Pick(cls, r); },
          [=] {
            RsaPrivateKeyOp op;
            if (op.Init(*slot) != 0 || op.Apply(in->data(), k, out->data(), k) != 0) std::abort();
          }};
}

// The search on seeds whose first candidate is a prime of `bits` bits.
Target PrimeTarget(std::size_t bits) {
  std::vector<Bytes> seeds;
  for (std::uint64_t s = 1000; seeds.size() <= kPoolSize; ++s) {
    Bytes bytes(PrimeSeedBytes(bits));
    SeededFill(s)(bytes.data(), bytes.size());
    BigNum prime;
    if (FindPrime(bytes.data(), bits, BigNum(65537), &prime) != 0 || prime.BitLength() != bits)
      continue;
    seeds.push_back(SeedOf(prime, bits));
  }
  auto inputs = std::make_shared<Inputs<Bytes>>();
  inputs->fixed = seeds[0];
  inputs->random.assign(seeds.begin() + 1, seeds.end());
  auto seed = std::make_shared<Bytes>(seeds[0].size());
  return {"prime", [=](int cls, std::mt19937_64& r) { *seed = inputs->Pick(cls, r); },
          [=] {
            BigNum prime;
            if (FindPrime(seed->data(), bits, BigNum(65537), &prime) != 0) std::abort();
          }};
}

// The public-exponent exponentiation used on a secret: a sparse exponent
// takes far fewer products than random ones.
Target ControlTarget(std::size_t bits, std::mt19937_64& rng) {
  const RsaKeyMaterial key = MakeKeys(static_cast<std::uint32_t>(2 * bits), 1, 1)[0];
  auto mont = std::make_shared<MontgomeryContext>();
  if (mont->Init(key.prime1) != 0) std::abort();
  auto inputs = std::make_shared<Inputs<BigNum>>();
  inputs->fixed.SetBit(bits - 1);
  inputs->fixed.SetBit(0);
  for (std::size_t i = 0; i < kPoolSize; ++i) inputs->random.push_back(RandomOfBits(bits, rng));
  auto base = std::make_shared<BigNum>(key.prime2);
  auto exponent = std::make_shared<BigNum>(inputs->fixed);
  return {"control", [=](int cls, std::mt19937_64& r) { *exponent = inputs->Pick(cls, r); },
          [=] { mont->Exp(*base, *exponent); }, true};
}

[[maybe_unused]] int RunChecks(int argc, char** argv) {  // unused when skipped
  const double seconds = EnvNumber("KCERTADM_TIMING_SECONDS", 3);
  const auto bits = static_cast<std::uint32_t>(EnvNumber("KCERTADM_TIMING_BITS", 1024));
  const std::uint64_t seed = std::random_device{}();
  std::mt19937_64 rng(seed);
  std::printf(
      "timing check: %u-bit keys, %.1f s per target and attempt, |t| threshold %.0f, seed %llu\n",
      bits, seconds, kThreshold, static_cast<unsigned long long>(seed));
  std::vector<Target> targets = {ControlTarget(bits / 2, rng),
                                 CiphertextTarget(bits, rng),
                                 ExponentTarget(bits, rng),
                                 KeyTarget(bits, rng),
                                 PrimeTarget(bits / 2),
                                 CiphertextTarget(bits, rng, Others::kSame),
                                 CiphertextTarget(bits, rng, Others::kSecondFixed)};
  int failures = 0;
  for (Target& target : targets) {
    const bool named =
        std::any_of(argv + 1, argv + argc, [&](const char* a) { return target.name == a; });
    const bool wanted = named || (argc < 2 && !target.only_when_named);
    if (!wanted) continue;
    bool passed = false;
    for (int attempt = 1; attempt <= kAttempts && !passed; ++attempt) {
      const Verdict v = Measure(target, target.must_leak ? std::min(seconds, 2.0) : seconds, rng);
      const bool leaks = v.max_t >= kThreshold;
      passed = leaks == target.must_leak;
      std::printf("%-15s attempt %d: %8zu runs, max |t| = %8.2f  %s\n", target.name.c_str(),
                  attempt, v.runs, v.max_t,
                  passed             ? "ok"
                  : target.must_leak ? "(control not caught yet)"
                                     : "(leak suspected)");
      std::printf("%-15s   t by crop:", "");
      for (std::size_t i = 0; i < v.t.size(); ++i)
        std::printf(" %g%%: %.2f", 100 * kCrops[i], v.t[i]);
      std::printf("\n");
      std::fflush(stdout);
    }
    if (!passed) {
      ++failures;
      std::printf("%s: %s\n", target.name.c_str(),
                  target.must_leak
                      ? "FAILED: the known leak went unseen, the measurement is not trustworthy"
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
