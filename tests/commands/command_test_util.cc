#include "command_test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "armour/pem.h"
#include "host_interface/command_entry.h"
#include "host_interface/message_reporter.h"
#include "host_interface/messages.h"

namespace kcertadm::cmdtest {

Outcome RunCommand(const std::string& command, const std::string& parameters) {
  std::vector<char> writable(parameters.begin(), parameters.end());
  writable.push_back('\0');
  char buffer[512];
  MessageReporter reporter(buffer, sizeof buffer);
  const std::int32_t status = ProcessCommand(command, writable.data(), reporter);
  return Outcome{status, reporter.last()};
}

void ExpectRefusals(const std::string& command, const std::vector<Refusal>& rows,
                    const std::vector<std::string>& unchanged) {
  std::vector<std::optional<std::vector<std::uint8_t>>> before;
  for (const std::string& file : unchanged) before.push_back(ReadFileBytes(file));
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.why);
    const Outcome refused = RunCommand(command, row.parameters);
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.message, row.message);
    for (std::size_t i = 0; i < unchanged.size(); ++i) EXPECT_EQ(ReadFileBytes(unchanged[i]), before[i]);
  }
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string ReportDataPath(const std::string& name) {
  return std::string(KCERTADM_TEST_DATA_DIR) + "/reports/" + name;
}
std::vector<std::uint8_t> ReportData(const std::string& name) {
  return ReadFileBytes(ReportDataPath(name)).value_or(std::vector<std::uint8_t>{});
}
std::string ReportText(const std::string& name) { return ReadFileText(ReportDataPath(name)); }

int Shell(const std::string& commandLine) {
  const int status = std::system(commandLine.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveOpenssl() { return Shell("openssl version >/dev/null 2>&1") == 0; }

bool HavePythonCryptography() {
  return Shell(std::string(kPython) + " -c 'import cryptography' >/dev/null 2>&1") == 0;
}

std::string Ring(const std::string& keyFile, const std::string& more) {
  return "KeyFile=" + keyFile + ";Password=secret" + (more.empty() ? "" : ";" + more);
}

std::optional<KeyRingEntry> EntryOf(const std::string& keyFile, const std::string& label,
                                    const char* password) {
  if (KeyRingOpen(keyFile, PasswordArg(password)) != 0) return std::nullopt;
  return KeyRingFindEntry(std::string_view(label));
}

void MakeRootKeyRing(const std::string& keyFile, const std::string& commonName) {
  const Outcome made = RunCommand(
      "CreateSelfSignedRoot", Ring(keyFile, "KeyName=CA;CommonName=" + commonName + ";Org=Test;Country=US"));
  ASSERT_EQ(made.status, 0);
  ASSERT_EQ(made.message, kMsgSelfSignedRootCreated);
}

void MakeServerKeyRing(const std::string& keyFile, const std::string& requestFile,
                       const std::string& more) {
  const Outcome made = RunCommand(
      "CreateKeyFile", Ring(keyFile, "KeyName=server;CommonName=www.example.com;Org=Example;"
                                     "CertReqFile=" + requestFile + (more.empty() ? "" : ";" + more)));
  ASSERT_EQ(made.status, 0);
  ASSERT_EQ(made.message, kMsgKeyFileCreated);
}

std::vector<std::uint8_t> CertificateDerOfFile(const std::string& path) {
  std::vector<std::uint8_t> der;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return der;
  if (ReadPemCertificateText(file, der) != 0) der.clear();
  std::fclose(file);
  return der;
}

CaAndServer::CaAndServer(bool pemRequest)
    : request(dir / (pemRequest ? "server.pem" : "server.arm")) {
  MakeRootKeyRing(Ca());
  const Outcome extracted = RunCommand("ExtractCert", Ring(Ca(), "CertFile=" + CaCert()));
  EXPECT_EQ(extracted.message, kMsgCertWritten);
  MakeServerKeyRing(Server(), request, pemRequest ? "UsePEM" : "");
}

Outcome CaAndServer::Sign(const std::string& out, const std::string& more) const {
  return RunCommand("SignCert", Ring(Ca(), "CertReqFile=" + request + ";CertFile=" + out +
                                               (more.empty() ? "" : ";" + more)));
}

std::vector<std::uint8_t> Tlv(std::uint8_t tag, const std::vector<std::uint8_t>& content) {
  std::vector<std::uint8_t> out{tag};
  const std::size_t n = content.size();
  if (n < 128) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 256) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

ReportCapture::ReportCapture() : file_(open_memstream(&buffer_, &size_)) {}

ReportCapture::~ReportCapture() {
  if (file_ != nullptr) std::fclose(file_);
  std::free(buffer_);
}

std::string ReportCapture::Text() {
  std::fflush(file_);
  return std::string(buffer_, size_);
}

namespace {

// Every command test runs with an empty data directory (no template key
// ring) and no predefined roots, whatever the environment holds.
class CommandTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    dataDir_.emplace();
    ::setenv("KCERTADM_DATA_DIR", dataDir_->path().c_str(), 1);
    ::unsetenv("KCERTADM_ROOTS");
  }
  // The environment object itself is never destroyed; the directory goes here.
  void TearDown() override { dataDir_.reset(); }

 private:
  std::optional<TempDir> dataDir_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CommandTestEnvironment);

}  // namespace
}  // namespace kcertadm::cmdtest
