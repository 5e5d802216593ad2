#include "crypto/random_md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "crypto/rsa_test_util.h"

namespace kcertadm {
namespace {

std::vector<std::uint8_t> HexBytes(const std::string& hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// Scenarios replayed against an independent model of the generator
// (tests/data/random/make_generator_vectors.py): output before any seed,
// warm-up, chaining of S into later seeds, requests across block ends.
TEST(Md5RandomGenerator, MatchesIndependentModel) {
  std::ifstream in(KCERTADM_TEST_DATA_DIR "/random/generator_vectors.txt");
  ASSERT_TRUE(in);
  std::string line;
  int scenarios = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name, step;
    words >> name;
    SCOPED_TRACE(name);
    Md5RandomGenerator generator;
    std::vector<std::uint8_t> taken;
    while (words >> step && step != "=") {
      if (step[0] == 's') {
        const std::vector<std::uint8_t> seed = HexBytes(step.substr(2));
        generator.Seed(seed.data(), seed.size());
      } else {
        const std::size_t count = std::stoul(step.substr(2));
        std::vector<std::uint8_t> out(count);
        generator.Generate(out.data(), count);
        taken.insert(taken.end(), out.begin(), out.end());
      }
    }
    std::string expected;
    words >> expected;
    EXPECT_EQ(testing::BytesToHex(taken.data(), taken.size()), expected);
    ++scenarios;
  }
  EXPECT_EQ(scenarios, 8);
}

TEST(Md5RandomGenerator, SplitRequestsDeliverTheSameBytes) {
  const std::uint8_t seed[] = "split";
  Md5RandomGenerator whole, split;
  whole.Seed(seed, sizeof seed);
  split.Seed(seed, sizeof seed);
  std::uint8_t a[32], b[32];
  whole.Generate(a, 32);
  split.Generate(b, 10);
  split.Generate(b + 10, 22);
  EXPECT_EQ(0, std::memcmp(a, b, 32));
  // Zero-byte requests change nothing.
  split.Generate(nullptr, 0);
  whole.Generate(a, 7);
  split.Generate(b, 7);
  EXPECT_EQ(0, std::memcmp(a, b, 7));
}

// Seeding merges the sampled key ring bytes into large seeds; that feeds
// the same stream only once warm-up is over (two seeds taken).
TEST(Md5RandomGenerator, SeedsAfterWarmUpMergeIntoOne) {
  const std::uint8_t clocks[] = "clocks", status[] = "status", samples[] = "sampled bytes";
  Md5RandomGenerator bytewise, merged, early;
  for (Md5RandomGenerator* g : {&bytewise, &merged}) {
    g->Seed(clocks, sizeof clocks);
    g->Seed(status, sizeof status);
  }
  for (std::uint8_t b : samples) bytewise.Seed(&b, 1);
  merged.Seed(samples, sizeof samples);
  std::uint8_t a[40], b[40];
  bytewise.Generate(a, sizeof a);
  merged.Generate(b, sizeof b);
  EXPECT_EQ(0, std::memcmp(a, b, sizeof a));

  // The same bytes as a single seed leave the generator warming up.
  std::vector<std::uint8_t> all(clocks, clocks + sizeof clocks);
  all.insert(all.end(), status, status + sizeof status);
  all.insert(all.end(), samples, samples + sizeof samples);
  early.Seed(all.data(), all.size());
  early.Generate(b, sizeof b);
  EXPECT_NE(0, std::memcmp(a, b, sizeof a));
}

TEST(Md5RandomGenerator, SeedChangesTheStream) {
  Md5RandomGenerator a, b;
  const std::uint8_t one[] = {1}, two[] = {2};
  a.Seed(one, 1);
  b.Seed(two, 1);
  std::uint8_t x[16], y[16];
  a.Generate(x, 16);
  b.Generate(y, 16);
  EXPECT_NE(0, std::memcmp(x, y, 16));
}

}  // namespace
}  // namespace kcertadm
