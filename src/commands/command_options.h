// Options chosen with the keywords that follow the original table. The
// host's context record keeps its fixed layout, so these live beside it for
// one command. Text values point into the command's parameter text.
#pragma once

#include <cstdint>

namespace kcertadm {

struct CommandOptions {
  const char* digest = nullptr;          // Digest=
  const char* subjectAltName = nullptr;  // SubjectAltName=
  std::int32_t withChain = 0;            // WithChain
  const char* filePassword = nullptr;    // FilePassword=
  std::int32_t pemKey = 0;               // PemKey
};

}  // namespace kcertadm
