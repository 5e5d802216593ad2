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

// Guarded by RandomLock. Never destroyed: SharedRandom lives as long as
// the process.
struct SharedState {
  OwnedAlgorithm random;
  ReseedSchedule schedule;
};

SharedState& Shared() {
  static SharedState& state = *new SharedState;
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
    if (Shared().random) return body(Shared().random.get());
  }
  KeyRingGuard key_ring;
  RandomGuard random;
  SharedState& state = Shared();
  if (!state.random) {
    state.random = CreateSeededRandom();
    state.schedule.Restart(Now());
  }
  if (!state.random) return TkErrBadRandomObject;
  return body(state.random.get());
}

// Reseeds from the generator's own output and the call times. A reseed
// that fails leaves the schedule as it was, so the next call tries again;
// the caller serves no bytes of the generator meanwhile. 0 or the status.
int Reseed(AlgorithmObject* random, ReseedSchedule& schedule) {
  std::uint8_t fresh[16] = {};
  std::uint8_t table[ReseedSchedule::kCalls * 4];
  schedule.TableBytes(table);
  int status;
  {
    ToolkitLockHeld lock;
    status = RandomGenerate(lock, random, fresh, sizeof fresh, nullptr).code();
  }
  if (status == TkOk) {
    ToolkitLockHeld lock;
    status = RandomSeed(lock, random, fresh, sizeof fresh, nullptr).code();
    if (status == TkOk) status = RandomSeed(lock, random, table, sizeof table, nullptr).code();
  }
  SecureWipe(fresh, sizeof fresh);
  if (status == TkOk) schedule.Restart(Now());
  return status;
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

OwnedAlgorithm CreateSeededRandom() {
  OwnedAlgorithm random;
  {
    ToolkitLockHeld lock;
    if (random.Create(lock) != TkOk ||
        AlgSetInfo(lock, random.get(), AlgInfoRandomMd5(), nullptr) != TkOk ||
        RandomInit(lock, random.get(), RandomMethods, nullptr) != TkOk)
      return OwnedAlgorithm();
  }
  // A generator that missed part of its seed is not used.
  int seeding = TkOk;
  const SeedSink seed = [object = random.get(), &seeding](const std::uint8_t* data,
                                                          std::size_t size) {
    ToolkitLockHeld lock;
    const int status =
        RandomSeed(lock, object, data, static_cast<std::uint32_t>(size), nullptr).code();
    if (seeding == TkOk) seeding = status;
  };
  SeedFromMachine(seed);
  if (seeding != TkOk) return OwnedAlgorithm();
  return random;
}

ToolkitStatus GetRandomBytes(std::uint8_t* out, std::size_t count) {
  if (count == 0) return TkOk;
  if (out == nullptr) return TkErrBadParameter;
  const int status = WithSharedRandom([&](AlgorithmObject* random) {
    SharedState& state = Shared();
    if (state.schedule.RecordCall(Now())) {
      if (int s = Reseed(random, state.schedule)) return s;
    }
    ToolkitLockHeld lock;
    std::size_t done = 0;
    while (done < count) {
      const std::uint32_t chunk =
          static_cast<std::uint32_t>(std::min<std::size_t>(count - done, 1u << 30));
      if (int s = RandomGenerate(lock, random, out + done, chunk, nullptr).code()) return s;
      done += chunk;
    }
    return TkOk;
  });
  if (status == TkOk) return TkOk;
  return HostRandomBytes(out, count) ? TkOk : TkErrBadRandomObject;
}

ToolkitStatus GenerateRsaKeyPairShared(AlgorithmObject* generator, KeyObject* publicKey,
                                       KeyObject* privateKey) {
  return WithSharedRandom([&](AlgorithmObject* random) {
    ToolkitLockHeld lock;
    return KeyPairGenerate(lock, generator, publicKey, privateKey, random, nullptr).code();
  });
}

ToolkitStatus GenerateRsaPrivateKey(std::uint32_t modulusBits, OwnedKey& privateKey) {
  privateKey.reset();
  static const std::uint8_t kExponent[] = {0x01, 0x00, 0x01};
  const RsaKeyGenParams params{modulusBits, ByteItem{kExponent, sizeof kExponent}};
  OwnedAlgorithm generator;
  OwnedKey public_key;
  OwnedKey private_key;
  int status;
  {
    ToolkitLockHeld lock;
    status = generator.Create(lock).code();
    if (status == TkOk)
      status = AlgSetInfo(lock, generator.get(), AlgInfoRsaKeyGen(), &params).code();
    if (status == TkOk)
      status = KeyPairGenerateInit(lock, generator.get(), KeyRingMethods, nullptr).code();
    if (status == TkOk) status = public_key.Create(lock).code();
    if (status == TkOk) status = private_key.Create(lock).code();
  }
  if (status == TkOk)
    status = GenerateRsaKeyPairShared(generator.get(), public_key.get(), private_key.get()).code();
  if (status == TkOk) privateKey = std::move(private_key);
  return status;
}

void SetRandomClockForTesting(std::uint32_t (*now)()) {
  g_clock = now != nullptr ? now : &SystemClock;
}

void InstallSharedRandomForTesting(OwnedAlgorithm random) {
  RandomGuard guard;
  SharedState& state = Shared();
  state.random = std::move(random);
  state.schedule = ReseedSchedule();
  state.schedule.Restart(Now());
}

}  // namespace kcertadm
