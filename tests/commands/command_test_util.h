// Helpers of the command and report tests: running commands in a temporary
// directory, files, the usual key rings and an in-memory report file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "asn1/hex_util.h"
#include "support/test_files.h"
#include "keyring/keyring.h"

namespace kcertadm::cmdtest {

using testing::Hex;
using testing::ItemOf;

// The outcome of one command: its status and the message number reported.
struct Outcome {
  std::int32_t status;
  std::uint32_t message;
};

// Runs a command with a parameter text, as ProcessSecurityCmd does.
Outcome RunCommand(const std::string& command, const std::string& parameters);

// One refused call of a command: why it must fail and the message it gives.
struct Refusal {
  const char* why;
  std::string parameters;
  std::uint32_t message;
};
// Runs command with each row: each must fail with its message and leave
// every file of unchanged as it was.
void ExpectRefusals(const std::string& command, const std::vector<Refusal>& rows,
                    const std::vector<std::string>& unchanged);

using testing::TempDir;

// The whole contents of a file, or none when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);
using testing::ReadFileText;
using testing::WriteFileText;
bool FileExists(const std::string& path);
// tests/data/reports/<name>, its bytes and its text.
std::string ReportDataPath(const std::string& name);
std::vector<std::uint8_t> ReportData(const std::string& name);
std::string ReportText(const std::string& name);

// Runs a shell command line; returns its exit status.
int Shell(const std::string& commandLine);
// True when the openssl command and Debian's python with the cryptography
// package are there for the scenarios with another party.
bool HaveOpenssl();
bool HavePythonCryptography();
constexpr const char* kPython = "/usr/bin/python3";

// Parameters of a key ring with the usual test password.
std::string Ring(const std::string& keyFile, const std::string& more = "");
// The entry labelled label of keyFile, opened with password.
std::optional<KeyRingEntry> EntryOf(const std::string& keyFile, const std::string& label,
                                    const char* password = "secret");

// Creates a self-signed root (label "CA") named commonName in keyFile.
void MakeRootKeyRing(const std::string& keyFile, const std::string& commonName = "Test CA");
// Creates a key ring with a key labelled "server" and a request for it.
void MakeServerKeyRing(const std::string& keyFile, const std::string& requestFile,
                       const std::string& more = "");

// The DER of the certificate in an armoured or PEM-reply file, or empty.
std::vector<std::uint8_t> CertificateDerOfFile(const std::string& path);

// A certification authority and a server in one directory: ca.kyr (root
// "CA", its certificate extracted to ca.arm) and server.kyr (key "server",
// request in server.arm, or server.pem with UsePEM).
struct CaAndServer {
  explicit CaAndServer(bool pemRequest = false);
  std::string Ca() const { return dir / "ca.kyr"; }
  std::string CaCert() const { return dir / "ca.arm"; }
  std::string Server() const { return dir / "server.kyr"; }
  std::string Request() const { return request; }
  // SignCert of the request by the CA into out; the outcome.
  Outcome Sign(const std::string& out, const std::string& more = "") const;

  TempDir dir;
  std::string request;
};

// Element with the given tag around content, DER length form.
std::vector<std::uint8_t> Tlv(std::uint8_t tag, const std::vector<std::uint8_t>& content);

// A FILE* writing into memory; Text() gives everything written so far.
class ReportCapture {
 public:
  ReportCapture();
  ~ReportCapture();
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

  std::FILE* file() const { return file_; }
  std::string Text();

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

}  // namespace kcertadm::cmdtest
