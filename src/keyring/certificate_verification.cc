#include "keyring/certificate_verification.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <new>

#include "asn1/der_reader.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/signature.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/certificate_parts.h"
#include "keyring/host_roots.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

struct TrustedRootCache {
  int count = -2;  // not built yet
  std::array<Bytes, kTrustedRootCacheSlots> names;
  std::array<OwnedKey, kTrustedRootCacheSlots> keys;
  std::array<std::size_t, kTrustedRootCacheSlots> keyLengths{};
};

// Never destroyed: its keys are not released at exit, when the toolkit's
// lock may be gone already.
TrustedRootCache& Cache() {
  static TrustedRootCache& cache = *new TrustedRootCache;
  return cache;
}

std::time_t (*verificationClock)() = nullptr;

// A public key object from the numbers; empty on failure.
OwnedKey MakePublicKey(const RsaPublicNumbers& numbers) {
  ToolkitLockHeld lock;
  OwnedKey key;
  if (key.Create(lock) != 0) return OwnedKey();
  const RsaPublicKeyRecord record = RecordOf(numbers);
  if (KeySetInfo(lock, key.get(), KeyInfoRsaPublic(), &record) != 0) return OwnedKey();
  return key;
}

// "YYMMDDHHMM[SS]Z" or "YYYYMMDDHHMM[SS]Z" as years since 1900 in three
// digits followed by the rest; none when it cannot be read.
std::optional<std::string> YearsSince1900(const der::Element& time) {
  std::string text(time.content.begin(), time.content.end());
  std::size_t yearDigits = time.tag == der::kUtcTime ? 2 : 4;
  if (text.size() <= yearDigits) return std::nullopt;
  for (std::size_t i = 0; i < yearDigits; ++i)
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  // UTCTime years 00-49 are 2000-2049, 50-99 are 1950-1999 (RFC 5280).
  if (time.tag == der::kUtcTime) return (text[0] < '5' ? "1" : "0") + text;
  int year = std::stoi(text.substr(0, 4));
  if (year < 1900 || year > 2899) return std::nullopt;
  char prefix[8];
  std::snprintf(prefix, sizeof prefix, "%03d", year - 1900);
  return prefix + text.substr(4);
}

std::string CurrentTimeText() {
  std::time_t now = verificationClock ? verificationClock() : std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::snprintf(text, sizeof text, "%03d%02d%02d%02d%02dZ", utc.tm_year, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min);
  return text;
}

// True when now lies within the certificate's validity. notBefore must be a
// UTCTime; notAfter may also be a GeneralizedTime (dates from 2050 on).
bool WithinValidity(ByteView tbs) {
  Bytes validity;
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsValidity] = &validity;
  if (TbsCertificateFields(tbs, fields) != 0) return false;
  der::View in = validity;
  auto outer = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
  if (!outer) return false;
  der::View times = outer->content;
  auto notBefore = der::Next(times, der::kIndefiniteAsEmpty);
  auto notAfter = der::Next(times, der::kIndefiniteAsEmpty);
  if (!notBefore || !notAfter || notBefore->tag != der::kUtcTime) return false;
  if (notAfter->tag != der::kUtcTime && notAfter->tag != der::kGeneralizedTime) return false;
  auto from = YearsSince1900(*notBefore);
  auto until = YearsSince1900(*notAfter);
  if (!from || !until) return false;
  std::string now = CurrentTimeText();
  return now >= *from && now <= *until;
}

}  // namespace

void SetVerificationClockForTesting(std::time_t (*clock)()) { verificationClock = clock; }

void TrustedRootCacheRelease() {
  KeyRingGuard guard;
  TrustedRootCache& cache = Cache();
  for (int i = 0; i < kTrustedRootCacheSlots; ++i) {
    cache.names[i].clear();
    cache.keys[i].reset();
    cache.keyLengths[i] = 0;
  }
  cache.count = -2;
}

void TrustedRootCacheRebuild() {
  KeyRingGuard guard;
  TrustedRootCacheRelease();
  TrustedRootCache& cache = Cache();
  int used = 0;
  KeyRingCursor cursor;
  do {
    auto entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    if (!entry->IsTrustedRoot()) continue;
    RsaPublicNumbers numbers;
    if (SpkiModulusExponent(entry->publicKey, numbers) != 0) continue;
    OwnedKey key = MakePublicKey(numbers);
    if (!key) continue;
    cache.names[used] = entry->subjectName;
    cache.keys[used] = std::move(key);
    cache.keyLengths[used] = entry->publicKey.size();
    ++used;
  } while (!cursor.AtEnd() && used < kTrustedRootCacheSlots);
  cache.count = used;
}

KeyObject* TrustedRootCacheFindKey(ByteView issuerName) {
  KeyRingGuard guard;
  TrustedRootCache& cache = Cache();
  if (cache.count < 0) TrustedRootCacheRebuild();
  for (int i = 0; i < cache.count; ++i) {
    if (der::Equal(cache.names[i], issuerName)) return cache.keys[i].get();
  }
  return nullptr;
}

int TrustedRootCacheCount() {
  KeyRingGuard guard;
  return Cache().count;
}

OwnedKey CertificatePublicKey(ByteView tbsCertificate) {
  Bytes spki;
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsSubjectPublicKeyInfo] = &spki;
  if (TbsCertificateFields(tbsCertificate, fields) != 0) return OwnedKey();
  RsaPublicNumbers numbers;
  if (SpkiModulusExponent(spki, numbers) != 0) return OwnedKey();
  return MakePublicKey(numbers);
}

OwnedKey CertificatePublicKeyFromDer(ByteView certificate) {
  Bytes tbs;
  if (CertificateParts(certificate, &tbs, nullptr, nullptr) != 0) return OwnedKey();
  return CertificatePublicKey(tbs);
}

int RsaVerifyData(int kind, ByteView data, ByteView signature, KeyObject* publicKey) {
  if (!publicKey || data.size() > 0xFFFFFFFFu || signature.size() > 0xFFFFFFFFu) return -1;
  ToolkitLockHeld lock;
  const ToolkitStatus status =
      VerifyData(lock, kind, publicKey, data.data(), static_cast<std::uint32_t>(data.size()),
                 signature.data(), static_cast<std::uint32_t>(signature.size()));
  return status.ok() ? 0 : -1;
}

std::optional<Bytes> RsaSignData(int kind, KeyObject* privateKey, ByteView data) {
  if (!privateKey || data.size() > 0xFFFFFFFFu) return std::nullopt;
  ToolkitLockHeld lock;
  const void* record = nullptr;
  if (KeyGetInfo(lock, &record, privateKey, KeyInfoRsaPublic()) != 0 || !record)
    return std::nullopt;
  const RsaPublicNumbers key = NumbersOf(*static_cast<const RsaPublicKeyRecord*>(record));
  const auto size = static_cast<std::uint32_t>(key.modulus.size());
  Bytes signature(size);
  std::uint32_t length = 0;
  if (SignData(lock, kind, privateKey, data.data(), static_cast<std::uint32_t>(data.size()),
               signature.data(), &length, size) != 0)
    return std::nullopt;
  signature.resize(length);
  return signature;
}

VerifyStatus VerifyCertificate(ByteView certificate) {
  try {
    Bytes tbs, algorithm, signature, issuer, subject;
    if (CertificateParts(certificate, &tbs, &algorithm, &signature) != 0) return kVerifyBadEncoding;
    std::array<Bytes*, kTbsFieldCount> fields{};
    fields[kTbsIssuer] = &issuer;
    fields[kTbsSubject] = &subject;
    if (TbsCertificateFields(tbs, fields) != 0) return kVerifyBadEncoding;

    KeyRingGuard guard;  // keeps the cached key alive while it is used
    KeyObject* issuerKey = TrustedRootCacheFindKey(issuer);
    OwnedKey ownKey;
    bool selfSigned = false;
    if (!issuerKey) {
      if (issuer != subject) return kVerifyUntrusted;
      ownKey = CertificatePublicKey(tbs);
      if (!ownKey) return kVerifyUntrusted;
      issuerKey = ownKey.get();
      selfSigned = true;
    }

    // MD2, MD5 and SHA-2; SHA-1 is not taken on this path.
    const int kind = SignatureSelectorOf(algorithm.data(), algorithm.size());
    if (kind == 0 || kind == kSignatureSha1) return kVerifyBadEncoding;
    if (RsaVerifyData(kind, tbs, signature, issuerKey) != 0) return kVerifyUntrusted;
    if (!WithinValidity(tbs)) return kVerifyNotValidNow;

    if (!selfSigned && !CertificatePublicKey(tbs)) return kVerifyBadEncoding;
    return selfSigned ? kVerifySelfSigned : kVerifyTrusted;
  } catch (const std::bad_alloc&) {
    return kVerifyNoMemory;
  }
}

namespace {
std::atomic<std::size_t> hostRootsSkipped{0};
}  // namespace

KeyRingStatus KeyRingAddHostRoots() {
  std::vector<HostRootRow> rows;
  std::size_t skipped = 0;
  const int hostStatus = HostGetTrustedRoots(rows, skipped);
  hostRootsSkipped = skipped;
  if (hostStatus != 0) return KeyRingStatusFromNumber(hostStatus);
  KeyRingStatus status = kKeyRingOk;
  for (const HostRootRow& row : rows) {
    status = KeyRingAddCertificate(row.certificate, row.label, nullptr);
    if (status == kKeyRingBadFormat || status == kKeyRingShortWrite) {
      ++skipped;  // too large for a field or a record
      status = kKeyRingOk;
      continue;
    }
    if (Succeeded(status) && (row.flags & kKeyRingTrustedRoot) != 0)
      status = KeyRingMarkRoot(row.publicKey);
    if (!Succeeded(status)) break;
  }
  hostRootsSkipped = skipped;
  return status;
}

std::size_t KeyRingHostRootsSkipped() { return hostRootsSkipped; }

}  // namespace kcertadm
