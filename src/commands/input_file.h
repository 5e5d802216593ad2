// The input files of the commands (certificates, requests and certificates
// to view) are read whole into memory before any reader sees them, and
// never more than kMaxCertificateFileSize bytes of them: a larger file is
// refused by its size before anything is read, and a file that grows
// meanwhile as soon as it passes the limit. A pipe or a device is not read
// at all.
#pragma once

#include "commands/common_steps.h"

namespace kcertadm {

enum class InputProblem { kNone, kCannotOpen, kCannotRead };

// A read-only stream (seekable, so readers may rewind) over the contents of
// path; null with the problem when the file cannot be opened, cannot be
// read, is not a regular file or is larger than the limit (kCannotRead for
// the last three).
FilePtr OpenBoundedInput(const char* path, InputProblem& problem);

}  // namespace kcertadm
