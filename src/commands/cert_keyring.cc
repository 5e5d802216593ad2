#include "commands/cert_keyring.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "asn1/asn1.h"
#include "base/secure_memory.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/signing_key.h"
#include "cert/validity.h"
#include "host/messages.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

bool SameBytes(const Bytes& stored, const Asn1Item& item) {
  const ByteView view = Asn1Bytes(item);
  return !view.empty() && stored.size() == view.size() &&
         std::equal(stored.begin(), stored.end(), view.begin());
}

// The key of the first trusted root whose subject is the issuer, or none.
OwnedKey TrustedIssuerKey(const Asn1Item& issuer) {
  KeyRingCursor cursor;
  do {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    if (entry->IsTrustedRoot() && SameBytes(entry->subjectName, issuer)) {
      OwnedKey key;
      const Asn1Item spki = Asn1ItemOver(entry->publicKey);
      PublicKeyFromSpki(spki, key, nullptr);
      KeyRingEntryFree(entry);
      return key;  // empty when the stored key is unusable
    }
    KeyRingEntryFree(entry);
  } while (!cursor.AtEnd());
  return OwnedKey();
}

}  // namespace

std::optional<Bytes> LastCertificate(const KeyRingEntry& entry) {
  const auto list = KeyRingEntryCertificates(entry);
  if (!list || list->empty()) return std::nullopt;
  return Bytes(list->back().begin(), list->back().end());
}

int CheckCertificate(CertData* cert, CertFields* fields, int verify, std::uint32_t* error) {
  if (ParseCert(cert, fields, error) != 0) return -1;
  // The key ring holds RSA keys only.
  if (IsForeignKeyType(fields->subjectPublicKeyInfo)) {
    return FailWith(error, kMsgUnsupportedKeyType);
  }
  if (verify) {
    OwnedKey key = TrustedIssuerKey(fields->issuer);
    if (!key && IsSelfIssued(*fields)) {
      if (PublicKeyFromSpki(fields->subjectPublicKeyInfo, key, error) != 0) {
        FailWith(error, kMsgIssuerNotFound);
        return -1;
      }
      cert->isSelfSigned = 1;
    }
    if (!key) {
      FailWith(error, kMsgIssuerNotFound);
      return -1;
    }
    const int verified = VerifySignature(*fields, key.get(), error);
    if (verified != 0) return -1;
  }
  return CheckValidityNow(fields, error);
}

int ClimbToRoot(const Asn1Item& certificate, std::vector<std::uint8_t>* root,
                std::uint32_t* error) {
  Bytes current(certificate.data, certificate.data + std::max(certificate.length, 0));
  // Each step moves to another entry; more steps than entries means a loop.
  const std::size_t limit = KeyRingEntryCount() + 1;
  for (std::size_t step = 0; step < limit; ++step) {
    CertData cert{};
    cert.der = Asn1ItemOver(current);
    CertFields fields{};
    if (ParseCert(&cert, &fields, error) != 0) return -1;
    if (IsSelfIssued(fields)) {
      root->assign(cert.der.data, cert.der.data + cert.der.length);
      return 0;
    }
    std::optional<KeyRingEntry> issuer = KeyRingFindBySubject(Asn1Bytes(fields.issuer));
    if (!issuer) {
      FailWith(error, kMsgIssuerNotFound);
      return -1;
    }
    std::optional<Bytes> next = LastCertificate(*issuer);
    KeyRingEntryFree(issuer);
    if (!next) {
      FailWith(error, kMsgNoCertificate);
      return -1;
    }
    current = std::move(*next);
  }
  FailWith(error, kMsgIssuerNotFound);
  return -1;
}

int LoadSigningKeyFromKeyRing(const char* password, SigningKey* signer, std::uint32_t* error) {
  KeyRingCursor cursor;
  std::optional<KeyRingEntry> chosen;
  do {
    std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    if (entry->HasPrivateKey() && entry->HasCertificates() && entry->IsTrustedRoot()) {
      chosen = std::move(entry);
      break;
    }
    KeyRingEntryFree(entry);
  } while (!cursor.AtEnd());
  if (!chosen) {
    FailWith(error, kMsgNoSigner);
    return -1;
  }
  const auto certificates = KeyRingEntryCertificates(*chosen);
  OwnedKey key;
  if (certificates && !certificates->empty()) {
    key = DecryptPrivateKey(ByteView(chosen->privateKey.data(), chosen->privateKey.size()),
                            password != nullptr ? std::string_view(password) : std::string_view());
  }
  if (!key) {
    KeyRingEntryFree(chosen);
    FailWith(error, certificates && !certificates->empty() ? kMsgKeyDecryptFailed : kMsgNoSigner);
    return -1;
  }
  signer->signerCertificate.assign(certificates->front().begin(), certificates->front().end());
  signer->signerSubject = chosen->subjectName;
  signer->issuerCert = Asn1ItemOver(signer->signerCertificate);
  signer->issuerName = Asn1ItemOver(signer->signerSubject);
  signer->signerKey = std::move(key);
  KeyRingEntryFree(chosen);
  return 0;
}

int DecryptPrivateKeyInfo(const Asn1Item& encrypted, const char* password, Asn1Item* plain,
                          std::uint32_t* error) {
  *plain = Asn1Item{};
  const std::optional<SecureBytes> decrypted = DecryptSealedKey(
      Asn1Bytes(encrypted), password != nullptr ? std::string_view(password) : std::string_view(),
      der::kFollowIndefinite);
  if (decrypted && CopyToItem(*decrypted, plain)) return 0;
  FailWith(error, kMsgKeyDecryptFailed);
  return -1;
}

}  // namespace kcertadm
