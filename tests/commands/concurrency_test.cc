// Commands from many threads at once, each on its own key ring: the one
// in-memory key ring of the process must never mix their entries.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "command_test_util.h"
#include "host_interface/messages.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

using cmdtest::Outcome;
using cmdtest::Ring;
using cmdtest::RunCommand;
using cmdtest::TempDir;

std::set<std::string> LabelsOf(const std::string& keyFile) {
  std::set<std::string> labels;
  if (KeyRingOpen(keyFile, "secret") != 0) return labels;
  KeyRingCursor cursor;
  do {
    if (std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor)) labels.insert(entry->LabelText());
  } while (!cursor.AtEnd());
  return labels;
}

TEST(Concurrency, EightThreadsEightKeyRings) {
  constexpr int kThreads = 8;
  TempDir dir;
  std::vector<std::vector<std::uint32_t>> messages(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      const std::string n = std::to_string(i);
      const std::string ring = dir / ("ring" + n + ".kyr");
      const std::string peer = dir / ("peer" + n + ".kyr");
      std::vector<std::uint32_t>& got = messages[i];
      got.push_back(RunCommand("CreateSelfSigned", Ring(ring, "KeyName=key" + n + ";CommonName=key" + n)).message);
      got.push_back(RunCommand("CreateSelfSignedRoot", Ring(peer, "KeyName=peer" + n + ";CommonName=peer" + n)).message);
      got.push_back(RunCommand("ExtractCert", Ring(peer, "CertFile=" + dir / ("peer" + n + ".crt"))).message);
      got.push_back(RunCommand("ReceiveRootCert", Ring(ring, "CertReqFile=" + dir / ("peer" + n + ".crt") +
                                                                 ";EntryLabel=root" + n)).message);
      got.push_back(RunCommand("DesignateRoot", Ring(ring, "EntryLabel=key" + n)).message);
      got.push_back(RunCommand("DeleteEntry", Ring(peer, "EntryLabel=peer" + n)).message);
    });
  }
  for (std::thread& t : threads) t.join();

  const std::vector<std::uint32_t> expected = {kMsgSelfSignedCreated, kMsgSelfSignedRootCreated, kMsgCertWritten,
                                               kMsgRootCertReceived,  kMsgRootDesignated,        kMsgEntryDeleted};
  for (int i = 0; i < kThreads; ++i) {
    SCOPED_TRACE(i);
    const std::string n = std::to_string(i);
    EXPECT_EQ(messages[i], expected);
    EXPECT_EQ(LabelsOf(dir / ("ring" + n + ".kyr")), (std::set<std::string>{"key" + n, "root" + n}));
    EXPECT_TRUE(LabelsOf(dir / ("peer" + n + ".kyr")).empty());
  }
}

}  // namespace
}  // namespace kcertadm
