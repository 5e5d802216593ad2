// Digests through the object calls: pieces, the output buffer rule and the
// restart after DigestFinal.
#include <gtest/gtest.h>

#include "crypto/toolkit.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

TEST(DigestObjects, AbcInPiecesBufferRuleAndRestartAfterFinal) {
  const struct {
    const AlgorithmInfoType* type;
    std::uint32_t size;
    const char* abc;
  } kDigests[] = {
      {AlgInfoMd2(), 16, "da853b0d3f88d99b30283a69e6ded6bb"},
      {AlgInfoMd5(), 16, "900150983cd24fb0d6963f7d28e17f72"},
      {AlgInfoSha1(), 20, "a9993e364706816aba3e25717850c26c9cd0d89d"},
  };
  for (const auto& d : kDigests) {
    SCOPED_TRACE(d.abc);
    AlgorithmObject* alg = nullptr;
    ASSERT_EQ(AlgCreate(&alg), 0);
    ASSERT_EQ(AlgSetInfo(alg, d.type, nullptr), 0);
    ASSERT_EQ(DigestInit(alg, nullptr, DigestMethods, nullptr), 0);  // digests take no key
    std::uint8_t out[20];
    for (int round = 0; round < 2; ++round) {
      ASSERT_EQ(DigestUpdate(alg, "a", 1, nullptr), 0);
      ASSERT_EQ(DigestUpdate(alg, "", 0, nullptr), 0);
      ASSERT_EQ(DigestUpdate(alg, "bc", 2, nullptr), 0);
      std::uint32_t length = 99;
      // A buffer one byte short is refused and leaves the message intact.
      EXPECT_EQ(DigestFinal(alg, out, &length, d.size - 1, nullptr), TkErrOutputTooSmall);
      EXPECT_EQ(length, 0u);
      ASSERT_EQ(DigestFinal(alg, out, &length, d.size, nullptr), 0);
      EXPECT_EQ(testing::ToHex(out, length), d.abc);
    }
    AlgDestroy(&alg);
  }
}

}  // namespace
}  // namespace kcertadm
