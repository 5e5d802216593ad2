// Key rings exchanged with an independent reader and writer of the file
// layout (tests/data/keyring/keyring_layout.py, pycryptodome for the
// protected data).
#include <gtest/gtest.h>

#include "keyring/keyring.h"
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using test::kVectorPassword;

std::string Hex(const Bytes& b) { return b.empty() ? "-" : test::ToHex(b); }
std::string Hex(const SecureBytes& b) { return Hex(Bytes(b.begin(), b.end())); }

std::string LineOf(const KeyRingEntry& e) {
  return "entry " + std::to_string(e.flags) + " " + Hex(e.label) + " " + Hex(e.subjectName) + " " +
         Hex(e.protectedData) + " " + Hex(e.publicKey) + " " + Hex(e.privateKey) + " " + Hex(e.certificates) +
         " " + Hex(e.auxiliaryData);
}

std::vector<std::string> RingLines() {
  std::vector<std::string> lines;
  KeyRingCursor cursor;
  do {
    auto e = KeyRingNextEntry(cursor);
    if (!e) break;
    lines.push_back(LineOf(*e));
  } while (!cursor.AtEnd());
  return lines;
}

std::string Peer(const std::string& arguments, int* status) {
  std::string output;
  *status = test::RunCommand("/usr/bin/python3 " + std::string(KCERTADM_TEST_DATA_DIR) +
                                 "/keyring/keyring_layout.py " + arguments + " 2>&1",
                             &output);
  return output;
}

class KeyRingPeerTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyRingClear(); }
  void TearDown() override { KeyRingClear(); }
  // Every kind of entry: certificate entries, a marked root (with a flag
  // bit this system does not use), a key entry, protected and auxiliary data.
  void BuildRing() {
    KeyRingEntry root = test::SampleEntry("Root CA", 1);
    root.flags = kKeyRingTrustedRoot | 0x80;
    ASSERT_EQ(KeyRingInsertEntry(root), 0);
    KeyRingEntry data = test::SampleEntry("with data", 2);
    data.protectedData = {'k', 'e', 'p', 't', ' ', 's', 'e', 'c', 'r', 'e', 't'};
    data.auxiliaryData.assign(300, 0x5A);
    ASSERT_EQ(KeyRingInsertEntry(data), 0);
    ASSERT_EQ(KeyRingAddKeyEntry(test::NameOf("Server"), test::VectorPrivateKey(), kVectorPassword, "server"), 0);
  }
  test::TempDir dir_;
};

TEST_F(KeyRingPeerTest, OurRingsReadElsewhere) {
  BuildRing();
  ASSERT_EQ(KeyRingChangePassword(kVectorPassword, kVectorPassword, 0x01020304), 0);  // sets the header word
  std::string path = dir_.Path("ours.kyr");
  ASSERT_EQ(KeyRingWrite(path, std::nullopt), 0);
  int status;
  std::string output = Peer("read " + path + " '" + kVectorPassword + "'", &status);
  ASSERT_EQ(status, 0) << output;
  std::string expected;
  for (const std::string& line : RingLines()) expected += line + "\n";
  EXPECT_EQ(output, expected + "headerword 16909060\n");
  KeyRingClear();
  ASSERT_EQ(KeyRingOpen(path, kVectorPassword), 0);
  EXPECT_EQ(KeyRingHeaderWord(), 0x01020304u);

  std::string wrong = Peer("read " + path + " other", &status);
  EXPECT_EQ(status, 1) << wrong;
}

TEST_F(KeyRingPeerTest, RingsWrittenElsewhereOpenHere) {
  BuildRing();
  const std::vector<std::string> lines = RingLines();
  std::string list;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) list += *it + "\n";  // reversed order
  std::string listPath = dir_.Path("entries.txt");
  test::WriteFileBytes(listPath, Bytes(list.begin(), list.end()));
  std::string path = dir_.Path("theirs.kyr");
  int status;
  std::string output = Peer("write " + path + " '" + kVectorPassword + "' " + listPath, &status);
  ASSERT_EQ(status, 0) << output;

  KeyRingClear();
  ASSERT_EQ(KeyRingOpen(path, kVectorPassword), 0);
  EXPECT_EQ(RingLines(), std::vector<std::string>(lines.rbegin(), lines.rend()));
  // Written back here, the file is the same byte for byte.
  ASSERT_EQ(KeyRingWrite(dir_.Path("again.kyr"), std::nullopt), 0);
  EXPECT_EQ(test::ReadFileBytes(dir_.Path("again.kyr")), test::ReadFileBytes(path));
}

}  // namespace
}  // namespace kcertadm
