// SignCert: the key ring as a small certification authority. The request
// is a PKCS #10 request (armoured or bare Base64) or an RFC 1424 PEM
// message carrying a self-signed certificate; the answer takes the same
// form.
#include <string>
#include <vector>

#include "armour/pem.h"
#include "cert/cert_build.h"
#include "cert/certificate.h"
#include "cert/signing_key.h"
#include "commands/build_profile_choice.h"
#include "commands/cert_files.h"
#include "commands/cert_keyring.h"
#include "commands/command_handlers.h"
#include "commands/command_steps_util.h"
#include "commands/common_steps.h"
#include "commands/pem_keys.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

// A PEM request as read: its certificate, MIC text and Proc-Type line.
struct PemRequest {
  std::string procType;
  std::string micText;
};

// Reads and checks a PEM request: the originator certificate must be
// self-signed and valid, and the MIC must verify under its key. The
// certificate ends up in request with its fields parsed. 0, or -1 with
// 30037.
int ReadPemRequestFile(std::FILE* file, PemRequest& pem, CertData* request, CertFields* fields,
                       std::uint32_t* slot) {
  std::vector<std::uint8_t> der;
  if (ReadPemRequest(file, der, pem.micText) != kPemRequestOk) {
    return FailWith(slot, kMsgPemDecodeFailed);
  }
  OwnedKey originatorKey = OriginatorKeyFromDer(der, nullptr);
  if (originatorKey.get() == nullptr || !VerifyPemMic(pem.micText, originatorKey.get())) {
    return FailWith(slot, kMsgPemDecodeFailed);
  }
  if (!CopyToItem(der, &request->der)) return FailWith(slot, kMsgPemDecodeFailed);
  std::uint32_t ignored = kMsgNone;
  if (CheckCertificate(request, fields, 1, &ignored) != 0 || !request->isSelfSigned) {
    return FailWith(slot, kMsgPemDecodeFailed);
  }
  return 0;
}

int WriteReply(std::FILE* output, bool pem, const PemRequest& pemRequest, const SigningKey& signer,
               const CertData& issued, std::uint32_t* slot) {
  int written;
  if (pem) {
    const std::vector<std::uint8_t> issuerCert(signer.issuerCert.data,
                                               signer.issuerCert.data + signer.issuerCert.length);
    const std::vector<std::uint8_t> issuedCert(issued.der.data,
                                               issued.der.data + issued.der.length);
    written =
        WritePemReply(output, issuerCert, issuedCert, pemRequest.micText, pemRequest.procType);
  } else {
    written = WriteArmouredObject(issued, output, false);
  }
  return written == 0 ? 0 : FailWith(slot, kMsgOutputWriteFailed);
}

int SignCert(SecurityCmdContext& context, CommandSession& session, std::uint32_t* slot) {
  std::int32_t algorithm = kAlgMd5WithRsa;
  if (ChooseDigest(session, &algorithm, slot) != 0) return -1;
  FilePtr input = OpenInputFile(context, slot);
  if (!input) return -1;
  OutputFile output = OpenOutputFile(context, slot);
  if (!output) return -1;
  SigningKey signer(algorithm);
  if (int status = LoadSigningKey(context, session, &signer, slot); status != 0) return status;

  PemRequest pemRequest;
  const bool pem =
      !context.useBER && SniffPemFile(input.get(), &pemRequest.procType) == kPemSniffMic;
  CertRecord request;
  CertFields fields{};
  if (pem) {
    if (ReadPemRequestFile(input.get(), pemRequest, request.get(), &fields, slot) != 0) return -1;
  } else {
    std::rewind(input.get());
    if (ReadCertificateFile(request.get(), input.get(), false, true, slot) != 0) return -1;
    if (ParseRequest(request.get(), &fields, slot) != 0) return -1;
  }

  CertRecord issued;
  if (IssueCertificate(&signer, fields, issued.get(), context.validDays, slot) != 0) return -1;
  if (WriteReply(output.get(), pem, pemRequest, signer, *issued, slot) != 0) return -1;
  if (CommitOutput(output, slot) != 0) return -1;
  return ReportSuccess(slot, SuccessMessage::kCertSigned);
}

}  // namespace

std::int32_t HandleSignCert(SecurityCmdContext& context, const CommandOptions& options,
                            MessageReporter& reporter) {
  return RunCommandStep(SignCert, context, options, reporter);
}

}  // namespace kcertadm
