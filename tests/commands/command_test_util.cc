#include "command_test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

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

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kcertadm-cmd.XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = name.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

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

}  // namespace kcertadm::cmdtest

namespace kcertadm::cmdtest {
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
