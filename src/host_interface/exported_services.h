// What the exports of kcertadm.h run, one internal function each (the
// header says what each does). exports.cc calls them through the one guard
// of the C interface; nothing else should. The certificate, name, date,
// string and Base64 exports run functions of their own subsystems
// (cert/certificate.h, cert/dn.h, cert/validity.h, cert/string_convert.h,
// armour/base64.h); ProcessSecurityCmd runs ProcessCommand.
#pragma once

#include <cstdint>

#include "kcertadm.h"

namespace kcertadm {

std::int32_t InitSecLibService(std::uint32_t* errorNumber);

std::int32_t ProcessClientCertReqService(SecurityCmdContext* context, CertData* cert,
                                         std::uint32_t* error);
std::int32_t SignClientCertService(SecurityCmdContext* context, CertData* cert,
                                   std::uint32_t* error);
std::int32_t SignCertificateService(const char* parameters, const char* requestText, char* output,
                                    std::uint32_t outputSize, char* messageBuffer,
                                    std::uint32_t messageBufferSize);
std::int32_t ParseCertReqService(CertData* cert, CertFields* fields, std::uint32_t* error);

std::int32_t PackagePKCS7CertService(CertData* cert);
std::int32_t EnvelopeCertService(std::int32_t ignored, const char* certText, char* output,
                                 std::uint32_t outputSize, char* messageBuffer,
                                 std::uint32_t messageBufferSize);
std::int32_t ReadCertService(SecurityCmdContext* context, CertData* cert, std::uint32_t* error);

std::int32_t GetKeyDataService(SecurityCmdContext* context, ServerKeyData* keyData,
                               char* messageBuffer, std::uint32_t messageBufferSize);
std::int32_t GetServerKeyService(const char* keyFile, const char* password, ServerKeyData* keyData,
                                 char* messageBuffer, std::uint32_t messageBufferSize);
std::int32_t GetServerRootCertService(const char* keyFile, ServerKeyData* keyData,
                                      char* messageBuffer, std::uint32_t messageBufferSize);
void FreeExtKeyDataService(ServerKeyData* keyData);
std::int32_t GetCertDNService(SecurityCmdContext* context, CertData* cert, DnFields* name,
                              char* messageBuffer, std::uint32_t messageBufferSize);

}  // namespace kcertadm
