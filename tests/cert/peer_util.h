// Running the openssl command as an independent peer.
#pragma once

#include <string>
#include <vector>

#include "der_util.h"
#include "support/test_files.h"

namespace kcertadm::test {

// Runs a shell command; returns its standard output and sets *status to the
// exit status.
std::string Run(const std::string& command, int* status = nullptr);

using testing::TempDir;
using testing::WriteFileBytes;
std::string Quote(const std::string& s);  // single-quoted for the shell

// The DER of the first certificate in a PEM file (Base64 between the
// BEGIN and END lines).
Bytes PemToDer(const std::string& pem);

}  // namespace kcertadm::test
