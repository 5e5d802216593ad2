#include "crypto/random/random_md5.h"

#include <gtest/gtest.h>

#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

// random/make_generator_vectors.py: rows of a name, steps "s:<hex seed>" or "g:<count>", "=", the
// bytes out.
TEST(Md5RandomGenerator, MatchesIndependentModel) {
  const auto rows = test_support::ReadVectorFile("random/generator_vectors.txt");
  ASSERT_EQ(rows.size(), 8u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    Md5RandomGenerator generator;
    Bytes taken;
    for (std::size_t i = 1; i + 2 < row.size(); ++i) {
      const bool seed = row[i][0] == 's';
      Bytes bytes =
          seed ? test_support::Hex(row[i].substr(2)) : Bytes(std::stoul(row[i].substr(2)));
      if (seed) generator.Seed(bytes.data(), bytes.size());
      if (!seed)
        generator.Generate(bytes.data(), bytes.size()),
            taken.insert(taken.end(), bytes.begin(), bytes.end());
    }
    ASSERT_EQ(row[row.size() - 2], "=");
    EXPECT_EQ(test_support::ToHex(taken), row.back());
  }
}

}  // namespace
}  // namespace kcertadm
