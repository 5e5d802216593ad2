#include "tool_defaults.h"

#include <gtest/gtest.h>

namespace kcertadm::cli {
namespace {

using kcertadm::CommandId;

// Today's digest and key size for the commands that sign or make keys, each only when the command
// line does not choose it, however abbreviated; other commands get nothing they would warn about.
TEST(DefaultItems, AddsWhatTheCommandLineLeavesOut) {
  const struct {
    CommandId command;
    const char* parameters;
    const char* added;
  } kTests[] = {
      {CommandId::kCreateKeyFile, "KeyName=a;CommonName=a.example", "Digest=SHA256;KeySize=2048;"},
      {CommandId::kCreateSelfSignedRoot, "", "Digest=SHA256;KeySize=2048;"},
      {CommandId::kCreateSelfSigned, "KeySize=4096", "Digest=SHA256;"},
      {CommandId::kCreateSelfSigned, "keys=3072", "Digest=SHA256;"},
      {CommandId::kCreateKeyFile, "digest=MD5;KeySize=512", ""},
      {CommandId::kCreateCertReq, "KeyName=a", "Digest=SHA256;"},
      {CommandId::kSignCert, "Digest=SHA384", ""},
      {CommandId::kSignCert, "CertReqFile=a.csr", "Digest=SHA256;"},
      {CommandId::kReceiveCert, "CertReqFile=a.crt", ""},
      {CommandId::kGetEntries, "", ""},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.parameters);
    EXPECT_EQ(DefaultItems(c.command, c.parameters), c.added);
  }
}

}  // namespace
}  // namespace kcertadm::cli
