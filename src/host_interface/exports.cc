// The 22 functions of kcertadm.h, all here and each a thin wrapper that
// runs its body through GuardExport: one guard, so that no exception ever
// reaches the host. An export that fails this way answers as for running
// out of memory: its failure result, with message 30070 wherever it leaves
// its messages (30000 for InitSecLib).
#include "armour/base64.h"
#include "cert/certificate.h"
#include "cert/dn.h"
#include "cert/string_convert.h"
#include "cert/validity.h"
#include "host/message_reporter.h"
#include "host_interface/command_entry.h"
#include "host_interface/export_guard.h"
#include "host_interface/exported_services.h"
#include "kcertadm.h"

using kcertadm::GuardExport;
using kcertadm::OutOfMemoryIn;
using kcertadm::OutOfMemoryInBuffer;

namespace {
auto Nothing() {
  return [] {};
}
}  // namespace

// ---- Initialisation and commands -------------------------------------------

extern "C" KCERTADM_API std::int32_t InitSecLib(std::uint32_t* errorNumber) {
  return GuardExport(
      0, [&] { return kcertadm::InitSecLibService(errorNumber); },
      [&] { kcertadm::FailWith(errorNumber, kcertadm::kMsgInitFailed); });
}

extern "C" KCERTADM_API std::int32_t ProcessSecurityCmd(const char* command, char* parameters,
                                                        char* messageBuffer,
                                                        std::uint32_t messageBufferSize) {
  kcertadm::MessageReporter reporter(messageBuffer, messageBufferSize);
  return GuardExport(
      -1, [&] { return kcertadm::ProcessCommand(command ? command : "", parameters, reporter); },
      [&] { reporter.Report(kcertadm::kMsgOutOfMemory); });
}

// ---- Client enrolment and request signing -----------------------------------

extern "C" KCERTADM_API std::int32_t ProcessClientCertReq(SecurityCmdContext* context,
                                                          CertData* cert, std::uint32_t* error) {
  return GuardExport(
      -1, [&] { return kcertadm::ProcessClientCertReqService(context, cert, error); },
      OutOfMemoryIn(error));
}

extern "C" KCERTADM_API std::int32_t SignClientCert(SecurityCmdContext* context, CertData* cert,
                                                    std::uint32_t* error) {
  return GuardExport(
      -1, [&] { return kcertadm::SignClientCertService(context, cert, error); },
      OutOfMemoryIn(error));
}

extern "C" KCERTADM_API std::int32_t SignCertificate(const char* parameters,
                                                     const char* requestText, char* output,
                                                     std::uint32_t outputSize, char* messageBuffer,
                                                     std::uint32_t messageBufferSize) {
  return GuardExport(
      -1,
      [&] {
        return kcertadm::SignCertificateService(parameters, requestText, output, outputSize,
                                                messageBuffer, messageBufferSize);
      },
      OutOfMemoryInBuffer(messageBuffer, messageBufferSize));
}

extern "C" KCERTADM_API std::int32_t ParseCertReq(CertData* cert, CertFields* fields,
                                                  std::uint32_t* error) {
  return GuardExport(
      -1, [&] { return kcertadm::ParseCertReqService(cert, fields, error); }, OutOfMemoryIn(error));
}

// ---- Packaging and certificate files ----------------------------------------

extern "C" KCERTADM_API std::int32_t PackagePKCS7Cert(CertData* cert) {
  return GuardExport(
      -1, [&] { return kcertadm::PackagePKCS7CertService(cert); }, Nothing());
}

extern "C" KCERTADM_API std::int32_t EnvelopeCert(std::int32_t ignored, const char* certText,
                                                  char* output, std::uint32_t outputSize,
                                                  char* messageBuffer,
                                                  std::uint32_t messageBufferSize) {
  return GuardExport(
      -1,
      [&] {
        return kcertadm::EnvelopeCertService(ignored, certText, output, outputSize, messageBuffer,
                                             messageBufferSize);
      },
      OutOfMemoryInBuffer(messageBuffer, messageBufferSize));
}

extern "C" KCERTADM_API std::int32_t ReadCert(SecurityCmdContext* context, CertData* cert,
                                              std::uint32_t* error) {
  return GuardExport(
      -1, [&] { return kcertadm::ReadCertService(context, cert, error); }, OutOfMemoryIn(error));
}

// ---- The server's key material ----------------------------------------------

extern "C" KCERTADM_API std::int32_t GetKeyData(SecurityCmdContext* context, ServerKeyData* keyData,
                                                char* messageBuffer,
                                                std::uint32_t messageBufferSize) {
  return GuardExport(
      -1,
      [&] {
        return kcertadm::GetKeyDataService(context, keyData, messageBuffer, messageBufferSize);
      },
      OutOfMemoryInBuffer(messageBuffer, messageBufferSize));
}

extern "C" KCERTADM_API std::int32_t GetServerKey(const char* keyFile, const char* password,
                                                  ServerKeyData* keyData, char* messageBuffer,
                                                  std::uint32_t messageBufferSize) {
  return GuardExport(
      -1,
      [&] {
        return kcertadm::GetServerKeyService(keyFile, password, keyData, messageBuffer,
                                             messageBufferSize);
      },
      OutOfMemoryInBuffer(messageBuffer, messageBufferSize));
}

extern "C" KCERTADM_API std::int32_t GetServerRootCert(const char* keyFile, ServerKeyData* keyData,
                                                       char* messageBuffer,
                                                       std::uint32_t messageBufferSize) {
  return GuardExport(
      -1,
      [&] {
        return kcertadm::GetServerRootCertService(keyFile, keyData, messageBuffer,
                                                  messageBufferSize);
      },
      OutOfMemoryInBuffer(messageBuffer, messageBufferSize));
}

extern "C" KCERTADM_API void FreeExtKeyData(ServerKeyData* keyData) {
  GuardExport([&] { kcertadm::FreeExtKeyDataService(keyData); });
}

extern "C" KCERTADM_API std::int32_t GetCertDN(SecurityCmdContext* context, CertData* cert,
                                               DnFields* name, char* messageBuffer,
                                               std::uint32_t messageBufferSize) {
  return GuardExport(
      -1,
      [&] {
        return kcertadm::GetCertDNService(context, cert, name, messageBuffer, messageBufferSize);
      },
      OutOfMemoryInBuffer(messageBuffer, messageBufferSize));
}

// ---- Certificates, names, dates and strings ---------------------------------

extern "C" KCERTADM_API std::int32_t ParseCert(CertData* cert, CertFields* fields,
                                               std::uint32_t* error) {
  return GuardExport(
      -1, [&] { return kcertadm::ParseCertificateData(cert, fields, error); },
      OutOfMemoryIn(error));
}

extern "C" KCERTADM_API void FreeCertData(CertData* cert) {
  GuardExport([&] { kcertadm::FreeCertificateData(cert); });
}

extern "C" KCERTADM_API std::int32_t ParseDNSeq(DnFields* fields, Asn1Item name,
                                                std::uint32_t* error) {
  return GuardExport(
      -1, [&] { return kcertadm::ParseNameSequence(fields, name, error); }, OutOfMemoryIn(error));
}

extern "C" KCERTADM_API std::int32_t GetTextDates(CertFields* fields, char* startText,
                                                  char* endText, std::uint32_t* error) {
  return GuardExport(
      -1, [&] { return kcertadm::FormatValidityDates(fields, startText, endText, error); },
      OutOfMemoryIn(error));
}

extern "C" KCERTADM_API std::uint16_t BMPToHCSET(const std::uint8_t* bmp, std::int32_t length,
                                                 char* out, std::int32_t outSize) {
  return GuardExport(
      std::uint16_t{0}, [&] { return kcertadm::BmpToHostText(bmp, length, out, outSize); },
      Nothing());
}

extern "C" KCERTADM_API std::uint16_t T61ToHCSET(const std::uint8_t* t61, std::int32_t length,
                                                 char* out, std::int32_t outSize) {
  return GuardExport(
      std::uint16_t{0}, [&] { return kcertadm::T61ToHostText(t61, length, out, outSize); },
      Nothing());
}

// ---- Base64 -----------------------------------------------------------------

extern "C" KCERTADM_API std::int32_t Base64Encode(const std::uint8_t* bytes, std::int32_t count,
                                                  Asn1Item* out) {
  return GuardExport(
      0, [&] { return kcertadm::Base64EncodeItem(bytes, count, out); }, Nothing());
}

extern "C" KCERTADM_API std::int32_t Base64Decode(const char* text, std::int32_t length,
                                                  Asn1Item* out) {
  return GuardExport(
      0, [&] { return kcertadm::Base64DecodeItem(text, length, out); }, Nothing());
}
