// The user's files beside a key ring and the command outputs: never removed, emptied or widened by
// a command, whether it succeeds or fails.
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <thread>

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;
using Names = std::set<std::string>;

constexpr char kPrecious[] = "the user's own file\n";

Names FilesOf(const TempDir& dir) {
  const std::vector<std::string> files = dir.Files();
  return Names(files.begin(), files.end());
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(UserFiles, LookAlikesSurviveEveryCommand) {
  const CaAndServer pki;
  const TempDir& dir = pki.dir;
  Names lookAlikes;
  for (const char* base :
       {"ca.kyr", "ca.sth", "server.kyr", "server.sth", "missing.kyr", "new.kyr", "out.crt"}) {
    // ".Ab3xY9" is how temporaries were once named: nobody can tell such a file from a user's.
    for (const char* suffix : {".backup", ".201612", ".bak", ".tmp", ".old", "~", ".Ab3xY9"}) {
      const std::string name = std::string(base) + suffix;
      dir.Write(name, name);
      lookAlikes.insert(name);
    }
  }
  const std::string out = ";CertFile=" + dir / "out.crt";
  const std::string report = ";EntriesFile=" + dir / "out.crt";
  const struct {
    const char* command;
    std::string parameters;
  } kCommands[] = {
      {"GetEntries", Ring(pki.Ca(), report)},
      {"GetEntries", Ring(dir / "missing.kyr", report)},
      {"GetEntries", "KeyFile=" + pki.Ca() + ";Password=wrong" + report},
      {"ExtractCert", Ring(pki.Ca(), "EntryLabel=nobody" + out)},
      {"SignCert", Ring(pki.Ca(), "CertReqFile=" + pki.Request() + out)},
      {"CreateCertReq", Ring(pki.Server(), "EntryLabel=server;CertReqFile=" + dir / "out.crt")},
      {"ReceiveRootCert", Ring(pki.Server(), "EntryLabel=root;CertReqFile=" + pki.CaCert())},
      {"DeleteEntry", Ring(pki.Server(), "EntryLabel=root")},
      {"DeleteEntry", Ring(dir / "missing.kyr", "EntryLabel=root")},
      {"ChangePassword", Ring(pki.Server(), "NewPassword=secret")},
      {"CreateKeyFile", Ring(dir / "new.kyr", "KeyName=k;CommonName=k")},
      {"CreateKeyFile", Ring(dir / "new.kyr", "KeyName=k;CommonName=k")},
      {"ViewCert", "CertReqFile=" + pki.CaCert() + report},
  };
  for (const auto& c : kCommands) {
    SCOPED_TRACE(std::string(c.command) + " " + c.parameters);
    RunCommand(c.command, c.parameters);
    for (const std::string& name : lookAlikes) ASSERT_EQ(ReadFileText(dir / name), name);
  }
  Names expected = lookAlikes;
  expected.insert({"ca.kyr", "ca.sth", "ca.kyr.lock", "ca.arm", "server.kyr", "server.sth",
                   "server.kyr.lock", "server.arm", "new.kyr", "new.sth", "new.kyr.lock",
                   "out.crt"});
  EXPECT_EQ(FilesOf(dir), expected) << "no temporaries, no lock file of a missing ring";
}

// Each command fails after it could have started its output: the old file stays byte for byte, and
// neither a temporary nor a lock file is left.
TEST(UserFiles, FailedCommandsKeepTheirOutputFile) {
  const CaAndServer pki;
  const TempDir& dir = pki.dir;
  const std::string out = dir / "out.txt";
  const std::string junk = dir.Write("junk.txt", "not a certificate\n");
  const std::string onRing = "CertReqFile=" + pki.Request() + ";CertFile=" + out;
  const struct {
    const char* command;
    const char* why;
    std::string parameters;
    std::uint32_t message;
  } kTests[] = {
      {"SignCert", "wrong password", "KeyFile=" + pki.Ca() + ";Password=wrong;" + onRing,
       kMsgBadPassword},
      {"SignCert", "the ring has no signer", Ring(pki.Server(), onRing), kMsgNoSigner},
      {"SignCert", "the request does not decode",
       Ring(pki.Ca(), "CertReqFile=" + junk + ";CertFile=" + out), kMsgDecodeFailed},
      {"ExtractCert", "no such label", Ring(pki.Ca(), "EntryLabel=nobody;CertFile=" + out),
       kMsgNoSuchEntry},
      {"ViewCert", "the input does not decode", "CertReqFile=" + junk + ";EntriesFile=" + out,
       kMsgDecodeFailed},
      // The request is made before the ring is saved; a ring named like its own stash cannot be.
      {"CreateKeyFile", "the new ring is not saved",
       Ring(dir / "new.sth", "KeyName=k;CommonName=k;CertReqFile=" + out), kMsgStashFailed},
      {"CreateKeyFile", "the request cannot be made",
       Ring(dir / "new.kyr", "KeyName=k;CommonName=k;CertReqFile=" + dir / "no/req"),
       kMsgRequestFileCreateFailed},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(std::string(test.command) + ": " + test.why);
    WriteFileText(out, kPrecious);
    const Names before = FilesOf(dir);
    const Outcome refused = RunCommand(test.command, test.parameters);
    EXPECT_TRUE(refused.status != 0 && refused.message == test.message) << refused;
    EXPECT_EQ(ReadFileText(out), kPrecious);
    EXPECT_EQ(FilesOf(dir), before);
  }
}

// A pipe cannot be replaced: the output is written into it, and it stays a pipe.
TEST(UserFiles, PipeOutputIsWrittenInPlaceForAReaderThread) {
  const TempDir dir;
  MakeRootKeyRing(dir / "ring.kyr");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFileText(dir / "pipe"); });
  EXPECT_EQ(RunCommand("ExtractCert", Ring(dir / "ring.kyr", "CertFile=" + dir / "pipe")),
            Ok(kMsgCertWritten));
  reader.join();
  EXPECT_TRUE(received.starts_with("-----BEGIN CERTIFICATE-----\n")) << received;
  struct stat st {};
  EXPECT_TRUE(::lstat((dir / "pipe").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
}

// Short and relative names work where they lead, and leave nothing else there.
TEST(UserFiles, RelativeNamesLeaveOnlyTheirFiles) {
  const TempDir dir;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const std::vector<std::int32_t> statuses = {
      RunCommand("CreateSelfSignedRoot", Ring("r", "KeyName=ca;CommonName=ca")).status,
      RunCommand("CreateKeyFile", Ring("./r22", "KeyName=k;CommonName=k;CertReqFile=q")).status,
      RunCommand("SignCert", Ring("r", "CertReqFile=q;CertFile=o")).status,
      RunCommand("ExtractCert", Ring("r", "EntryLabel=nobody;CertFile=o")).status,
      RunCommand("DeleteEntry", Ring("./r22", "EntryLabel=k")).status,
      RunCommand("GetEntries", Ring("r3", "EntriesFile=e")).status,
  };
  std::filesystem::current_path(previous);
  EXPECT_EQ(statuses, (std::vector<std::int32_t>{0, 0, 0, -1, 0, -1}));
  EXPECT_EQ(FilesOf(dir), (Names{"r", "r.sth", "r.lock", "r22", "r22.sth", "r22.lock", "q", "o"}));
}

// A server reads the ring through its group: a save keeps the mode (the key ring tests check group
// and owner). An output written over an existing file keeps its mode; a new one is made as the
// umask says.
TEST(UserFiles, SavesAndOutputsKeepTheirMode) {
  const TempDir dir;
  const std::string ring = dir / "ring.kyr";
  MakeRootKeyRing(ring);
  const std::string cert = dir.Write("ca.crt", kPrecious);
  for (const std::string& path : {ring, dir / "ring.sth"})
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::chmod(cert.c_str(), 0604), 0);
  ASSERT_EQ(RunCommand("ChangePassword", Ring(ring, "NewPassword=secret")).status, 0);
  ASSERT_EQ(RunCommand("ExtractCert", Ring(ring, "CertFile=" + cert)).status, 0);
  ASSERT_EQ(RunCommand("ExtractCert", Ring(ring, "CertFile=" + dir / "new.crt")).status, 0);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ((std::vector<mode_t>{ModeOf(ring), ModeOf(dir / "ring.sth"), ModeOf(cert),
                                 ModeOf(dir / "new.crt")}),
            (std::vector<mode_t>{0640, 0640, 0604, 0666 & ~mask}));
  EXPECT_NE(ReadFileText(cert), kPrecious);
}

}  // namespace
}  // namespace kcertadm
