#include "crypto/random_md5.h"

#include <gtest/gtest.h>

#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// random/make_generator_vectors.py: rows of a name, steps "s:<hex seed>" or "g:<count>", "=", the bytes out.
TEST(Md5RandomGenerator, MatchesIndependentModel) {
  const auto rows = testing::ReadVectorFile("random/generator_vectors.txt");
  ASSERT_EQ(rows.size(), 8u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    Md5RandomGenerator generator;
    std::vector<std::uint8_t> taken;
    for (std::size_t i = 1; i + 2 < row.size(); ++i) {
      if (row[i][0] == 's') {
        const auto seed = testing::Hex(row[i].substr(2));
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

}  // namespace
}  // namespace kcertadm
