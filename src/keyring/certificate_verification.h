// Trusted roots and certificate verification: the cache of trusted-root
// keys, the host's predefined roots, RSA signing and verifying of data, and
// the verification of a received certificate against the trusted roots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>

#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/keyring_entry.h"
#include "keyring/keyring_status.h"

namespace kcertadm {

struct KeyObject;  // the toolkit's key object

// How the verification of a certificate ended.
// clang-format off
enum class [[nodiscard]] VerifyStatus : int {
  kTrusted = 0,        // signed by a trusted root
  kUntrusted = -14,    // issuer not trusted, or signature wrong
  kBadEncoding = -15,  // undecodable, or signature algorithm not taken
  kSelfSigned = -18,   // self-signed, verified by its own key
  kNoMemory = -20,
  kNotValidNow = -25,  // outside its validity, or validity unreadable
};
// clang-format on

inline constexpr VerifyStatus kVerifyTrusted = VerifyStatus::kTrusted;
inline constexpr VerifyStatus kVerifyUntrusted = VerifyStatus::kUntrusted;
inline constexpr VerifyStatus kVerifyBadEncoding = VerifyStatus::kBadEncoding;
inline constexpr VerifyStatus kVerifySelfSigned = VerifyStatus::kSelfSigned;
inline constexpr VerifyStatus kVerifyNoMemory = VerifyStatus::kNoMemory;
inline constexpr VerifyStatus kVerifyNotValidNow = VerifyStatus::kNotValidNow;

// The number a verification status has in the design of the key ring.
constexpr int VerifyStatusNumber(VerifyStatus status) { return static_cast<int>(status); }

// A good certificate: one that chains to a trusted root, or a self-signed
// one whose signature its own key verifies.
constexpr bool Verified(VerifyStatus status) {
  return status == VerifyStatus::kTrusted || status == VerifyStatus::kSelfSigned;
}

inline constexpr int kTrustedRootCacheSlots = 32;

// Adds the host's predefined roots (the PEM file named by KCERTADM_ROOTS;
// none configured is an empty table) to the in-memory key ring as
// certificate entries, marking those the host trusts. Roots a key ring
// cannot hold (a key that is not RSA, a certificate too large for a
// record) are skipped and counted. 0, or the status of the failing add or
// mark; the host's own status when it hands over no table.
KeyRingStatus KeyRingAddHostRoots();

// How many roots the last KeyRingAddHostRoots of this process skipped; 0
// before any. The library prints nothing: the command-line tool reads this
// after creating a key ring and tells its user.
std::size_t KeyRingHostRootsSkipped();

// Rebuilds the cache from the trusted entries of the key ring.
void TrustedRootCacheRebuild();
// Releases the cached roots; the next lookup builds the cache anew from
// the key ring then in memory. Every KeyRingClear (so every KeyRingOpen)
// calls it: certificates are checked against the roots of the key ring
// open now, never of one opened before.
void TrustedRootCacheRelease();
// The key of the first cached root with this subject name (owned by the
// cache), or null. Builds the cache on first use.
KeyObject* TrustedRootCacheFindKey(ByteView issuerName);
// Slots in use, or -2 before the first build.
int TrustedRootCacheCount();

// A new RSA public key object from a tbsCertificate's subjectPublicKeyInfo,
// or from a whole certificate; empty on failure.
OwnedKey CertificatePublicKey(ByteView tbsCertificate);
OwnedKey CertificatePublicKeyFromDer(ByteView certificate);

// Signature kinds: 1 md2WithRSAEncryption, 2 md5WithRSAEncryption,
// 3 sha1WithRSAEncryption, 4 to 6 sha256/384/512WithRSAEncryption.
// 0 when signature is a good signature of data under publicKey, else -1.
[[nodiscard]] int RsaVerifyData(int kind, ByteView data, ByteView signature, KeyObject* publicKey);
// Signature of data (MD5 for kind 2, SHA-2 for 4 to 6, MD2 for any other),
// modulus-sized; none on failure.
std::optional<Bytes> RsaSignData(int kind, KeyObject* privateKey, ByteView data);

// Verifies a DER certificate: issuer's signature and validity period.
VerifyStatus VerifyCertificate(ByteView certificate);

// For tests: the clock the validity check reads (null: the real one).
void SetVerificationClockForTesting(std::time_t (*clock)());

}  // namespace kcertadm
