#include "crypto/random_md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// Scenarios replayed against an independent model of the generator
// (tests/data/random/make_generator_vectors.py): output before any seed,
// warm-up, chaining of S into later seeds, requests across block ends.
// Each row: a name, steps "s:<hex seed>" or "g:<count>", "=", the bytes
// generated.
TEST(Md5RandomGenerator, MatchesIndependentModel) {
  const auto rows = testing::ReadVectorFile("random/generator_vectors.txt");
  ASSERT_EQ(rows.size(), 8u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    Md5RandomGenerator generator;
    std::vector<std::uint8_t> taken;
    for (std::size_t i = 1; i + 2 < row.size(); ++i) {
      if (row[i][0] == 's') {
        const auto seed = testing::FromHex(row[i].substr(2));
        generator.Seed(seed.data(), seed.size());
      } else {
        std::vector<std::uint8_t> out(std::stoul(row[i].substr(2)));
        generator.Generate(out.data(), out.size());
        taken.insert(taken.end(), out.begin(), out.end());
      }
    }
    ASSERT_EQ(row[row.size() - 2], "=");
    EXPECT_EQ(testing::ToHex(taken), row.back());
  }
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

}  // namespace
}  // namespace kcertadm
