// The certificate (or request) file ViewCert reads, taken into a record.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kcertadm.h"

namespace kcertadm {

// Reads the open CertReqFile into cert->der: the originator certificate of
// a PEM MIC message, else the file as UseBER and UsePKCS say. 0, or -1 with
// the message in the slot (30022 and the file readers' messages).
int ReadViewInput(std::FILE* input, const SecurityCmdContext& context, CertData* cert,
                  std::uint32_t* slot);

}  // namespace kcertadm
