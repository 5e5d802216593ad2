// Running commands in a temporary directory for the command tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kcertadm::cmdtest {

// The outcome of one command: its status and the message number reported.
struct Outcome {
  std::int32_t status;
  std::uint32_t message;
};

// Runs a command with a parameter text, as ProcessSecurityCmd does.
Outcome RunCommand(const std::string& command, const std::string& parameters);

// A fresh directory, removed with its contents at the end of the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole contents of a file, or none when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// Runs a shell command line; returns its exit status.
int Shell(const std::string& commandLine);
// True when the openssl command and Debian's python with the cryptography
// package are there for the scenarios with another party.
bool HaveOpenssl();
bool HavePythonCryptography();
constexpr const char* kPython = "/usr/bin/python3";

// Parameters of a key ring with the usual test password.
std::string Ring(const std::string& keyFile, const std::string& more = "");

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

}  // namespace kcertadm::cmdtest
