// The PEM operations that need keys: signing a certification request,
// taking the requester's key from its self-signed certificate, checking the
// MIC of a request, and reading a certificate for import with verification.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/certificate_verification.h"

namespace kcertadm {

// Writes a MIC-ONLY certification request whose MIC is the MD5-with-RSA
// signature of body, exactly as given, made with privateKey. 0, or -1 when
// signing or a write fails.
int WritePemRequest(std::FILE* file, const std::uint8_t* certificate, std::int32_t length,
                    std::string_view body, KeyObject* privateKey);

// The public key of a self-issued certificate whose self-signature checks
// out (MD2, MD5 or SHA-1 with RSA), and its subject Name. Null for a
// certificate that is not self-issued, does not decode, is signed with
// another algorithm or whose signature fails.
OwnedKey OriginatorKeyFromDer(const std::vector<std::uint8_t>& certificate,
                              std::vector<std::uint8_t>* subjectName);

// True when micText (as ReadPemRequest hands it out) carries a good
// signature of its body under key.
bool VerifyPemMic(std::string_view micText, KeyObject* key);

// The certificate of a file for import (ReadPemCertificateText), verified
// against the trusted roots: the verifier's status, or bad encoding when no
// complete certificate text was found or the text is not Base64.
VerifyStatus ReadPemCertificate(std::vector<std::uint8_t>& der, std::FILE* file);

}  // namespace kcertadm
