// Commands from many threads, each on its own key ring: the process's one in-memory key ring must
// never mix them.
#include <set>
#include <thread>

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

std::set<std::string> LabelsOf(const std::string& keyFile) {
  std::set<std::string> labels;
  KeyRingCursor cursor;
  if (KeyRingOpen(keyFile, "secret") != 0) return labels;
  do {
    if (std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor))
      labels.insert(entry->LabelText());
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
      const std::string n = std::to_string(i), ring = dir / ("ring" + n + ".kyr"),
                        peer = dir / ("peer" + n + ".kyr");
      const std::string steps[][2] = {
          {"CreateSelfSigned", Ring(ring, "KeyName=key" + n + ";CommonName=key" + n)},
          {"CreateSelfSignedRoot", Ring(peer, "KeyName=peer" + n + ";CommonName=peer" + n)},
          {"ExtractCert", Ring(peer, "CertFile=" + dir / ("peer" + n + ".crt"))},
          {"ReceiveRootCert",
           Ring(ring, "CertReqFile=" + dir / ("peer" + n + ".crt") + ";EntryLabel=root" + n)},
          {"DesignateRoot", Ring(ring, "EntryLabel=key" + n)},
          {"DeleteEntry", Ring(peer, "EntryLabel=peer" + n)},
      };
      for (const auto& step : steps) messages[i].push_back(RunCommand(step[0], step[1]).message);
    });
  }
  for (std::thread& t : threads) t.join();

  const std::vector<std::uint32_t> expected = {kMsgSelfSignedCreated, kMsgSelfSignedRootCreated,
                                               kMsgCertWritten,       kMsgRootCertReceived,
                                               kMsgRootDesignated,    kMsgEntryDeleted};
  for (int i = 0; i < kThreads; ++i) {
    SCOPED_TRACE(i);
    const std::string n = std::to_string(i);
    EXPECT_EQ(messages[i], expected);
    EXPECT_EQ(LabelsOf(dir / ("ring" + n + ".kyr")),
              (std::set<std::string>{"key" + n, "root" + n}));
    EXPECT_TRUE(LabelsOf(dir / ("peer" + n + ".kyr")).empty());
  }
}

}  // namespace
}  // namespace kcertadm
