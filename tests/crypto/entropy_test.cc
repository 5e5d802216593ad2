#include "crypto/entropy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace kcertadm {
namespace {

// Records every seeding call.
struct Recorder {
  std::vector<std::string> calls;
  SeedSink sink() {
    return [this](const std::uint8_t* data, std::size_t size) {
      calls.emplace_back(reinterpret_cast<const char*>(data), size);
    };
  }
};

TEST(Entropy, KeyRingFieldSampling) {
  const std::string field = "abcdefghijklmnopqrst";  // 20 bytes
  const auto* data = reinterpret_cast<const std::uint8_t*>(field.data());
  struct Case {
    std::size_t size;
    std::uint32_t start;
    std::string fed;
    std::uint32_t next;
    const char* why;
  } const kTests[] = {
      {20, 0, "aiq", 3, "every eighth byte from the phase on"},
      {20, 5, "fn", 0, "15 bytes from the phase: 7 - 15 mod 8"},
      {16, 0, "ai", 7, "a multiple of eight from the phase gives 7"},
      {3, 5, "", 2, "field shorter than the phase: skipped, phase lowered by its size"},
      {5, 5, "", 7, "phase equal to the size"},
      {0, 4, "", 4, "empty field"},
      {1, 0, "a", 6, "single byte"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Recorder r;
    KeyRingSampleBatch batch(r.sink(), c.start);
    batch.Field(data, c.size);
    EXPECT_EQ(batch.phase(), c.next);
    batch.Flush();
    EXPECT_EQ(r.calls, c.fed.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.fed});
  }

  // Fields larger than a batch arrive in full batches, nothing lost at the
  // seams, and the phase carries from one field into the next.
  std::string big(8 * KeyRingSampleBatch::kBatchSize + 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i / 8);
  Recorder r;
  {
    KeyRingSampleBatch batch(r.sink(), 0);
    batch.Field(reinterpret_cast<const std::uint8_t*>(big.data()), big.size());
    batch.Field(data, 20);  // phase 3 after the big field: "dlt"
  }
  ASSERT_EQ(r.calls.size(), 2u);
  EXPECT_EQ(r.calls[0].size(), KeyRingSampleBatch::kBatchSize);
  std::string expected;
  for (std::size_t i = 0; i < big.size(); i += 8) expected += big[i];
  expected += "dlt";
  EXPECT_TRUE(r.calls[0] + r.calls[1] == expected);
}

TEST(Entropy, TextIsFedInLineReaderPieces) {
  const std::string long_line(250, 'x');
  const std::string exact(120, 'y');
  const std::string text = "short\n" + long_line + "\n" + exact + "\n" +
                           std::string("nul\0hidden\n", 11) + "tail";
  Recorder r;
  SeedTextPieces(r.sink(), text);
  const std::vector<std::string> expected = {"short\n" + long_line + "\n" + exact + "\nnultail"};
  EXPECT_EQ(r.calls, expected) << "each piece cut at its NUL byte, the pieces fed as one seed";
}

TEST(Entropy, FileStatusRecordsAndPaths) {
  std::uint8_t a[36], b[36], zero[36] = {};
  FileStatusRecord("/etc", a);
  FileStatusRecord("/etc/", b);  // trailing slash dropped before the query
  EXPECT_EQ(0, std::memcmp(a, b, 36));
  EXPECT_NE(0, std::memcmp(a, zero, 36));
  FileStatusRecord("/", a);  // the root keeps its slash
  EXPECT_NE(0, std::memcmp(a, zero, 36));
  FileStatusRecord("/no/such/path", a);  // failed queries feed zeros
  EXPECT_EQ(0, std::memcmp(a, zero, 36));

  {
    testing::ScopedEnv env("TMPDIR", "/var/tmp");
    const std::vector<std::string> paths = StatusSeedPaths();
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(paths.begin() + 1, paths.end()),
              (std::vector<std::string>{"/usr", "/var/tmp", "/etc"}));
  }
  testing::ScopedEnv env("TMPDIR", std::string(300, 'a'));  // too long: the fallback
  EXPECT_EQ(StatusSeedPaths()[2], "/tmp");
}

}  // namespace
}  // namespace kcertadm
