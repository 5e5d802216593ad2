// Client enrolment and request signing for the host: ProcessClientCertReq,
// SignClientCert, SignCertificate and ParseCertReq.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "armour/pem.h"
#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/certificate.h"
#include "cert/dn.h"
#include "cert/signing_key.h"
#include "commands/cert_files.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "host/messages.h"
#include "host_interface/command_table.h"
#include "host_interface/exported_services.h"
#include "host_interface/initialisation.h"
#include "host_interface/parameter_parser.h"
#include "host_interface/services_client_request.h"
#include "host_interface/services_common.h"
#include "kcertadm.h"

namespace kcertadm {

namespace {

constexpr std::int32_t kMaxValidDays = 10000;

// Replaces cert->der (and any container it came from) by request, which
// the record then owns; tbs keeps its own copy.
int StoreClientRequest(CertData* cert, Asn1Item* request) {
  Asn1Item tbsCopy{};
  if (!CopyToItem(ByteView(request->data, static_cast<std::size_t>(request->length)), &tbsCopy)) {
    return -1;
  }
  std::free(cert->tbs.data);
  cert->tbs = tbsCopy;
  ReplaceDer(cert, *request);
  *request = Asn1Item{};
  return 0;
}

// Writes the request in the certificate armour and puts the file in place.
int WriteClientRequest(OutputFile& file, const CertData& cert, std::uint32_t* slot) {
  if (WriteArmouredObject(cert, file.get(), false) != 0)
    return FailWith(slot, kMsgOutputWriteFailed);
  return CommitOutput(file, slot);
}

std::int32_t ProcessClientRequest(SecurityCmdContext* context, CertData* cert,
                                  std::uint32_t* slot) {
  if (context == nullptr || cert == nullptr) return FailWith(slot, kMsgPrepareFailed);
  SubjectValues subject;
  if (subject.Build(*context, slot) != 0) return -1;

  OutputFile output;
  // An empty file name is a mistake of the caller's, not a wish for text.
  if (context->certFile != nullptr) {
    output = OpenOutputFile(*context, slot);
    if (!output) return -1;
  }

  const char* text = context->requestText;
  const std::uint32_t textLength = context->requestTextLength;
  if (text == nullptr ||
      textLength > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    return FailWith(slot, kMsgDecodeFailed);
  }
  Asn1Item decoded{};
  if (Base64Decode(text, static_cast<std::int32_t>(textLength), &decoded) == 0) {
    return FailWith(slot, kMsgDecodeFailed);
  }
  ReplaceDer(cert, decoded);

  CertFields fields{};
  if (ParseSignedKeyAndChallenge(cert->der, &fields, slot) != 0) return -1;

  DerFree(&cert->subjectDer);
  Asn1Item request{};
  if (EncodeName(&cert->subjectDer, subject.values) != 0 ||
      BuildClientRequest(cert->subjectDer, fields.subjectPublicKeyInfo, &request) != 0 ||
      StoreClientRequest(cert, &request) != 0) {
    DerFree(&request);
    return FailWith(slot, kMsgPrepareFailed);
  }

  if (output) {
    if (WriteClientRequest(output, *cert, slot) != 0) return -1;
  } else if (EncodeCertificateText(cert, true, slot) != 0) {
    return -1;
  }
  return ReportSuccess(slot, SuccessMessage::kCertReqCreated);
}

std::int32_t SignClientRequest(SecurityCmdContext* context, CertData* cert, std::uint32_t* slot) {
  if (context == nullptr || cert == nullptr) return FailWith(slot, kMsgPrepareFailed);
  if (context->validDays < 0 || context->validDays > kMaxValidDays) {
    return FailWith(slot, kMsgBadValidDays);
  }
  if (DecodeCertificateText(cert, true, slot) != 0) return -1;

  SigningKey signer;
  {
    // The signer is taken while the ring is held as a command holds it, so
    // no other thread or process replaces the ring or its stash meanwhile.
    KeyRingSession ring(*context);
    if (ring.LoadSigner(&signer, slot) != 0) return -1;
  }

  CertFields request{};
  if (context->clientCert) {
    if (ParseClientRequest(cert->der, &request, slot) != 0) return -1;
  } else if (ParseRequest(cert, &request, slot) != 0) {
    return -1;
  }
  if (IssueCertificate(&signer, request, cert, context->validDays, slot) != 0) return -1;
  if (context->usePKCS7) {
    DerFree(&cert->pkcs7);
    if (PackagePkcs7(cert) != 0) return FailWith(slot, kMsgPrepareFailed);
  }
  if (EncodeCertificateText(cert, false, slot) != 0) return -1;
  return ReportSuccess(slot, SuccessMessage::kCertSigned);
}

std::int32_t SignCertificateText(const char* parameters, const char* requestText, char* output,
                                 std::uint32_t outputSize, std::uint32_t* slot) {
  if (LazyInitialise(*slot) != 0) return -1;

  // The parser writes into the text it reads; the host's text stays as it
  // was, and the context points into this copy for the whole call.
  std::vector<char> text;
  if (parameters != nullptr) text.assign(parameters, parameters + std::strlen(parameters));
  text.push_back('\0');

  SecurityCmdContext context{};
  context.keySize = 512;
  context.validDays = 365;
  if (ParseParameters(text.data(), context, CommandId::kSignCert, *slot) != 0) return -1;

  CertRecord cert;
  if (!CopyHostText(requestText, &cert->reqText)) return FailWith(slot, kMsgDecodeFailed);
  const std::int32_t status = SignClientRequest(&context, cert.get(), slot);
  if (status != 0) return status;
  CopyTextToOutput(cert->certText, output, outputSize);
  return ReportSuccess(slot, SuccessMessage::kCertSigned);
}

}  // namespace

}  // namespace kcertadm

using kcertadm::FailWith;
using kcertadm::RunService;

std::int32_t kcertadm::ProcessClientCertReqService(SecurityCmdContext* context, CertData* cert,
                                                   std::uint32_t* error) {
  if (!kcertadm::IsLibraryInitialised()) return FailWith(error, kcertadm::kMsgInitFailed);
  return RunService(error, [&] { return kcertadm::ProcessClientRequest(context, cert, error); });
}

std::int32_t kcertadm::SignClientCertService(SecurityCmdContext* context, CertData* cert,
                                             std::uint32_t* error) {
  if (!kcertadm::IsLibraryInitialised()) return FailWith(error, kcertadm::kMsgInitFailed);
  return RunService(error, [&] { return kcertadm::SignClientRequest(context, cert, error); });
}

std::int32_t kcertadm::SignCertificateService(const char* parameters, const char* requestText,
                                              char* output, std::uint32_t outputSize,
                                              char* messageBuffer,
                                              std::uint32_t messageBufferSize) {
  std::uint32_t slot = kcertadm::kMsgNone;
  const std::int32_t status = RunService(&slot, [&] {
    return kcertadm::SignCertificateText(parameters, requestText, output, outputSize, &slot);
  });
  if (slot != kcertadm::kMsgNone) kcertadm::ReportMessage(slot, messageBuffer, messageBufferSize);
  return status;
}

std::int32_t kcertadm::ParseCertReqService(CertData* cert, CertFields* fields,
                                           std::uint32_t* error) {
  if (!kcertadm::IsLibraryInitialised()) return FailWith(error, kcertadm::kMsgInitFailed);
  if (cert == nullptr || fields == nullptr) return FailWith(error, kcertadm::kMsgBadRequest);
  return RunService(error, [&] {
    if (kcertadm::DecodeCertificateText(cert, true, error) != 0) return -1;
    return kcertadm::ParseRequest(cert, fields, error);
  });
}
