#include "crypto/random/random_shared.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <mutex>

#include "base/locks.h"
#include "base/secure_memory.h"
#include "crypto/random/entropy.h"
#include "crypto/rsa/rsa_keygen_method.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "host/host_random.h"

namespace kcertadm {
namespace {

// Guarded by RandomLock.
struct SharedState {
  AlgorithmObject* random = nullptr;
  ReseedSchedule schedule;
};

SharedState& Shared() {
  static SharedState state;
  return state;
}

std::uint32_t SystemClock() { return static_cast<std::uint32_t>(std::time(nullptr)); }
std::atomic<std::uint32_t (*)()> g_clock{&SystemClock};

std::uint32_t Now() { return g_clock.load()(); }

// Runs body(SharedRandom) under RandomLock, creating SharedRandom first if
// needed. Creation reads the key ring, so then KeyRingLock is taken before
// RandomLock, never inside it.
template <typename Body>
int WithSharedRandom(Body&& body) {
  {
    RandomGuard random;
    if (Shared().random != nullptr) return body(Shared().random);
  }
  KeyRingGuard key_ring;
  RandomGuard random;
  SharedState& state = Shared();
  if (state.random == nullptr) {
    state.random = CreateSeededRandom();
    state.schedule.Restart(Now());
  }
  if (state.random == nullptr) return TkErrBadRandomObject;
  return body(state.random);
}

void Reseed(AlgorithmObject* random, ReseedSchedule& schedule) {
  std::uint8_t fresh[16];
  std::uint8_t table[ReseedSchedule::kCalls * 4];
  schedule.TableBytes(table);
  {
    ToolkitScope lock;
    RandomGenerate(random, fresh, sizeof fresh, nullptr);
  }
  {
    ToolkitScope lock;
    RandomSeed(random, fresh, sizeof fresh, nullptr);
    RandomSeed(random, table, sizeof table, nullptr);
  }
  SecureWipe(fresh, sizeof fresh);
  schedule.Restart(Now());
}

}  // namespace

bool ReseedSchedule::RecordCall(std::uint32_t now) {
  if (now - last_reseed_ < kSeconds + 1 && count_ != kCalls) {
    times_[count_++] = now;
    return false;
  }
  return true;
}

void ReseedSchedule::TableBytes(std::uint8_t out[kCalls * 4]) const {
  for (std::uint32_t i = 0; i < kCalls; ++i)
    for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<std::uint8_t>(times_[i] >> (8 * b));
}

AlgorithmObject* CreateSeededRandom() {
  AlgorithmObject* random = nullptr;
  {
    ToolkitScope lock;
    if (AlgCreate(&random) != TkOk) return nullptr;
    if (AlgSetInfo(random, AlgInfoRandomMd5(), nullptr) != TkOk ||
        RandomInit(random, RandomMethods, nullptr) != TkOk) {
      AlgDestroy(&random);
      return nullptr;
    }
  }
  const SeedSink seed = [random](const std::uint8_t* data, std::size_t size) {
    ToolkitScope lock;
    RandomSeed(random, data, static_cast<std::uint32_t>(size), nullptr);
  };
  SeedFromMachine(seed);
  return random;
}

int GetRandomBytes(std::uint8_t* out, std::size_t count) {
  if (count == 0) return TkOk;
  if (out == nullptr) return TkErrBadParameter;
  const int status = WithSharedRandom([&](AlgorithmObject* random) {
    SharedState& state = Shared();
    if (state.schedule.RecordCall(Now())) Reseed(random, state.schedule);
    ToolkitScope lock;
    std::size_t done = 0;
    while (done < count) {
      const std::uint32_t chunk =
          static_cast<std::uint32_t>(std::min<std::size_t>(count - done, 1u << 30));
      if (int s = RandomGenerate(random, out + done, chunk, nullptr)) return s;
      done += chunk;
    }
    return TkOk;
  });
  if (status == TkOk) return TkOk;
  return HostRandomBytes(out, count) ? TkOk : TkErrBadRandomObject;
}

int GenerateRsaKeyPairShared(AlgorithmObject* generator, KeyObject* publicKey,
                             KeyObject* privateKey) {
  return WithSharedRandom([&](AlgorithmObject* random) {
    ToolkitScope lock;
    return KeyPairGenerate(generator, publicKey, privateKey, random, nullptr);
  });
}

int GenerateRsaPrivateKey(std::uint32_t modulusBits, KeyObject** privateKey) {
  if (privateKey == nullptr) return TkErrBadKeyObject;
  *privateKey = nullptr;
  static const std::uint8_t kExponent[] = {0x01, 0x00, 0x01};
  const RsaKeyGenParams params{modulusBits, ByteItem{kExponent, sizeof kExponent}};
  AlgorithmObject* generator = nullptr;
  KeyObject* public_key = nullptr;
  KeyObject* private_key = nullptr;
  int status;
  {
    ToolkitScope lock;
    status = AlgCreate(&generator);
    if (status == TkOk) status = AlgSetInfo(generator, AlgInfoRsaKeyGen(), &params);
    if (status == TkOk) status = KeyPairGenerateInit(generator, KeyRingMethods, nullptr);
    if (status == TkOk) status = KeyCreate(&public_key);
    if (status == TkOk) status = KeyCreate(&private_key);
  }
  if (status == TkOk) status = GenerateRsaKeyPairShared(generator, public_key, private_key);
  ToolkitScope lock;
  AlgDestroy(&generator);
  KeyDestroy(&public_key);
  if (status != TkOk) KeyDestroy(&private_key);
  *privateKey = private_key;
  return status;
}

void SetRandomClockForTesting(std::uint32_t (*now)()) {
  g_clock = now != nullptr ? now : &SystemClock;
}

void InstallSharedRandomForTesting(AlgorithmObject* random) {
  RandomGuard guard;
  SharedState& state = Shared();
  {
    ToolkitScope lock;
    AlgDestroy(&state.random);
  }
  state.random = random;
  state.schedule = ReseedSchedule();
  state.schedule.Restart(Now());
}

}  // namespace kcertadm
