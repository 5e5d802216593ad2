// The process-wide random generator (SharedRandom) and its users.
//
// SharedRandom is an AlgInfoRandomMd5 object created and seeded from the
// machine (crypto/entropy.h) on first use, and reseeded from its own output
// and the table of call times once 300 calls have been recorded since the
// last reseed or more than 300 seconds have passed. It is never destroyed.
//
// Locks: these functions take RandomLock and, inside it, ToolkitLock. While
// SharedRandom does not exist yet they take KeyRingLock first (the seeding
// reads the key ring entries), so callers may hold KeyRingLock but must not
// hold RandomLock or ToolkitLock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/toolkit/toolkit_scope.h"

namespace kcertadm {

// Fills out with count random bytes from SharedRandom (after the reseed
// check). Returns 0. Should the generator be unusable (no memory for it,
// or a reseed that fails, which is tried again at the next call), the
// bytes come from the kernel's random source instead, so a caller is
// never handed unfilled bytes; only when that fails as well is a status
// returned (539) with the buffer zeroed.
ToolkitStatus GetRandomBytes(std::uint8_t* out, std::size_t count);

// Creates, initialises and seeds a new random object; empty if it cannot be
// created or a part of its seed is refused.
OwnedAlgorithm CreateSeededRandom();

// KeyPairGenerate on a generator object (AlgInfoRsaKeyGen set and
// KeyPairGenerateInit done by the caller) with SharedRandom, without the
// reseed check.
ToolkitStatus GenerateRsaKeyPairShared(AlgorithmObject* generator, KeyObject* publicKey,
                                       KeyObject* privateKey);

// The whole key-pair creation of the key ring: a generator for modulusBits
// bits and exponent 65537, KeyRingMethods, SharedRandom; on success
// privateKey owns a new key object holding KeyInfoRsaPrivate (empty on
// failure). The public key object is not kept.
ToolkitStatus GenerateRsaPrivateKey(std::uint32_t modulusBits, OwnedKey& privateKey);

// The reseed bookkeeping of SharedRandom.
class ReseedSchedule {
 public:
  static constexpr std::uint32_t kCalls = 300;
  static constexpr std::uint32_t kSeconds = 300;

  // SharedRandom created or reseeded at `now`.
  void Restart(std::uint32_t now) {
    last_reseed_ = now;
    count_ = 0;
  }
  // Records a call at `now`; true when the generator must be reseeded
  // instead (the 301st call, or more than 300 seconds after the last one).
  bool RecordCall(std::uint32_t now);
  // The whole table of call times, 4 bytes little-endian each (1,200
  // bytes, entries of earlier rounds included).
  void TableBytes(std::uint8_t out[kCalls * 4]) const;
  std::uint32_t count() const { return count_; }

 private:
  std::uint32_t last_reseed_ = 0;
  std::uint32_t count_ = 0;
  std::uint32_t times_[kCalls] = {};
};

// Test support: a clock in place of time(), and a replacement SharedRandom
// (the schedule restarts with an empty table).
void SetRandomClockForTesting(std::uint32_t (*now)());
void InstallSharedRandomForTesting(OwnedAlgorithm random);

}  // namespace kcertadm
