// Helpers of the command and report tests: commands on key rings in temporary directories, reports
// in memory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "armour/pem.h"
#include "cert/der_util.h"
#include "host/message_reporter.h"
#include "host/messages.h"
#include "host_interface/command_entry.h"
#include "keyring/keyring.h"
#include "support/status_numbers.h"
#include "support/test_files.h"

namespace kcertadm::cmdtest {

using Bytes = std::vector<std::uint8_t>;
using test::Cat;
using test::Tlv;
using test_support::Hex;
using test_support::ItemOf;
using test_support::ReadFileBytes;
using test_support::ReadFileText;
using test_support::TempDir;
using test_support::WriteFileText;

// The status of one command and the message it reported.
struct Outcome {
  std::int32_t status;
  std::uint32_t message;
  bool operator==(const Outcome&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "{status " << o.status << ", message " << o.message << "}";
}
inline Outcome Ok(std::uint32_t message) { return {0, message}; }

// Runs a command with a parameter text, as ProcessSecurityCmd does.
inline Outcome RunCommand(const std::string& command, const std::string& parameters) {
  std::string writable = parameters;
  char buffer[512];
  MessageReporter reporter(buffer, sizeof buffer);
  const std::int32_t status = ProcessCommand(command, writable.data(), reporter);
  return Outcome{status, reporter.last()};
}

// One refused call: the command, why it must fail, its parameters and the message it gives.
struct Refusal {
  const char* command;
  const char* why;
  std::string parameters;
  std::uint32_t message;
};
// Each row must fail with its message and leave the files unchanged.
inline void ExpectRefusals(const std::vector<Refusal>& rows,
                           const std::vector<std::string>& unchanged) {
  std::vector<Bytes> before;
  for (const std::string& file : unchanged) before.push_back(ReadFileBytes(file));
  for (const Refusal& row : rows) {
    SCOPED_TRACE(std::string(row.command) + ": " + row.why);
    const Outcome refused = RunCommand(row.command, row.parameters);
    EXPECT_TRUE(refused.status != 0 && refused.message == row.message)
        << refused << ", wanted message " << row.message;
    for (std::size_t i = 0; i < unchanged.size(); ++i)
      EXPECT_EQ(ReadFileBytes(unchanged[i]), before[i]);
  }
}

inline bool FileExists(const std::string& path) { return std::filesystem::exists(path); }
// tests/data/reports/<name>, its bytes and its text.
inline std::string ReportDataPath(const std::string& name) {
  return KCERTADM_TEST_DATA_DIR "/reports/" + name;
}
inline Bytes ReportData(const std::string& name) { return ReadFileBytes(ReportDataPath(name)); }
inline std::string ReportText(const std::string& name) {
  return ReadFileText(ReportDataPath(name));
}

// Runs a shell command line; its exit status.
inline int Shell(const std::string& commandLine) {
  const int status = std::system(commandLine.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
constexpr const char* kPython = "/usr/bin/python3";
inline bool HavePythonCryptography() {
  return Shell(kPython + std::string(" -c 'import cryptography'")) == 0;
}

// Parameters of a key ring with the usual test password.
inline std::string Ring(const std::string& keyFile, const std::string& more = "") {
  return "KeyFile=" + keyFile + ";Password=secret" + (more.empty() ? "" : ";" + more);
}
// The entry labelled label of keyFile, opened with password.
inline std::optional<KeyRingEntry> EntryOf(const std::string& keyFile, const std::string& label,
                                           const char* password = "secret") {
  if (KeyRingOpen(keyFile, PasswordArg(password)) != 0) return std::nullopt;
  return KeyRingFindEntry(std::string_view(label));
}

// A self-signed root labelled "CA" in keyFile.
inline void MakeRootKeyRing(const std::string& keyFile, const std::string& commonName = "Test CA") {
  const std::string subject = "KeyName=CA;Org=Test;Country=US;CommonName=" + commonName;
  ASSERT_EQ(RunCommand("CreateSelfSignedRoot", Ring(keyFile, subject)),
            Ok(kMsgSelfSignedRootCreated));
}
// The DER of the certificate in an armoured or PEM-reply file, or empty.
inline Bytes CertificateDerOfFile(const std::string& path) {
  Bytes der;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             std::fclose);
  if (!file || ReadPemCertificateText(file.get(), der) != PemCertificateStatus::kOk) der.clear();
  return der;
}

// ca.kyr (root "CA", its certificate in ca.arm) and server.kyr (key "server", its request
// server.arm or server.pem).
struct CaAndServer {
  explicit CaAndServer(bool pemRequest = false)
      : request(dir / (pemRequest ? "server.pem" : "server.arm")) {
    MakeRootKeyRing(Ca());
    EXPECT_EQ(RunCommand("ExtractCert", Ring(Ca(), "CertFile=" + CaCert())).message,
              kMsgCertWritten);
    const std::string server =
        "KeyName=server;CommonName=www.example.com;Org=Example;CertReqFile=" + request;
    EXPECT_EQ(RunCommand("CreateKeyFile", Ring(Server(), server + (pemRequest ? ";UsePEM" : ""))),
              Ok(kMsgKeyFileCreated));
  }
  std::string Ca() const { return dir / "ca.kyr"; }
  std::string CaCert() const { return dir / "ca.arm"; }
  std::string Server() const { return dir / "server.kyr"; }
  const std::string& Request() const { return request; }
  // SignCert of the request by the CA into out.
  Outcome Sign(const std::string& out, const std::string& more = "") const {
    return RunCommand("SignCert", Ring(Ca(), "CertReqFile=" + request + ";CertFile=" + out +
                                                 (more.empty() ? "" : ";" + more)));
  }

  TempDir dir;
  std::string request;
};

// What write(FILE*) writes, as text.
template <typename Write>
std::string Captured(Write write) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&buffer, &size);
  write(file);
  std::fclose(file);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// Every command test runs with an empty data directory (no template key ring) and no predefined
// roots.
inline const TempDir kDataDir;
inline const test_support::ScopedEnv kDataDirSetting("KCERTADM_DATA_DIR", kDataDir.path());
inline const test_support::ScopedEnv kNoRoots("KCERTADM_ROOTS", std::nullopt);

}  // namespace kcertadm::cmdtest
