// The server's key material and names for the host: GetKeyData,
// GetServerKey, GetServerRootCert, FreeExtKeyData and GetCertDN.
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "asn1/asn1.h"
#include "base/secure_memory.h"
#include "cert/certificate.h"
#include "commands/cert_keyring.h"
#include "commands/common_steps.h"
#include "host/messages.h"
#include "host_interface/exported_services.h"
#include "host_interface/initialisation.h"
#include "host_interface/services_common.h"
#include "kcertadm.h"
#include "keyring/keyring.h"

namespace kcertadm {

namespace {

static_assert(offsetof(ServerKeyData, publicKey) == 0);
static_assert(offsetof(ServerKeyData, privateKey) == 16);
static_assert(offsetof(ServerKeyData, certificate) == 32);
static_assert(offsetof(ServerKeyData, rootCertificate) == 48);
static_assert(offsetof(ServerKeyData, badPassword) == 64);
static_assert(offsetof(Asn1Item, length) == sizeof(void*));

// Reports the slot's message into the host's buffer.
void Report(std::uint32_t slot, char* buffer, std::uint32_t size) {
  if (slot != kMsgNone) ReportMessage(slot, buffer, size);
}

// The last certificate of entry, which is released; none with 30026 when
// there is no entry, or with 30069 when it holds no certificate.
std::optional<Bytes> TakeLastCertificate(std::optional<KeyRingEntry> entry, std::uint32_t* slot) {
  if (!entry) {
    FailWith(slot, kMsgNoSuchEntry);
    return std::nullopt;
  }
  std::optional<Bytes> certificate = LastCertificate(*entry);
  KeyRingEntryFree(entry);
  if (!certificate) FailWith(slot, kMsgNoCertificate);
  return certificate;
}

std::int32_t FillKeyData(const SecurityCmdContext& hostContext, ServerKeyData* keyData,
                         std::uint32_t* slot) {
  KeyRingSession ring(hostContext);
  if (const int status = ring.Open(slot); status != 0) return status;

  std::optional<KeyRingEntry> entry = KeyRingDefaultKeyEntry();
  if (!entry || !entry->HasPrivateKey()) {
    KeyRingEntryFree(entry);
    return FailWith(slot, kMsgNoPrivateKeyEntry);
  }
  const Asn1Item encrypted = Asn1View(entry->privateKey.data(), entry->privateKey.size());
  std::int32_t status =
      DecryptPrivateKeyInfo(encrypted, ring.context.password, &keyData->privateKey, slot);
  if (status == 0 && !CopyToItem(entry->publicKey, &keyData->publicKey)) {
    status = FailWith(slot, kMsgOutOfMemory);
  }
  if (status == 0) {
    std::optional<Bytes> certificate = LastCertificate(*entry);
    if (!certificate) {
      status = FailWith(slot, kMsgNoCertificate);
    } else if (!CopyToItem(*certificate, &keyData->certificate)) {
      status = FailWith(slot, kMsgOutOfMemory);
    }
  }
  KeyRingEntryFree(entry);
  return status;
}

std::int32_t FillRootCertificate(const SecurityCmdContext& hostContext, ServerKeyData* keyData,
                                 std::uint32_t* slot) {
  KeyRingSession ring(hostContext);
  if (const int status = ring.Open(slot); status != 0) return status;

  std::optional<Bytes> certificate = TakeLastCertificate(KeyRingDefaultKeyEntry(), slot);
  if (!certificate) return -1;

  std::vector<std::uint8_t> root;
  if (ClimbToRoot(Asn1View(certificate->data(), certificate->size()), &root, slot) != 0) {
    return -1;
  }
  if (!CopyToItem(root, &keyData->rootCertificate)) return FailWith(slot, kMsgOutOfMemory);
  return 0;
}

std::int32_t ReadCertificateName(const SecurityCmdContext& hostContext, CertData* cert,
                                 DnFields* name, std::uint32_t* slot) {
  KeyRingSession ring(hostContext);
  if (const int status = ring.Open(slot); status != 0) return status;
  *cert = CertData{};

  std::optional<Bytes> certificate = TakeLastCertificate(
      HasText(ring.context.label) ? KeyRingFindEntry(ring.context.label) : KeyRingDefaultKeyEntry(),
      slot);
  if (!certificate) return -1;
  if (!CopyToItem(*certificate, &cert->der)) return FailWith(slot, kMsgOutOfMemory);

  CertFields fields{};
  if (ParseCert(cert, &fields, slot) != 0) return FailWith(slot, kMsgBadCertificate);
  *name = DnFields{};
  return ParseDNSeq(name, ring.context.getIssuer ? fields.issuer : fields.subject, slot);
}

// The shared frame of the key data services: lazy initialisation, a fresh
// record, the body, and a message only on failure.
template <typename Body>
std::int32_t KeyDataService(ServerKeyData* keyData, char* messageBuffer,
                            std::uint32_t messageBufferSize, Body body) {
  std::uint32_t slot = kMsgNone;
  if (keyData == nullptr) {
    Report(kMsgOutOfMemory, messageBuffer, messageBufferSize);
    return -1;
  }
  keyData->badPassword = 0;
  const std::int32_t status = RunService(&slot, [&]() -> std::int32_t {
    if (LazyInitialise(slot) != 0) return -1;
    *keyData = ServerKeyData{};
    return body(&slot);
  });
  if (status != 0) {
    Report(slot, messageBuffer, messageBufferSize);
    if (slot == kMsgBadPassword) keyData->badPassword = 1;
  }
  return status;
}

}  // namespace

}  // namespace kcertadm

std::int32_t kcertadm::GetKeyDataService(SecurityCmdContext* context, ServerKeyData* keyData,
                                         char* messageBuffer, std::uint32_t messageBufferSize) {
  return kcertadm::KeyDataService(
      keyData, messageBuffer, messageBufferSize, [&](std::uint32_t* slot) -> std::int32_t {
        if (context == nullptr) {
          return kcertadm::FailWith(slot, kcertadm::kMsgKeyRingReadFailed);
        }
        return kcertadm::FillKeyData(*context, keyData, slot);
      });
}

std::int32_t kcertadm::GetServerKeyService(const char* keyFile, const char* password,
                                           ServerKeyData* keyData, char* messageBuffer,
                                           std::uint32_t messageBufferSize) {
  SecurityCmdContext context{};
  context.keyFile = keyFile;
  context.password = password;
  return kcertadm::GetKeyDataService(&context, keyData, messageBuffer, messageBufferSize);
}

std::int32_t kcertadm::GetServerRootCertService(const char* keyFile, ServerKeyData* keyData,
                                                char* messageBuffer,
                                                std::uint32_t messageBufferSize) {
  SecurityCmdContext context{};
  context.keyFile = keyFile;
  context.useStash = 1;
  return kcertadm::KeyDataService(
      keyData, messageBuffer, messageBufferSize,
      [&](std::uint32_t* slot) { return kcertadm::FillRootCertificate(context, keyData, slot); });
}

void kcertadm::FreeExtKeyDataService(ServerKeyData* keyData) {
  if (keyData == nullptr) return;
  if (keyData->privateKey.data != nullptr && keyData->privateKey.length > 0) {
    kcertadm::SecureWipe(keyData->privateKey.data,
                         static_cast<std::size_t>(keyData->privateKey.length));
  }
  std::free(keyData->privateKey.data);
  std::free(keyData->publicKey.data);
  std::free(keyData->certificate.data);
  std::free(keyData->rootCertificate.data);
  *keyData = ServerKeyData{};
}

std::int32_t kcertadm::GetCertDNService(SecurityCmdContext* context, CertData* cert, DnFields* name,
                                        char* messageBuffer, std::uint32_t messageBufferSize) {
  std::uint32_t slot = kcertadm::kMsgNone;
  const std::int32_t status = kcertadm::RunService(&slot, [&]() -> std::int32_t {
    if (kcertadm::LazyInitialise(slot) != 0) return -1;
    if (context == nullptr || cert == nullptr || name == nullptr) {
      return kcertadm::FailWith(&slot, kcertadm::kMsgBadCertificate);
    }
    return kcertadm::ReadCertificateName(*context, cert, name, &slot);
  });
  if (status != 0) kcertadm::Report(slot, messageBuffer, messageBufferSize);
  return status;
}
