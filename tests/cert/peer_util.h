// Running the openssl command as an independent peer.
#pragma once

#include <string>
#include <vector>

#include "der_util.h"

namespace kcertadm::test {

// Runs a shell command; returns its standard output and sets *status to the
// exit status.
std::string Run(const std::string& command, int* status = nullptr);

// A private directory for one test's files, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const Bytes& bytes);
std::string Quote(const std::string& s);  // single-quoted for the shell

// The DER of the first certificate in a PEM file (Base64 between the
// BEGIN and END lines).
Bytes PemToDer(const std::string& pem);

}  // namespace kcertadm::test
