// Key rings exchanged with the independent layout script tests/data/keyring/keyring_layout.py.
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using namespace test;

template <typename B>
std::string HexField(const B& bytes) {
  std::string out = bytes.empty() ? "-" : "";
  for (auto b : bytes) out += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
  return out;
}

// The in-memory key ring as the layout script lists it: a line per entry.
std::string RingLines(bool reversed = false) {
  std::string text;
  KeyRingCursor cursor;
  for (std::size_t n = KeyRingEntryCount(); n > 0; --n) {
    const KeyRingEntry e = *KeyRingNextEntry(cursor);
    const std::string line = "entry " + std::to_string(e.flags) + " " + HexField(e.label) + " " +
                             HexField(e.subjectName) + " " + HexField(e.protectedData) + " " +
                             HexField(e.publicKey) + " " + HexField(e.privateKey) + " " +
                             HexField(e.certificates) + " " + HexField(e.auxiliaryData) + "\n";
    text = reversed ? line + text : text + line;
  }
  return text;
}

// Runs the layout script; its standard output and error.
std::pair<int, std::string> Peer(const std::string& arguments) {
  std::string output;
  const int status = RunCommand("/usr/bin/python3 " + std::string(KCERTADM_TEST_DATA_DIR) +
                                    "/keyring/keyring_layout.py " + arguments + " 2>&1",
                                &output);
  return {status, output};
}

// Every kind of entry: a marked root with an unused flag bit, protected and auxiliary data, a key
// entry.
class KeyRingPeerTest : public KeyRingTest {
 protected:
  void SetUp() override {
    KeyRingTest::SetUp();
    KeyRingEntry root = SampleEntry("Root CA", 1), data = SampleEntry("with data", 2);
    root.flags = kKeyRingTrustedRoot | 0x80;
    data.protectedData = {'k', 'e', 'p', 't', ' ', 's', 'e', 'c', 'r', 'e', 't'};
    data.auxiliaryData.assign(300, 0x5A);
    ASSERT_EQ(KeyRingInsertEntry(root), 0);
    ASSERT_EQ(KeyRingInsertEntry(data), 0);
    ASSERT_EQ(KeyRingAddKeyEntry(CnName("Server"), VectorPrivateKey(), kVectorPassword, "server"),
              0);
  }
  const std::string password_ = std::string(" '") + kVectorPassword + "'";
};

// Ours read there; theirs (entries reversed) opened here and written back byte for byte.
TEST_F(KeyRingPeerTest, RingsAreExchangedBothWays) {
  ASSERT_EQ(KeyRingChangePassword(kVectorPassword, kVectorPassword, 0x01020304),
            0);  // sets the header word
  const std::string ours = dir_.Path("ours.kyr"), theirs = dir_.Path("theirs.kyr"),
                    reversed = RingLines(true);
  ASSERT_EQ(KeyRingWrite(ours, std::nullopt), 0);
  EXPECT_EQ(Peer("read " + ours + password_), std::pair(0, RingLines() + "headerword 16909060\n"));
  EXPECT_EQ(Peer("read " + ours + " other").first, 1);

  const auto [status, output] =
      Peer("write " + theirs + password_ + " " + dir_.Write("entries.txt", reversed));
  ASSERT_EQ(status, 0) << output;
  KeyRingClear();
  ASSERT_EQ(KeyRingOpen(theirs, kVectorPassword), 0);
  EXPECT_EQ(RingLines(), reversed);
  ASSERT_EQ(KeyRingWrite(dir_.Path("again.kyr"), std::nullopt), 0);
  EXPECT_EQ(ReadFileBytes(dir_.Path("again.kyr")), ReadFileBytes(theirs));
  ASSERT_EQ(KeyRingOpen(ours, kVectorPassword), 0);
  EXPECT_EQ(KeyRingHeaderWord(), 0x01020304u);
}

}  // namespace
}  // namespace kcertadm
