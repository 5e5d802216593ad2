// Certificates handed to the host as PKCS #7 packages, and certificate files
// read for it: PackagePKCS7Cert, EnvelopeCert and ReadCert.
#include <cstring>
#include <limits>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "commands/cert_files.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "host/messages.h"
#include "host_interface/exported_services.h"
#include "host_interface/initialisation.h"
#include "host_interface/services_common.h"
#include "kcertadm.h"

namespace kcertadm {

namespace {

std::int32_t EnvelopeCertificateText(const char* certText, char* output, std::uint32_t outputSize,
                                     std::uint32_t* slot) {
  if (LazyInitialise(*slot) != 0) return -1;
  CertRecord cert;
  const std::size_t length = certText != nullptr ? std::strlen(certText) : 0;
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
      Base64Decode(certText, static_cast<std::int32_t>(length), &cert->der) == 0) {
    // Nothing sensible can be packaged from text that does not decode.
    return FailWith(slot, kMsgDecodeFailed);
  }
  // A package may only wrap one complete DER element.
  if (!IsOneElement(cert->der)) return FailWith(slot, kMsgBadCertificate);
  if (PackagePkcs7(cert.get()) != 0) return FailWith(slot, kMsgPrepareFailed);
  if (EncodeCertificateText(cert.get(), false, slot) != 0) return -1;
  CopyTextToOutput(cert->certText, output, outputSize);
  return ReportSuccess(slot, SuccessMessage::kCertSigned);
}

std::int32_t ReadCertificateForHost(SecurityCmdContext* context, CertData* cert,
                                    std::uint32_t* slot) {
  if (context == nullptr || cert == nullptr) return FailWith(slot, kMsgCertFileReadFailed);
  FilePtr file = OpenInputFile(*context, slot);
  if (!file) return -1;
  return ReadCertificateFile(cert, file.get(), context->useBER != 0, context->usePKCS != 0, slot);
}

}  // namespace

}  // namespace kcertadm

using kcertadm::FailWith;
using kcertadm::RunService;

std::int32_t kcertadm::PackagePKCS7CertService(CertData* cert) {
  if (!kcertadm::IsLibraryInitialised() || cert == nullptr) return -1;
  std::uint32_t slot = kcertadm::kMsgNone;
  return RunService(&slot, [&] {
    kcertadm::DerFree(&cert->pkcs7);
    return kcertadm::PackagePkcs7(cert) == 0 ? 0 : -1;
  });
}

std::int32_t kcertadm::EnvelopeCertService(std::int32_t /*ignored*/, const char* certText,
                                           char* output, std::uint32_t outputSize,
                                           char* messageBuffer, std::uint32_t messageBufferSize) {
  std::uint32_t slot = kcertadm::kMsgNone;
  const std::int32_t status = RunService(&slot, [&] {
    return kcertadm::EnvelopeCertificateText(certText, output, outputSize, &slot);
  });
  if (slot != kcertadm::kMsgNone) kcertadm::ReportMessage(slot, messageBuffer, messageBufferSize);
  return status;
}

std::int32_t kcertadm::ReadCertService(SecurityCmdContext* context, CertData* cert,
                                       std::uint32_t* error) {
  if (!kcertadm::IsLibraryInitialised()) return FailWith(error, kcertadm::kMsgInitFailed);
  return RunService(error, [&] { return kcertadm::ReadCertificateForHost(context, cert, error); });
}
