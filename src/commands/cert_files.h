// Certificate and request files as the commands read and write them: the
// request file of a new or existing key, and certificate files given as
// Base64 text (armoured or bare) or as DER.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "commands/output_file.h"
#include "kcertadm.h"

namespace kcertadm {

struct KeyObject;

// Days of validity of the self-signed certificate that carries a PEM
// request. Its period starts at the date twelve hours back; with one day it
// always covers the moment it is made, so the signer can verify it (with 0
// days a request made before noon UTC would be born expired).
inline constexpr std::int32_t kPemRequestCertificateDays = 1;

// The largest certificate, request or certificate file to view that the
// commands read (16 MiB); larger input is refused as unreadable (30022).
inline constexpr std::size_t kMaxCertificateFileSize = 16 << 20;

// Opens CertReqFile into file and writes object->der to it: with UsePEM as
// an RFC 1424 MIC-ONLY message signed with privateKey, otherwise armoured,
// as a CERTIFICATE with SelfSigned (the object is then a certificate, which
// openssl x509 reads) and as a NEW CERTIFICATE REQUEST without. The caller
// commits the file once the whole command has succeeded. 0; -1 with 30014
// when the file cannot be created (or is the key ring file or its stash
// file); -1 with 30039 when writing fails.
int WriteRequestFile(const SecurityCmdContext& context, const CertData& object,
                     KeyObject* privateKey, OutputFile& file, std::uint32_t* slot);

// Reads a whole certificate or request file into cert: with binary the
// bytes are the DER; otherwise the text is kept in fileText while
// ParseCertificateText collects and decodes it. 0; -1 with 30022 (nothing
// read) or 30043.
int ReadCertificateFile(CertData* cert, std::FILE* file, bool binary, bool isRequest,
                        std::uint32_t* slot);

// The whole file (at most kMaxCertificateFileSize bytes) into bytes. 0, or
// -1 with 30022 (nothing read, or too large).
int ReadWholeCertificateFile(std::FILE* file, std::vector<std::uint8_t>& bytes,
                             std::uint32_t* slot);

// fileText through ParseCertificateText when present; otherwise reqText
// (isRequest) or certText Base64-decoded into der. 0, or -1 with 30043.
int DecodeCertificateText(CertData* cert, bool isRequest, std::uint32_t* slot);

// pkcs7 when present, otherwise der, Base64-encoded into reqText
// (isRequest) or certText. 0, or -1 with 30042.
int EncodeCertificateText(CertData* cert, bool isRequest, std::uint32_t* slot);

}  // namespace kcertadm
